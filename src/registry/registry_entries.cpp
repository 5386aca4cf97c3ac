// The application's registry entries from the [registry] section of the
// script: the version key, the App Paths entry and the Uninstall entry are
// written by an installation and removed by an uninstallation; the class
// keys and the user's settings key are only removed.
#include <string.h>

#include <windows.h>

#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "text.h"
#include "ui.h"

static const char registry_section[] = "registry";
static const char software_base[] = "SOFTWARE\\";
static const char app_paths_base[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
static const char uninstall_base[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
static const char classes_base[] = "SOFTWARE\\Classes\\CLSID\\";
static const char user_base[] = "Software\\";

enum { CLSID_VALUE_SIZE = 520 };

// The key path of an entry: base + the script's value of key_name. 0 when the
// value is empty or the path would not fit (the entry is then skipped).
static size_t entry_key_path(char *path, const char *base, const char *key_name)
{
    char name[SETUP_PATH_SIZE];
    script_read_string(registry_section, key_name, "", name, sizeof name);
    return registry_key_path(path, SETUP_PATH_SIZE, base, name);
}

void report_register_failure(const char *name)
{
    show_message(MSG_REGISTER_FAILED, CAP_REGISTRY_ERROR, MB_OK | MB_ICONWARNING, name);
}

// Creates path under HKEY_LOCAL_MACHINE (or opens it when it exists, with
// whatever values it holds). A failure is reported once, naming the
// application; the run goes on.
static HKEY create_entry_key(const char *path)
{
    char no_class[1] = "";
    HKEY key;
    DWORD disposition;
    LONG status = sys_RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, no_class, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, NULL, &key, &disposition);
    log_event("registry key HKLM\\%s: result %ld", path, status);
    if (status != ERROR_SUCCESS) {
        report_register_failure(session.application_name);
        return NULL;
    }
    return key;
}

// A value that cannot be set leaves the entry incomplete, which is reported
// as a key that cannot be created is.
static void set_value(HKEY key, const char *name, DWORD type, const void *data, DWORD size, const char *shown)
{
    LONG status = sys_RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    log_event("registry value %s = %s: result %ld", name ? name : "(default)", shown, status);
    if (status != ERROR_SUCCESS)
        report_register_failure(session.application_name);
}

// A string value with its terminating zero.
static void set_text_value(HKEY key, const char *name, const char *text)
{
    set_value(key, name, REG_SZ, text, (DWORD)strlen(text) + 1, text);
}

static void set_number_value(HKEY key, const char *name, DWORD number)
{
    char shown[16];
    text_format(shown, sizeof shown, "%lu", number);
    set_value(key, name, REG_DWORD, &number, sizeof number, shown);
}

void apply_version_key(void)
{
    char path[SETUP_PATH_SIZE];
    if (entry_key_path(path, software_base, "version_key") == 0)
        return;
    // A missing version_value gives the destination folder; one present but
    // empty writes an empty text.
    char value[SETUP_PATH_SIZE];
    script_read_string(registry_section, "version_value", session.destination_dir, value, sizeof value);
    HKEY key = create_entry_key(path);
    if (key == NULL)
        return;
    set_text_value(key, NULL, value);
    sys_RegCloseKey(key);
}

void apply_app_path(void)
{
    char path[SETUP_PATH_SIZE];
    if (entry_key_path(path, app_paths_base, "path_key") == 0)
        return;
    // The program's file name is the last part of the key path.
    char program[REGISTRY_VALUE_SIZE];
    text_format(program, sizeof program, "%s%s", session.destination_dir, path + strlen(app_paths_base));
    HKEY key = create_entry_key(path);
    if (key == NULL)
        return;
    set_text_value(key, NULL, program);
    set_text_value(key, "Path", session.destination_dir);
    sys_RegCloseKey(key);
}

// The Uninstall entry's further values, which the system's list of
// programs shows or deployment tools read: the quiet removal, where the
// application lies, its icon, version, publisher, size and date, and that
// it has no change or repair.
static void set_list_details(HKEY key, const char *uninstall_string)
{
    char text[REGISTRY_VALUE_SIZE + 8];
    text_format(text, sizeof text, "%s /QUIET", uninstall_string);
    set_text_value(key, "QuietUninstallString", text);
    set_text_value(key, "InstallLocation", session.destination_dir);

    // The icon named by the script, else the uninstaller's own: the program
    // part of the command, between its quotes.
    char name[SETUP_PATH_SIZE];
    if (script_read_string(registry_section, "uninstall_icon", "", name, sizeof name) != 0) {
        text_format(text, sizeof text, "%s%s", session.destination_dir, name);
    } else {
        text_copy(text, sizeof text, uninstall_string + 1);
        char *quote = text_find(text, '"');
        if (quote)
            *quote = '\0';
    }
    set_text_value(key, "DisplayIcon", text);

    static const char *const optional[][2] = {{"uninstall_version", "DisplayVersion"},
                                              {"uninstall_publisher", "Publisher"}};
    for (const auto &value : optional) {
        if (script_read_string(registry_section, value[0], "", name, sizeof name) != 0)
            set_text_value(key, value[1], name);
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    text_format(text, sizeof text, "%u", now.wYear * 10000u + now.wMonth * 100u + now.wDay);
    set_text_value(key, "InstallDate", text);
    // In KiB, rounded up, from the script's byte totals.
    unsigned long long bytes = (unsigned long long)session.system_bytes_needed + session.destination_bytes_needed;
    set_number_value(key, "EstimatedSize", (DWORD)text_divide(bytes + 1023, 1024, NULL));
    set_number_value(key, "NoModify", 1);
    set_number_value(key, "NoRepair", 1);
}

void apply_uninstall_entry(void)
{
    char path[SETUP_PATH_SIZE];
    if (entry_key_path(path, uninstall_base, "uninstall_key") == 0)
        return;
    char command[SETUP_PATH_SIZE];
    char display_name[SETUP_PATH_SIZE];
    script_read_string(registry_section, "uninstall_command", "", command, sizeof command);
    script_read_string(registry_section, "uninstall_dispname", "", display_name, sizeof display_name);
    // The list of programs starts this through CreateProcess, which takes
    // an unquoted path with blanks piece by piece (C:\Program.exe first):
    // the program part goes in double quotes.
    char uninstall_string[REGISTRY_VALUE_SIZE];
    if (display_name[0] == '\0' ||
        registry_uninstall_command(uninstall_string, sizeof uninstall_string, session.destination_dir, command) == 0)
        return;
    HKEY key = create_entry_key(path);
    if (key == NULL)
        return;
    set_text_value(key, "DisplayName", display_name);
    set_text_value(key, "UninstallString", uninstall_string);
    set_list_details(key, uninstall_string);
    sys_RegCloseKey(key);
}

// Removes the key base + the script's value of key_name with all below it;
// nothing when the value is empty or the path would not fit.
static void remove_entry_key(HWND dialog, HKEY root, const char *base, const char *key_name)
{
    char path[SETUP_PATH_SIZE];
    if (entry_key_path(path, base, key_name) != 0)
        delete_key_tree(dialog, root, path);
}

void remove_version_key(HWND dialog)
{
    char path[SETUP_PATH_SIZE];
    if (entry_key_path(path, software_base, "version_key") == 0)
        return;
    delete_key_tree(dialog, HKEY_LOCAL_MACHINE, path);
    // The ancestors below SOFTWARE, nearest first, go while they have no
    // subkeys left. One that stays keeps all above it, which then have at
    // least that subkey and stay too. SOFTWARE itself is never examined: the
    // working copy stops at the first component.
    char parent[SETUP_PATH_SIZE];
    text_copy(parent, sizeof parent, path + strlen(software_base));
    while (registry_cut_last_component(parent)) {
        char ancestor[SETUP_PATH_SIZE];
        if (registry_key_path(ancestor, sizeof ancestor, software_base, parent) == 0)
            break;
        unsigned int subkeys = count_subkeys(HKEY_LOCAL_MACHINE, ancestor);
        if (subkeys == 0)
            delete_key_tree(dialog, HKEY_LOCAL_MACHINE, ancestor);
        else if (subkeys == SUBKEYS_UNKNOWN)
            show_status_message(dialog, MSG_REMOVE_FAILED, ancestor);
    }
}

void remove_app_path(HWND dialog)
{
    remove_entry_key(dialog, HKEY_LOCAL_MACHINE, app_paths_base, "path_key");
}

void remove_uninstall_entry(HWND dialog)
{
    remove_entry_key(dialog, HKEY_LOCAL_MACHINE, uninstall_base, "uninstall_key");
}

void remove_class_keys(HWND dialog)
{
    unsigned int last = script_read_last_entry(registry_section, "classes", "clsid");
    for (unsigned int n = 1; n != 0 && n <= last; n++) {
        char key_name[16];
        char clsid[CLSID_VALUE_SIZE];
        char path[SETUP_PATH_SIZE];
        text_format(key_name, sizeof key_name, "clsid_%u", n);
        script_read_entry(registry_section, key_name, clsid, sizeof clsid);
        if (registry_key_path(path, sizeof path, classes_base, clsid) != 0)
            delete_key_tree(dialog, HKEY_LOCAL_MACHINE, path);
    }
}

void remove_user_key(HWND dialog)
{
    remove_entry_key(dialog, HKEY_CURRENT_USER, user_base, "user_key");
}

int uninstall_entry_runs(const char *program_path)
{
    char path[SETUP_PATH_SIZE];
    if (entry_key_path(path, uninstall_base, "uninstall_key") == 0)
        return 0;
    HKEY key;
    if (sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char command[REGISTRY_VALUE_SIZE + 1];
    DWORD type = REG_NONE, size = REGISTRY_VALUE_SIZE;
    memset(command, 0, sizeof command);
    LONG status = sys_RegQueryValueExA(key, "UninstallString", NULL, &type, (BYTE *)command, &size);
    sys_RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return 0;
    return registry_command_runs(command, program_path);
}
