// The program group through DDE: the commands as sent (captured at the
// seam), each failure's message box (injected), and the real conversation
// with Wine's shell, whose PROGMAN service lives in the desktop process.
#include <gtest/gtest.h>

#include <windows.h>

#include <ddeml.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "group_test_support.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"

namespace {

// ---------------------------------------------------------------------------
// What the step hands to the DDE library.

struct Transaction {
    std::string data;
    DWORD size;
    HCONV conversation;
    HSZ item;
    UINT format;
    UINT type;
    DWORD timeout;
    LPDWORD result;
};
std::vector<Transaction> sent;
bool send_for_real;

HDDEDATA record_transaction(LPBYTE data, DWORD size, HCONV conversation, HSZ item, UINT format, UINT type,
                            DWORD timeout, LPDWORD result)
{
    sent.push_back({std::string((const char *)data, size), size, conversation, item, format, type, timeout, result});
    if (send_for_real)
        return DdeClientTransaction(data, size, conversation, item, format, type, timeout, result);
    return (HDDEDATA)TRUE;
}

HCONV const fake_conversation = (HCONV)0x5150;
PCONVCONTEXT connect_context = (PCONVCONTEXT)1;

HCONV fake_connect(DWORD, HSZ, HSZ, PCONVCONTEXT context)
{
    connect_context = context;
    return fake_conversation;
}

HCONV disconnected;
BOOL fake_disconnect(HCONV conversation)
{
    disconnected = conversation;
    return TRUE;
}

struct Initialisation {
    DWORD instance_on_entry;
    PFNCALLBACK callback;
    DWORD command;
    DWORD reserved;
    bool wide;
};
Initialisation initialisation;

UINT record_initialise(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved)
{
    initialisation = {*instance, callback, command, reserved, false};
    return DdeInitializeA(instance, callback, command, reserved);
}

UINT record_initialise_wide(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved)
{
    initialisation = {*instance, callback, command, reserved, true};
    return DdeInitializeW(instance, callback, command, reserved);
}

// The name of each string handle made, as UTF-16 whichever call made it.
struct StringHandle {
    std::wstring name;
    int code_page;
    bool wide;
};
std::vector<StringHandle> string_handles;
HSZ record_string_handle(DWORD instance, LPCSTR text, int code_page)
{
    string_handles.push_back({std::wstring(text, text + strlen(text)), code_page, false});
    return DdeCreateStringHandleA(instance, text, code_page);
}

HSZ record_string_handle_wide(DWORD instance, LPCWSTR text, int code_page)
{
    string_handles.push_back({text, code_page, true});
    return DdeCreateStringHandleW(instance, text, code_page);
}

// The system's ANSI code page as the registry gives it to the step.
const char *system_acp = "932";
std::string asked_value;
LONG fake_system_code_page(HKEY, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    asked_value = name ? name : "";
    DWORD needed = (DWORD)strlen(system_acp) + 1;
    if (type)
        *type = REG_SZ;
    if (*size < needed)
        return ERROR_MORE_DATA;
    memcpy(data, system_acp, needed);
    *size = needed;
    return ERROR_SUCCESS;
}

UINT alloc_flags;
SIZE_T alloc_size;
HGLOBAL record_alloc(UINT flags, SIZE_T size)
{
    alloc_flags = flags;
    alloc_size = size;
    return GlobalAlloc(flags, size);
}

// The command of message 2, written out here.
std::string command_for(const std::string &group, const std::string &program, const std::string &title)
{
    return "[CreateGroup(\"" + group + "\")][ShowGroup(\"" + group + "\",1)][AddItem(\"" +
           std::string(session.destination_dir) + program + "\"," + title + ")]";
}

// A shell that accepts every command without being there.
class GroupCommands : public GroupSession {
protected:
    void SetUp() override
    {
        GroupSession::SetUp();
        sent.clear();
        send_for_real = false;
        disconnected = NULL;
        seam_hook<SEAM_DdeConnect>(fake_connect, 1, 0);
        seam_hook<SEAM_DdeDisconnect>(fake_disconnect, 1, 0);
        seam_hook<SEAM_DdeClientTransaction>(record_transaction, 1, 0);
    }

