// setupcheck: checks a medium's setup.inf before the medium ships.
//
//   setupcheck [--strict] [--fix] [--disk LABEL=FOLDER]... MEDIUM|SETUP.INF
//
// Prints one line per finding, "setup.inf:LINE: section/key: what is wrong",
// then a summary. Exit status: 0 clean (warnings allowed unless --strict),
// 1 errors found, 2 the medium could not be read.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check.h"
#include "text.h"

namespace fs = std::filesystem;

namespace {

enum { EXIT_CLEAN = 0, EXIT_FOUND = 1, EXIT_UNREADABLE = 2 };

// Text from the command line: the ANSI code page (932) on Windows, UTF-8
// elsewhere; held as UTF-16 until it names a file.
#ifndef _WIN32
WideText from_utf8(const std::string &s)
{
    WideText out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = (unsigned char)s[i];
        uint32_t cp = b;
        size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (n > 1 && i + n <= s.size()) {
            cp = b & (0x3F >> (n - 1));
            for (size_t k = 1; k < n; k++)
                cp = cp << 6 | ((unsigned char)s[i + k] & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back((uint16_t)(0xD800 | cp >> 10));
            out.push_back((uint16_t)(0xDC00 | (cp & 0x3FF)));
        } else {
            out.push_back((uint16_t)cp);
        }
    }
    return out;
}

std::string to_utf8(const WideText &w)
{
    std::string out;
    for (size_t i = 0; i < w.size(); i++) {
        uint32_t cp = w[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[++i] - 0xDC00);
        if (cp < 0x80) {
            out += (char)cp;
        } else if (cp < 0x800) {
            out += (char)(0xC0 | cp >> 6);
            out += (char)(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += (char)(0xE0 | cp >> 12);
            out += (char)(0x80 | (cp >> 6 & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        } else {
            out += (char)(0xF0 | cp >> 18);
            out += (char)(0x80 | (cp >> 12 & 0x3F));
            out += (char)(0x80 | (cp >> 6 & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        }
    }
    return out;
}
#endif

WideText wide_of_cp932(const std::string &s)
{
    return cp932_to_wide((const unsigned char *)s.data(), s.size(), NULL);
}

WideText wide_of_argument(const char *arg)
{
#ifdef _WIN32
    return wide_of_cp932(arg);
#else
    return from_utf8(arg);
#endif
}

fs::path path_of(const WideText &w)
{
    return fs::path(std::u16string(w.begin(), w.end()));
}

// What the terminal shows: the program's own code page on Windows, UTF-8
// elsewhere.
std::string for_terminal(const std::string &cp932)
{
#ifdef _WIN32
    return cp932;
#else
    return to_utf8(wide_of_cp932(cp932));
#endif
}

WideText folded(const WideText &w)
{
    WideText out(w);
    for (uint16_t &u : out)
        if (u >= 'A' && u <= 'Z')
            u = (uint16_t)(u - 'A' + 'a');
    return out;
}

// The entry of folder whose name equals name but for letter case, as the
// platform's file system finds it.
int find_entry(const fs::path &folder, const WideText &name, fs::path *found)
{
    std::error_code error;
    fs::path exact = folder / path_of(name);
    if (fs::exists(exact, error)) {
        *found = exact;
        return 1;
    }
    WideText wanted = folded(name);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::u16string entry = it->path().filename().u16string();
        if (folded(WideText(entry.begin(), entry.end())) == wanted) {
            *found = it->path();
            return 1;
        }
    }
    return 0;
}

// A script name (code page 932, '\' or '/' between folders) below folder.
int resolve(const fs::path &folder, const std::string &name, fs::path *found)
{
    fs::path at = folder;
    std::string part;
    for (const char *p = name.c_str();; p = text_next(p)) {
        if (*p == '\0' || *p == '\\' || *p == '/') {
            if (!part.empty() && !find_entry(at, wide_of_cp932(part), &at))
                return 0;
            part.clear();
            if (*p == '\0')
                break;
            continue;
        }
        part.append(p, text_next(p) - p);
    }
    *found = at;
    return 1;
}

struct Disk {
    std::string label;  // code page 932
    fs::path folder;
};

struct Medium {
    fs::path folder;
    std::vector<Disk> disks;
};

const Disk *disk_of(const Medium *medium, const char *label)
{
    if (label == NULL)
        return NULL;
    for (const Disk &disk : medium->disks)
        if (text_equal_nocase(disk.label.c_str(), label))
            return &disk;
    return NULL;
}

int open_file(void *context, const char *label, const char *name, size_t max, uint64_t *size, std::string *head)
{
    const Medium *medium = (const Medium *)context;
    const Disk *disk = disk_of(medium, label);
    fs::path path;
    std::error_code error;
    if (!resolve(disk != NULL ? disk->folder : medium->folder, name, &path) || !fs::is_regular_file(path, error))
        return 0;
    *size = fs::file_size(path, error);
    if (error)
        return 0;
    head->clear();
    if (max > 0) {
        std::ifstream in(path, std::ios::binary);
        head->resize(max);
        in.read(&(*head)[0], (std::streamsize)max);
        head->resize((size_t)in.gcount());
    }
    return 1;
}

int knows_label(void *context, const char *label)
{
    return disk_of((const Medium *)context, label) != NULL;
}

int read_all(const fs::path &path, std::string *bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return 0;
    std::ostringstream text;
    text << in.rdbuf();
    *bytes = text.str();
    return !in.bad();
}

int usage(void)
{
    fprintf(stderr, "usage: setupcheck [--strict] [--fix] [--disk LABEL=FOLDER]... MEDIUM|SETUP.INF\n");
    return EXIT_UNREADABLE;
}

}  // namespace

int main(int argc, char **argv)
{
    int strict = 0, fix = 0;
    const char *target = NULL;
    Medium medium;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--strict") == 0) {
            strict = 1;
        } else if (strcmp(argv[i], "--fix") == 0) {
            fix = 1;
        } else if (strcmp(argv[i], "--disk") == 0 && i + 1 < argc) {
            WideText disk = wide_of_argument(argv[++i]);
            WideText::iterator equals = std::find(disk.begin(), disk.end(), (uint16_t)'=');
            if (equals == disk.end())
                return usage();
            medium.disks.push_back(Disk{cp932_from_wide(disk.data(), (size_t)(equals - disk.begin())),
                                        path_of(WideText(equals + 1, disk.end()))});
        } else if (argv[i][0] == '-' || target != NULL) {
            return usage();
        } else {
            target = argv[i];
        }
    }
    if (target == NULL)
        return usage();

    std::error_code error;
    fs::path script_path = path_of(wide_of_argument(target));
    if (fs::is_directory(script_path, error)) {
        medium.folder = script_path;
        if (!find_entry(medium.folder, wide_of_cp932("setup.inf"), &script_path))
            script_path = medium.folder / "setup.inf";
    } else {
        medium.folder = script_path.parent_path().empty() ? fs::path(".") : script_path.parent_path();
    }
    std::u16string own = script_path.filename().u16string();
    std::string script_name = cp932_from_wide((const uint16_t *)own.data(), own.size());
    std::string shown_name = for_terminal(script_name);

    std::string bytes;
    if (!read_all(script_path, &bytes)) {
        fprintf(stderr, "setupcheck: cannot read %s\n", script_path.string().c_str());
        return EXIT_UNREADABLE;
    }
    CheckMedium source = {&medium, open_file, knows_label, script_name.c_str()};
    CheckScript script;
    check_script_load(&script, bytes);

    if (fix) {
        std::string fixed, why;
        if (!check_fix(&script, &source, &fixed, &why)) {
            if (!why.empty()) {
                fprintf(stderr, "setupcheck: %s: cannot fix: %s\n", shown_name.c_str(), why.c_str());
                return EXIT_UNREADABLE;
            }
        } else {
            std::ofstream out(script_path, std::ios::binary | std::ios::trunc);
            out.write(fixed.data(), (std::streamsize)fixed.size());
            if (!out.flush()) {
                fprintf(stderr, "setupcheck: cannot write %s\n", script_path.string().c_str());
                return EXIT_UNREADABLE;
            }
            printf("%s: sizes and totals written\n", shown_name.c_str());
            check_script_load(&script, fixed);
        }
    }

    std::vector<CheckFinding> findings;
    check_script(&script, &source, &findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const CheckFinding &a, const CheckFinding &b) { return a.line < b.line; });
    unsigned errors = 0, warnings = 0;
    for (const CheckFinding &f : findings) {
        std::string line = script_name;
        if (f.line != 0)
            line += ":" + std::to_string(f.line);
        line += ": ";
        if (!f.where.empty())
            line += f.where + ": ";
        if (f.level == CHECK_WARNING)
            line += "warning: ";
        line += f.what;
        printf("%s\n", for_terminal(line).c_str());
        (f.level == CHECK_ERROR ? errors : warnings)++;
    }
    if (errors == 0 && warnings == 0)
        printf("%s: clean\n", shown_name.c_str());
    else
        printf("%s: %u error%s, %u warning%s\n", shown_name.c_str(), errors, errors == 1 ? "" : "s", warnings,
               warnings == 1 ? "" : "s");
    if (errors > 0 || (strict && warnings > 0))
        return EXIT_FOUND;
    return EXIT_CLEAN;
}
