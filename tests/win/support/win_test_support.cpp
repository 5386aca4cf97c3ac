#include "win_test_support.h"

#include <gtest/gtest.h>

#include "resource_test_support.h"

std::string catalogue(UINT id)
{
    char buf[1024] = "";
    LoadStringA(setup_exe_module(), id, buf, sizeof buf);
    return buf;
}

std::string catalogue_with(UINT id, const std::string &arg)
{
    std::string text = catalogue(id);
    size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, arg);
    return text;
}

std::string read_file(const std::string &path, const std::string &if_missing)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return if_missing;
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, NULL) && got > 0)
        bytes.append(buf, got);
    CloseHandle(file);
    return bytes;
}

bool write_file(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << path << ": error " << GetLastError();
        return false;
    }
    DWORD written = 0;
    bool whole = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
    bool closed = CloseHandle(file) != FALSE;
    if (!whole || !closed)
        ADD_FAILURE() << "cannot write " << path << ": " << written << " of " << bytes.size() << " bytes";
    return whole && closed;
}

// The folder's name without a trailing backslash. The last byte is a
// separator only when it does not end a double-byte character (ソ, 表 and 能
// end in the backslash code), so the name is walked character by character.
static std::string without_trailing_backslash(const std::string &folder)
{
    size_t last = std::string::npos; // where the last character starts
    for (size_t i = 0; i < folder.size(); i++) {
        last = i;
        if (IsDBCSLeadByteEx(932, (BYTE)folder[i]) && i + 1 < folder.size())
            i++;
    }
    if (last != std::string::npos && folder[last] == '\\')
        return folder.substr(0, last);
    return folder;
}

void remove_tree(const std::string &folder)
{
    std::string base = without_trailing_backslash(folder);
    if (base.empty())
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = base + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(base.c_str());
}

std::vector<RecordedBox> recorded_boxes;

int note_box(HWND, LPCSTR text, LPCSTR caption, UINT style)
{
    recorded_boxes.push_back({text, caption, style});
    return IDOK;
}