    // After `runs` runs of the step, each of which got as far as the buffer.
    void expect_cleaned_up(unsigned runs = 1)
    {
        EXPECT_EQ(seam_count(SEAM_GlobalUnlock), runs);
        EXPECT_EQ(seam_count(SEAM_GlobalFree), runs);
        EXPECT_EQ(seam_count(SEAM_DdeDisconnect), runs);
        EXPECT_EQ(disconnected, fake_conversation);
        EXPECT_EQ(seam_count(SEAM_DdeUninitialize), runs);
    }
};

TEST_F(GroupCommands, EachValidEntryIsOneExecuteCommandFromMessage2)
{
    // Entry 2 is missing, 3 has two fields, 4 is empty: skipped silently.
    write_startmenu(7, {"start_1=Tool,tool.exe,Viewer", "start_3=Tool,tool.exe", "start_4=",
                        "start_5=,Tool,,tool.exe,Viewer,extra", "start_6=Tool, tool.exe, Viewer",
                        "start_7=Other,bin\\other.exe,Other Viewer"});
    create_program_group(7);
    EXPECT_TRUE(recorded_boxes.empty());
    ASSERT_EQ(sent.size(), 4u);
    std::vector<std::string> expected = {
        command_for("Tool", "tool.exe", "Viewer"),
        command_for("Tool", "tool.exe", "Viewer"),  // same group again: CreateGroup and ShowGroup again
        command_for("Tool", " tool.exe", " Viewer"),  // blanks belong to the fields
        command_for("Other", "bin\\other.exe", "Other Viewer"),
    };
    for (size_t i = 0; i < sent.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].data, expected[i] + std::string(1, '\0')) << "the text with its terminating zero";
        EXPECT_EQ(sent[i].size, expected[i].size() + 1);
        EXPECT_EQ(sent[i].conversation, fake_conversation);
        EXPECT_EQ(sent[i].item, (HSZ)NULL);
        EXPECT_EQ(sent[i].format, 0u);
        EXPECT_EQ(sent[i].type, (UINT)XTYP_EXECUTE);
        EXPECT_EQ(sent[i].timeout, 5000u);
        EXPECT_EQ(sent[i].result, nullptr);
    }
    expect_cleaned_up();
}

TEST_F(GroupCommands, KeysAreNumberedInDecimalWithoutLeadingZeros)
{
    write_startmenu(12, {"start_01=Zero,z.exe,Z", "start_10=Ten,t.exe,T", "start_12=Twelve,w.exe,W"});
    create_program_group(12);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].data.c_str(), command_for("Ten", "t.exe", "T"));
    EXPECT_EQ(sent[1].data.c_str(), command_for("Twelve", "w.exe", "W"));

    // Beyond the count nothing is read; a count of 0 sends nothing.
    sent.clear();
    create_program_group(9);
    EXPECT_TRUE(sent.empty());
    create_program_group(0);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(recorded_boxes.empty());
}

// Windows 95/98, and the NT family on a system of code page 932, get the
// script's bytes as they stand; the NT family on any other system gets the
// same text in UTF-16 (ソフト U+30BD U+30D5 U+30C8, 表示 U+8868 U+793A).
TEST_F(GroupCommands, DoubleByteNamesArriveAsTheFamilyReadsThem)
{
    write_startmenu(1, {"start_1=" SOFT "," SOFT ".exe," SHOW " " SOFT});
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s", "C:\\" SHOW "\\");
    const std::u16string utf16 =
        u"[CreateGroup(\"\u30BD\u30D5\u30C8\")][ShowGroup(\"\u30BD\u30D5\u30C8\",1)]"
        u"[AddItem(\"C:\\\u8868\u793A\\\u30BD\u30D5\u30C8.exe\",\u8868\u793A \u30BD\u30D5\u30C8)]";
    const std::string cp932 = command_for(SOFT, SOFT ".exe", SHOW " " SOFT) + std::string(1, '\0');
    const std::string wide((const char *)utf16.c_str(), (utf16.size() + 1) * sizeof(char16_t));
    struct Row {
        int is_nt;
        const char *acp;   // the system's code page
        std::string data;  // with the terminating zero
    } rows[] = {
        {0, "1252", cp932},
        {1, "932", cp932},
        {1, "1252", wide},
        {1, "65001", wide},
    };
    seam_hook<SEAM_RegQueryValueExA>(fake_system_code_page, 1, 0);
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.is_nt ? "NT family" : "Windows 95/98") + ", code page " + row.acp);
        session.is_nt = row.is_nt;
        system_acp = row.acp;
        sent.clear();
        create_program_group(1);
        EXPECT_TRUE(recorded_boxes.empty());
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].data, row.data);
        EXPECT_EQ(sent[0].size, row.data.size());
        EXPECT_EQ(sent[0].format, 0u) << "an execute transaction has no format";
        EXPECT_EQ(sent[0].type, (UINT)XTYP_EXECUTE);
    }
}

