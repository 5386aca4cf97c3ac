// Shared by the fuzz targets: the invariant check that stops the run with
// its message, and the lead bytes of code page 932 for the references.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

inline void check(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

// 1 when the byte starts a double-byte character in code page 932.
inline bool lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The text cut into characters: a lead byte and the byte after it are one.
inline std::vector<std::string> characters(const std::string &s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = lead((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}
