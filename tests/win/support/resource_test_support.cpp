#include "resource_test_support.h"
#include "win_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Wine's kernel32 turns a Unix path into a drive path; absent on Windows.
typedef LPWSTR(CDECL *unix_to_dos_fn)(LPCSTR);

std::string windows_path(const std::string &path)
{
    if (path.empty() || path[0] != '/')
        return path;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    unix_to_dos_fn convert =
        kernel ? (unix_to_dos_fn)(void *)GetProcAddress(kernel, "wine_get_dos_file_name") : NULL;
    if (convert) {
        LPWSTR wide = convert(path.c_str());
        if (wide) {
            std::string result = utf16_to_cp932(wide, NULL);
            HeapFree(GetProcessHeap(), 0, wide);
            return result;
        }
    }
    // Wine maps drive Z: to the Unix root.
    std::string result = "Z:" + path;
    for (char &c : result)
        if (c == '/')
            c = '\\';
    return result;
}

std::string setup_exe_path()
{
    const char *from_environment = getenv("SETUP_EXE");
    if (from_environment && *from_environment)
        return windows_path(from_environment);
    return windows_path(SETUP_EXE_PATH);
}

std::string test_data_path(const char *name)
{
    return windows_path(std::string(RESOURCE_TEST_DATA_DIR) + "/" + name);
}

HMODULE setup_exe_module()
{
    static HMODULE module;
    static bool tried;
    if (!tried) {
        tried = true;
        module = LoadLibraryExA(setup_exe_path().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        if (!module)
            fprintf(stderr, "cannot load %s as a data file: error %lu\n", setup_exe_path().c_str(),
                    (unsigned long)GetLastError());
    }
    return module;
}

std::wstring utf8_to_utf16(const std::string &text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), NULL, 0);
    if (length <= 0)
        return L"<invalid UTF-8>";
    std::wstring result((size_t)length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), &result[0], length);
    return result;
}

std::string utf16_to_cp932(const std::wstring &text, bool *lossy)
{
    if (lossy)
        *lossy = false;
    if (text.empty())
        return std::string();
    BOOL used_default = FALSE;
    int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(), (int)text.size(), NULL, 0, NULL,
                                     &used_default);
    std::string result((size_t)(length > 0 ? length : 0), '\0');
    used_default = FALSE;
    if (length > 0)
        WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(), (int)text.size(), &result[0], length, NULL,
                            &used_default);
    if (lossy)
        *lossy = used_default != FALSE || length <= 0;
    return result;
}

std::string utf8_to_cp932(const std::string &text, bool *lossy)
{
    return utf16_to_cp932(utf8_to_utf16(text), lossy);
}

std::string utf16_to_utf8(const std::wstring &text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string result((size_t)(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &result[0], length, NULL, NULL);
    return result;
}

std::string cp932_to_utf8(const std::string &text)
{
    if (text.empty())
        return std::string();
    int length = MultiByteToWideChar(932, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring wide((size_t)(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(932, 0, text.data(), (int)text.size(), &wide[0], length);
    return utf16_to_utf8(wide);
}

std::string unescape_text(const std::string &text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            result += '\n';
            i++;
        } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            result += '\\';
            i++;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string hex_bytes(const std::string &bytes)
{
    std::string result;
    char item[4];
    for (size_t i = 0; i < bytes.size(); i++) {
        snprintf(item, sizeof item, "%02X", (unsigned)(unsigned char)bytes[i]);
        if (i)
            result += ' ';
        result += item;
    }
    return result;
}

// Line feeds shown as "\n" so that a report stays on one line per text.
static std::string visible(const std::string &utf8)
{
    std::string result;
    for (char c : utf8) {
        if (c == '\n')
            result += "\\n";
        else if (c == '\r')
            result += "\\r";
        else
            result += c;
    }
    return result;
}

std::string describe_difference(const std::string &expected_cp932, const std::string &actual_cp932)
{
    size_t at = 0;
    while (at < expected_cp932.size() && at < actual_cp932.size() && expected_cp932[at] == actual_cp932[at])
        at++;
    size_t from = at >= 6 ? at - 6 : 0;
    char line[160];
    snprintf(line, sizeof line, "first difference at byte %u (expected %u bytes, got %u)\n",
             (unsigned)at, (unsigned)expected_cp932.size(), (unsigned)actual_cp932.size());
    std::string result;
    result += "  expected: \"" + visible(cp932_to_utf8(expected_cp932)) + "\"\n";
    result += "  actual:   \"" + visible(cp932_to_utf8(actual_cp932)) + "\"\n";
    result += std::string("  ") + line;
    result += "  expected bytes from " + std::to_string(from) + ": " + hex_bytes(expected_cp932.substr(from, 16)) +
              "\n";
    result += "  actual bytes from " + std::to_string(from) + ":   " + hex_bytes(actual_cp932.substr(from, 16)) +
              "\n";
    return result;
}