// The formatted command keeps at most 1023 bytes of the 1040-byte buffer and
// does not end inside a double-byte character.
TEST_F(GroupCommands, LongCommandIsCutAt1023BytesOnACharacterBoundary)
{
    std::string group(259, 'g');
    std::string pairs;  // ソ x 129
    for (int i = 0; i < 129; i++)
        pairs += "\x83\x5c";
    struct Case {
        std::string program, title;
        size_t expected;
    } cases[] = {
        {std::string(259, 'p'), std::string(259, 't'), 1023},
        // Byte 1023 falls inside the title: at an even offset into it
        // (between two characters) or an odd one (inside ソ). The program's
        // length sets which.
        {std::string(259, 'p'), pairs, 0},
        {std::string(258, 'p'), pairs, 0},
    };
    std::set<size_t> lengths;
    for (Case &c : cases) {
        std::string full = command_for(group, c.program, c.title);
        size_t title_at = full.size() - c.title.size() - 2;
        if (c.expected == 0) {
            ASSERT_LT(title_at, 1023u);
            ASSERT_GT(title_at + c.title.size(), 1023u);
            c.expected = (1023 - title_at) % 2 == 0 ? 1023 : 1022;
        }
        write_startmenu(1, {"start_1=" + group + "," + c.program + "," + c.title});
        char buffer[1040];
        memset(buffer, 'Z', sizeof buffer);
        size_t len = build_group_command(buffer, 1);
        EXPECT_EQ(len, c.expected);
        EXPECT_EQ(std::string(buffer), full.substr(0, c.expected));
        for (size_t i = c.expected + 1; i < sizeof buffer; i++)
            ASSERT_EQ(buffer[i], 'Z') << "byte " << i << " written";
        lengths.insert(c.expected);
    }
    EXPECT_EQ(lengths.size(), 2u) << "both a cut between and inside characters";

    // Sent with its zero: 1024 bytes.
    create_program_group(1);
    EXPECT_TRUE(recorded_boxes.empty());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size, (DWORD)strlen(sent[0].data.c_str()) + 1);
    EXPECT_LE(sent[0].size, 1024u);
}

TEST_F(GroupCommands, MissingAndShortEntriesBuildNoCommand)
{
    write_startmenu(4, {"start_1=", "start_2=Tool,tool.exe", "start_3=,,,"});
    char buffer[1040];
    for (unsigned n = 1; n <= 4; n++) {
        memset(buffer, 0, sizeof buffer);
        EXPECT_EQ(build_group_command(buffer, n), 0u) << n;
    }
    // A missing catalogue text would give no command either: not checked
    // here, setup.exe's catalogue has message 2.
    EXPECT_EQ(catalogue(MSG_PROGMAN_COMMAND), "[CreateGroup(\"%s\")][ShowGroup(\"%s\",1)][AddItem(\"%s%s\",%s)]");
}

