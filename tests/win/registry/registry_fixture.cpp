// Recording hooks of the registry tests.
#include "registry_fixture.h"

namespace regtest {

Recorder recorder;

static bool allowed(HKEY root, const char *sub)
{
    if (!is_root(root))
        return true; // below a key that was allowed itself
    std::string path = sub ? sub : "";
    if (!recorder.allowed.empty() && path.find(recorder.allowed) != std::string::npos)
        return true;
    for (const std::string &extra : recorder.also_allowed)
        if (lstrcmpiA(extra.c_str(), path.c_str()) == 0)
            return true;
    return false;
}

LONG recording_open(HKEY root, LPCSTR sub, DWORD options, REGSAM access, PHKEY result)
{
    recorder.opens.push_back({root, sub ? sub : "", access, status_line(recorder.dialog)});
    // Opening for creating subkeys and setting values is how a removal
    // starts: only the test's own keys may go, whatever the code does.
    if ((access & KEY_CREATE_SUB_KEY) && !allowed(root, sub)) {
        recorder.refused.push_back(sub ? sub : "");
        return ERROR_ACCESS_DENIED;
    }
    return RegOpenKeyExA(root, sub, options, access, result);
}

LONG recording_delete(HKEY root, LPCSTR sub)
{
    recorder.deletes.push_back(sub ? sub : "");
    if (!allowed(root, sub)) {
        recorder.refused.push_back(sub ? sub : "");
        return ERROR_ACCESS_DENIED;
    }
    return RegDeleteKeyA(root, sub);
}

static void sweep_keys(HKEY root, const wchar_t *path)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> found;
    wchar_t name[256];
    for (DWORD i = 0;; i++) {
        DWORD size = 256;
        if (RegEnumKeyExW(key, i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (wcsstr(name, L"" REGTEST_WORD))
            found.push_back(name);
    }
    for (const std::wstring &n : found) {
        RegDeleteTreeW(key, n.c_str());
        RegDeleteKeyW(key, n.c_str());
    }
    found.clear();
    for (DWORD i = 0;; i++) {
        DWORD size = 256;
        if (RegEnumValueW(key, i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (wcsstr(name, L"" REGTEST_WORD))
            found.push_back(name);
    }
    for (const std::wstring &n : found)
        RegDeleteValueW(key, n.c_str());
    RegCloseKey(key);
}

void sweep_leftovers()
{
    sweep_keys(HKEY_CURRENT_USER, L"Software");
    sweep_keys(HKEY_LOCAL_MACHINE, L"SOFTWARE");
    sweep_keys(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID");
    sweep_keys(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths");
    sweep_keys(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    sweep_keys(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
}

} // namespace regtest
