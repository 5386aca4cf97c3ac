// Helpers shared by the resource tests: where setup.exe and the expected data
// lie, setup.exe loaded as a data file, and text conversions between UTF-8
// (the expected data), UTF-16 (what the resources hold) and code page 932
// (what the program's ANSI calls see).
#pragma once

#include <windows.h>

#include <string>

// Windows path of setup.exe: the environment variable SETUP_EXE if set, else
// the path the build recorded. A Unix path (as CMake knows it) is turned into
// the Wine drive path.
std::string setup_exe_path();

// Windows path of a file beside these tests' sources (expected data).
std::string test_data_path(const char *name);

// setup.exe mapped as a data file; loaded once and kept for the process.
// Null when it could not be loaded (the reason is in the test failure).
HMODULE setup_exe_module();

// Conversions. `lossy` (if not null) is set when a character has no
// representation in the target code page.
std::wstring utf8_to_utf16(const std::string &text);
std::string utf16_to_cp932(const std::wstring &text, bool *lossy);
std::string utf8_to_cp932(const std::string &text, bool *lossy);
std::string cp932_to_utf8(const std::string &text);
std::string utf16_to_utf8(const std::wstring &text);

// "\n" -> line feed, "\\" -> one backslash; any other backslash is kept.
std::string unescape_text(const std::string &text);

// Readable account of two byte strings: both as UTF-8, the first differing
// offset and the bytes around it in hex.
std::string describe_difference(const std::string &expected_cp932, const std::string &actual_cp932);

// Bytes as space-separated hex.
std::string hex_bytes(const std::string &bytes);