// The ANSI conversation on Windows 95/98 and where the system's code page is
// 932, the Unicode one on the NT family elsewhere; everything else the same.
TEST_F(GroupCommands, ConversationIsSetUpAsTheShellExpects)
{
    seam_hook<SEAM_RegQueryValueExA>(fake_system_code_page, 1, 0);
    seam_hook<SEAM_DdeInitializeA>(record_initialise, 1, 0);
    seam_hook<SEAM_DdeInitializeW>(record_initialise_wide, 1, 0);
    seam_hook<SEAM_DdeCreateStringHandleA>(record_string_handle, 1, 0);
    seam_hook<SEAM_DdeCreateStringHandleW>(record_string_handle_wide, 1, 0);
    seam_hook<SEAM_GlobalAlloc>(record_alloc, 1, 0);
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    struct Row {
        int is_nt;
        const char *acp;
        bool wide;
        int code_page;
    } rows[] = {{0, "1252", false, CP_WINANSI}, {1, "932", false, CP_WINANSI}, {1, "1252", true, CP_WINUNICODE}};
    unsigned runs = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.is_nt ? "NT family" : "Windows 95/98") + ", code page " + row.acp);
        runs++;
        session.is_nt = row.is_nt;
        system_acp = row.acp;
        asked_value.clear();
        initialisation = {};
        string_handles.clear();
        alloc_size = 0;
        create_program_group(1);
        EXPECT_TRUE(recorded_boxes.empty());

        EXPECT_EQ(initialisation.wide, row.wide);
        EXPECT_EQ(asked_value, row.is_nt ? "ACP" : "") << "the system's code page, asked on the NT family only";
        EXPECT_EQ(initialisation.instance_on_entry, 0u);
        EXPECT_EQ(initialisation.command, (DWORD)CBF_SKIP_ALLNOTIFICATIONS);
        EXPECT_EQ(initialisation.reserved, 0u);
        ASSERT_NE(initialisation.callback, nullptr);
        EXPECT_EQ(initialisation.callback(XTYP_ADVDATA, CF_TEXT, NULL, NULL, NULL, NULL, 0, 0), (HDDEDATA)DDE_FACK);
        for (UINT type : {XTYP_EXECUTE, XTYP_REGISTER, XTYP_DISCONNECT, XTYP_XACT_COMPLETE, XTYP_ADVREQ, XTYP_POKE})
            EXPECT_EQ(initialisation.callback(type, 0, NULL, NULL, NULL, NULL, 0, 0), (HDDEDATA)NULL) << type;

        ASSERT_EQ(string_handles.size(), 2u);
        for (const StringHandle &h : string_handles) {
            EXPECT_EQ(h.name, L"PROGMAN");
            EXPECT_EQ(h.code_page, row.code_page);
            EXPECT_EQ(h.wide, row.wide);
        }
        EXPECT_EQ(connect_context, nullptr);
        EXPECT_EQ(alloc_flags, (UINT)(GMEM_MOVEABLE | GMEM_ZEROINIT));
        EXPECT_EQ(alloc_size, 1040u);
        EXPECT_EQ(seam_count(SEAM_GlobalLock), runs);
        EXPECT_EQ(seam_count(SEAM_DdeFreeStringHandle), 0u) << "ending the instance frees them";
        expect_cleaned_up(runs);
    }
    EXPECT_EQ(seam_count(SEAM_DdeInitializeA), 2u);
    EXPECT_EQ(seam_count(SEAM_DdeInitializeW), 1u);
    EXPECT_EQ(seam_count(SEAM_RegOpenKeyExA), seam_count(SEAM_RegCloseKey)) << "the key is closed again";
}

TEST_F(GroupCommands, UninstallRemovesInsteadOfTalkingToTheShell)
{
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    for (unsigned mode : {RunModeSetup, RunModeTempCopy}) {
        session.run_mode = mode;
        sent.clear();
        create_program_group(1);
        EXPECT_EQ(sent.size(), 1u) << mode;
    }
    unsigned initialised = seam_count(SEAM_DdeInitializeA);
    session.run_mode = RunModeUninstall;
    sent.clear();
    remove_program_group(NULL, 1);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(seam_count(SEAM_DdeInitializeA), initialised);
    EXPECT_GT(seam_count(SEAM_GetFileAttributesA), 0u) << "the removal looked for the shortcut";
}

// ---------------------------------------------------------------------------
// Failures, each with its message and the rest of the conversation undone.

TEST_F(GroupCommands, InitialisationFailureShows32010)
{
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    seam_fail_at(SEAM_DdeInitializeA);
    create_program_group(1);
    expect_one_failure_box(MSG_DDE_INIT);
    EXPECT_EQ(seam_count(SEAM_DdeCreateStringHandleA), 0u);
    EXPECT_EQ(seam_count(SEAM_DdeUninitialize), 0u);
    EXPECT_TRUE(sent.empty());
}

