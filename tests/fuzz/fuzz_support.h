// Shared by the fuzz targets: the invariant check that stops the run with
// its message, and the lead bytes of code page 932 for the references.
#pragma once

#include <stdio.h>
#include <stdlib.h>

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
