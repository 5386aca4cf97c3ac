// The Uninstall entry's command, started as the system's list of programs
// starts it: CreateProcess with the text as written, no program name apart.
#include "registry_fixture.h"

namespace regtest {
namespace {

// Starts command and waits for the process to end; false when it could not
// be started.
bool start_and_wait(std::string command)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

class UninstallCommand : public RegistryTest {
protected:
    std::string base, folder, uninstall_key;

    void SetUp() override
    {
        RegistryTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        // <temp>\<tag>\Program Files\Reg Tool\setup.exe is the uninstaller;
        // <temp>\<tag>\Program.exe is what an unquoted command starts first.
        base = std::string(temp) + tag() + "\\";
        folder = base + "Program Files\\Reg Tool\\";
        uninstall_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + tag();
        ASSERT_TRUE(CreateDirectoryA(base.c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA((base + "Program Files").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));

        char self[MAX_PATH];
        GetModuleFileNameA(NULL, self, sizeof self);
        std::string recorder_exe = self;
        recorder_exe = recorder_exe.substr(0, recorder_exe.rfind('\\') + 1) + "command_recorder.exe";
        ASSERT_TRUE(CopyFileA(recorder_exe.c_str(), (folder + "setup.exe").c_str(), FALSE)) << recorder_exe;
        ASSERT_TRUE(CopyFileA(recorder_exe.c_str(), (base + "Program.exe").c_str(), FALSE));
    }
    void TearDown() override
    {
        DeleteFileA((folder + "setup.exe").c_str());
        DeleteFileA((folder + "started.txt").c_str());
        DeleteFileA((base + "Program.exe").c_str());
        DeleteFileA((base + "started.txt").c_str());
        RemoveDirectoryA(folder.c_str());
        RemoveDirectoryA((base + "Program Files").c_str());
        RemoveDirectoryA(base.c_str());
        remove_tree(HKEY_LOCAL_MACHINE, uninstall_key);
        RegistryTest::TearDown();
    }
};

TEST_F(UninstallCommand, TheWrittenCommandStartsTheUninstallerWithItsArguments)
{
    strcpy(session.destination_dir, folder.c_str());
    session.run_mode = RunModeTempCopy;
    write_script("uninstall_key=" + tag() + "\r\nuninstall_command=setup.exe /UNINSTALL\r\n"
                 "uninstall_dispname=Reg Tool\r\n");
    apply_uninstall_entry();
    Value v = read_value(HKEY_LOCAL_MACHINE, uninstall_key, "UninstallString");
    ASSERT_TRUE(v.found);
    std::string command = v.data.c_str();
    EXPECT_EQ(command, "\"" + folder + "setup.exe\" /UNINSTALL");

    ASSERT_TRUE(start_and_wait(command)) << command;
    EXPECT_EQ(read_file(folder + "started.txt", ""), command + "\n/UNINSTALL\n")
        << "the uninstaller ran and its argument tail is the mode alone";
    EXPECT_EQ(read_file(base + "started.txt", ""), "") << "Program.exe must not be started";
}

// The control: the same path unquoted, as the entry used to be written, is
// taken apart at its first blank and starts Program.exe. So the test above
// can tell the two apart.
TEST_F(UninstallCommand, AnUnquotedPathWithBlanksStartsAnotherProgram)
{
    ASSERT_TRUE(start_and_wait(folder + "setup.exe /UNINSTALL"));
    EXPECT_EQ(read_file(folder + "started.txt", ""), "");
    EXPECT_NE(read_file(base + "started.txt", ""), "");
}

} // namespace
} // namespace regtest