TEST_F(GroupCommands, StringHandleOrConnectionFailureShows32011)
{
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    seam_fail_at(SEAM_DdeCreateStringHandleA, 2);  // the topic
    create_program_group(1);
    expect_one_failure_box(MSG_DDE_CONNECT);
    EXPECT_EQ(seam_count(SEAM_DdeConnect), 0u);
    EXPECT_EQ(seam_count(SEAM_DdeUninitialize), 1u);

    recorded_boxes.clear();
    seam_fail_at(SEAM_DdeConnect, SEAM_NEXT);
    create_program_group(1);
    expect_one_failure_box(MSG_DDE_CONNECT);
    EXPECT_EQ(seam_count(SEAM_DdeUninitialize), 2u);
    EXPECT_EQ(seam_count(SEAM_DdeDisconnect), 0u);
    EXPECT_EQ(seam_count(SEAM_GlobalAlloc), 0u);
    EXPECT_TRUE(sent.empty());
}

TEST_F(GroupCommands, MemoryFailureShows32012)
{
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    seam_fail_at(SEAM_GlobalAlloc);
    create_program_group(1);
    expect_one_failure_box(MSG_DDE_MEMORY);
    EXPECT_EQ(seam_count(SEAM_DdeDisconnect), 1u);
    EXPECT_EQ(seam_count(SEAM_DdeUninitialize), 1u);
    EXPECT_TRUE(sent.empty());

    // A block that cannot be locked is freed again.
    recorded_boxes.clear();
    seam_fail(SEAM_GlobalLock, 0, ERROR_NOT_LOCKED, SEAM_NEXT);
    create_program_group(1);
    expect_one_failure_box(MSG_DDE_MEMORY);
    EXPECT_EQ(seam_count(SEAM_GlobalFree), 1u);
    EXPECT_TRUE(sent.empty());
}

TEST_F(GroupCommands, TimedOutCommandShows32013AndNothingFurtherIsSent)
{
    write_startmenu(3, {"start_1=Tool,a.exe,A", "start_2=Tool,b.exe,B", "start_3=Tool,c.exe,C"});
    seam_fail_at(SEAM_DdeClientTransaction);
    create_program_group(3);
    expect_one_failure_box(MSG_DDE_SEND);
    EXPECT_EQ(seam_count(SEAM_DdeClientTransaction), 1u);
    expect_cleaned_up();
}

TEST_F(GroupCommands, RefusedSecondCommandLeavesTheFirstAndSkipsTheThird)
{
    write_startmenu(3, {"start_1=Tool,a.exe,A", "start_2=Tool,b.exe,B", "start_3=Tool,c.exe,C"});
    seam_fail(SEAM_DdeClientTransaction, 0, DMLERR_NOTPROCESSED, 2);
    create_program_group(3);
    expect_one_failure_box(MSG_DDE_SEND);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.c_str(), command_for("Tool", "a.exe", "A"));
    EXPECT_EQ(seam_count(SEAM_DdeClientTransaction), 2u);
    expect_cleaned_up();
}

// ---------------------------------------------------------------------------
// The real conversation with Wine's shell.

std::string programs_folder()
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, 0, path);
    return path;
}

// The folder windows that CreateGroup and ShowGroup open, each in an
// explorer process of its own.
// (A plain function: the callback must use the platform's calling
// convention, which a lambda does not have on 32-bit Windows.)
BOOL CALLBACK note_folder_window(HWND window, LPARAM param)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "ExplorerWClass") == 0 || strcmp(name, "CabinetWClass") == 0)
        ((std::set<HWND> *)param)->insert(window);
    return TRUE;
}

std::set<HWND> folder_windows()
{
    std::set<HWND> windows;
    EnumWindows(note_folder_window, (LPARAM)&windows);
    return windows;
}

std::string link_target(const std::string &link)
{
    std::string target;
    IShellLinkA *shell_link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&shell_link)))
        return "(no shell link object)";
    IPersistFile *file = NULL;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shell_link->GetPath(path, MAX_PATH, NULL, 0)))
            target = path;
        file->Release();
    }
    shell_link->Release();
    return target;
}

HDDEDATA CALLBACK quiet_callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

const char user_shell_folders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class ShellConversation : public GroupSession {
protected:
    std::set<HWND> windows_before;
    std::vector<std::string> groups;  // group folders to delete afterwards
    std::string group;                // a name of this run: ソフト試験 <pid>
    bool programs_redirected = false;
    std::wstring saved_programs;

    void SetUp() override
    {
        GroupSession::SetUp();
        // Wine is of the NT family (here of code page 932).
        session.is_nt = 1;
        sent.clear();
        send_for_real = true;
        seam_hook<SEAM_DdeClientTransaction>(record_transaction, 1, 0);
        CoInitialize(NULL);
        windows_before = folder_windows();
        group = SOFT "\x8e\x8e\x8c\xb1 " + std::to_string(GetCurrentProcessId());
        groups.push_back(programs_folder() + "\\" + group);
        wait_for_shell();
    }

    void TearDown() override
    {
        close_folder_windows();
        restore_programs_folder();
        for (const std::string &folder : groups)
            remove_tree(folder);
        CoUninitialize();
        GroupSession::TearDown();
    }

    // The desktop process offers PROGMAN a moment after it starts.
    void wait_for_shell()
    {
        DWORD instance = 0;
        ASSERT_EQ(DdeInitializeA(&instance, quiet_callback, CBF_SKIP_ALLNOTIFICATIONS, 0), (UINT)DMLERR_NO_ERROR);
        HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
        HCONV conversation = NULL;
        for (int i = 0; i < 100 && conversation == NULL; i++) {
            conversation = DdeConnect(instance, name, name, NULL);
            if (conversation == NULL)
                Sleep(100);
        }
        ASSERT_NE(conversation, nullptr) << "the shell's PROGMAN service does not answer";
        DdeDisconnect(conversation);
        DdeUninitialize(instance);
    }

    void close_folder_windows()
    {
        for (int round = 0; round < 50; round++) {
            std::set<HWND> now = folder_windows();
            bool any = false;
            for (HWND window : now) {
                if (windows_before.count(window) == 0) {
                    PostMessageA(window, WM_CLOSE, 0, 0);
                    any = true;
                }
            }
            if (!any)
                return;
            Sleep(100);
        }
    }

    // Points the user's programs folder at `folder` (which must exist: the
    // shell's DDE server fails on a programs folder that is not there).
    void redirect_programs_folder(const std::string &folder)
    {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, user_shell_folders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        WCHAR old_value[MAX_PATH] = L"";
        DWORD size = sizeof old_value - sizeof(WCHAR), type = 0;
        if (RegQueryValueExW(key, L"Programs", NULL, &type, (BYTE *)old_value, &size) == ERROR_SUCCESS)
            saved_programs = old_value;
        WCHAR wide[MAX_PATH];
        int n = MultiByteToWideChar(932, 0, folder.c_str(), -1, wide, MAX_PATH);
        programs_redirected = true;
        EXPECT_EQ(RegSetValueExW(key, L"Programs", 0, REG_EXPAND_SZ, (const BYTE *)wide, n * sizeof(WCHAR)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void restore_programs_folder()
    {
        if (!programs_redirected)
            return;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, user_shell_folders, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        if (saved_programs.empty())
            RegDeleteValueW(key, L"Programs");
        else
            RegSetValueExW(key, L"Programs", 0, REG_EXPAND_SZ, (const BYTE *)saved_programs.c_str(),
                           (DWORD)(saved_programs.size() + 1) * sizeof(WCHAR));
        RegCloseKey(key);
        programs_redirected = false;
    }
};

TEST_F(ShellConversation, ShortcutsAppearInTheUsersProgramsFolder)
{
    write_file(std::string(session.destination_dir) + "tool.exe", "MZ");
    write_startmenu(3, {"start_1=" + group + ",tool.exe,Viewer", "start_2=" + group + ",tool.exe," SHOW " " SOFT,
                        "start_3=" + group + ",tool.exe"});
    create_program_group(3);
    EXPECT_TRUE(recorded_boxes.empty()) << recorded_boxes[0].text;
    EXPECT_EQ(sent.size(), 2u);

    std::string folder = programs_folder() + "\\" + group;
    std::string tool = std::string(session.destination_dir) + "tool.exe";
    EXPECT_TRUE(is_file(folder + "\\Viewer.lnk"));
    EXPECT_TRUE(is_file(folder + "\\" SHOW " " SOFT ".lnk"));
    EXPECT_EQ(link_target(folder + "\\Viewer.lnk"), tool);
    EXPECT_EQ(link_target(folder + "\\" SHOW " " SOFT ".lnk"), tool);

    // Removal looks in the programs folder the shell names, where it made
    // them, and takes them away with their emptied group folder.
    close_folder_windows();
    remove_program_group(NULL, 2);
    EXPECT_FALSE(is_file(folder + "\\Viewer.lnk"));
    EXPECT_FALSE(is_file(folder + "\\" SHOW " " SOFT ".lnk"));
    EXPECT_FALSE(is_folder(folder));
    EXPECT_TRUE(recorded_boxes.empty());
}

// The Unicode conversation, as on a system of another code page, with the
// real shell. (Names within U+00FF only: Wine's DDE server takes a Unicode
// command with a character above that for an ANSI one.)
TEST_F(ShellConversation, UnicodeConversationMakesTheShortcuts)
{
    seam_hook<SEAM_RegQueryValueExA>(fake_system_code_page, 1, 0);
    system_acp = "1252";
    std::string plain = work + "\\plain";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), NULL));
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s\\", plain.c_str());
    std::string latin = "Unicode " + std::to_string(GetCurrentProcessId());
    groups.push_back(programs_folder() + "\\" + latin);
    write_file(plain + "\\tool.exe", "MZ");
    write_startmenu(1, {"start_1=" + latin + ",tool.exe,Viewer"});
    create_program_group(1);
    EXPECT_TRUE(recorded_boxes.empty()) << recorded_boxes[0].text;
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.substr(0, 4), std::string("[\0C\0", 4)) << "UTF-16";
    EXPECT_EQ(link_target(programs_folder() + "\\" + latin + "\\Viewer.lnk"), plain + "\\tool.exe");
}

TEST_F(ShellConversation, ShellRefusesAMissingProgramWith32013)
{
    write_file(std::string(session.destination_dir) + "tool.exe", "MZ");
    write_startmenu(2, {"start_1=" + group + ",missing.exe,Missing", "start_2=" + group + ",tool.exe,Viewer"});
    create_program_group(2);
    expect_one_failure_box(MSG_DDE_SEND);
    EXPECT_EQ(sent.size(), 1u) << "the entry after the refused one is not sent";
    std::string folder = programs_folder() + "\\" + group;
    EXPECT_FALSE(is_file(folder + "\\Missing.lnk"));
    EXPECT_FALSE(is_file(folder + "\\Viewer.lnk"));
}

// Where the shell keeps the Start menu under the Windows folder, removal
// finds what the shell made and takes it away again.
TEST_F(ShellConversation, RemovalTakesBackWhatTheShellMadeUnderTheWindowsFolder)
{
    std::string windows = work + "\\win";
    ASSERT_TRUE(CreateDirectoryA(windows.c_str(), NULL));
    std::string start_menu = windows + PROGRAMS_UNDER_WINDOWS;
    ASSERT_TRUE(CreateDirectoryA(start_menu.substr(0, start_menu.rfind('\\')).c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(start_menu.c_str(), NULL));
    snprintf(session.windows_dir, sizeof session.windows_dir, "%s", windows.c_str());
    redirect_programs_folder(start_menu);

    write_file(std::string(session.destination_dir) + "tool.exe", "MZ");
    write_startmenu(2, {"start_1=" SOFT ",tool.exe,Viewer", "start_2=" SOFT ",tool.exe," SHOW " " SOFT});
    create_program_group(2);
    EXPECT_TRUE(recorded_boxes.empty());
    std::string folder = start_menu + "\\" SOFT;
    ASSERT_TRUE(is_file(folder + "\\Viewer.lnk"));
    ASSERT_TRUE(is_file(folder + "\\" SHOW " " SOFT ".lnk"));

    close_folder_windows();
    remove_program_group(NULL, 2);
    restore_programs_folder();
    EXPECT_FALSE(is_file(folder + "\\Viewer.lnk"));
    EXPECT_FALSE(is_file(folder + "\\" SHOW " " SOFT ".lnk"));
    EXPECT_FALSE(is_folder(folder)) << "the emptied group folder goes";
    EXPECT_TRUE(is_folder(start_menu));
}

} // namespace
