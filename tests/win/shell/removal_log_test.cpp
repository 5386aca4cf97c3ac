// The removal error log under Wine: lines collected in one block, written to
// delerr.log in the program's folder.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"
#include "win_test_support.h"

namespace {

const char shared_key[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The line for one failed value deletion, formed here from its parts.
std::string expected_line(const std::string &value)
{
    std::string format = catalogue(MSG_REMOVE_FAILED);
    std::string failure = std::string("\xB7\xB0 ") + shared_key + "\\" + value;
    size_t at = format.find("%s");
    return format.substr(0, at) + failure + format.substr(at + 2);
}

class RemovalLog : public WinTest {
protected:
    std::string folder, log;
    void SetUp() override
    {
        WinTest::SetUp();
        if (HasFatalFailure())
            return;
        make_scratch("rlg");
        folder = scratch;
        snprintf(session.source_dir, sizeof session.source_dir, "%s", folder.c_str());
        log = folder + "delerr.log";
    }
};

TEST_F(RemovalLog, TwoFailuresGiveTwoLinesBackToBack)
{
    log_removal_failure('\\', shared_key, "C:\\WINDOWS\\SYSTEM\\A.DLL");
    log_removal_failure('\\', shared_key, "C:\\WINDOWS\\SYSTEM\\\x83\x5c.DLL");
    ASSERT_NE(session.removal_log, nullptr);
    write_removal_log();
    EXPECT_EQ(session.removal_log, nullptr) << "released after writing";
    std::string expected = expected_line("C:\\WINDOWS\\SYSTEM\\A.DLL") +
                           expected_line("C:\\WINDOWS\\SYSTEM\\\x83\x5c.DLL") + std::string(2, '\0');
    EXPECT_EQ(read_file(log), expected);
}

TEST_F(RemovalLog, ABlankSeparatorAndLineFeedsInTextMode)
{
    append_to_removal_log("one\ntwo");
    log_removal_failure(' ', "Software\\X", "Value");
    write_removal_log();
    std::string format = catalogue(MSG_REMOVE_FAILED);
    size_t at = format.find("%s");
    std::string second = format.substr(0, at) + "\xB7\xB0 Software\\X Value" + format.substr(at + 2);
    EXPECT_EQ(read_file(log), "one\r\ntwo" + second + std::string(2, '\0'));
}

TEST_F(RemovalLog, NoFailuresLeaveAnExistingLogUntouched)
{
    write_file(log, "older log\r\n");
    write_removal_log();
    EXPECT_EQ(read_file(log), "older log\r\n");
}

TEST_F(RemovalLog, AnOlderLongerLogLeavesNoTailBehind)
{
    write_file(log, std::string(2000, 'x'));
    append_to_removal_log("new");
    write_removal_log();
    EXPECT_EQ(read_file(log), std::string("new") + '\0');
}

TEST_F(RemovalLog, ABlockThatCannotGrowKeepsWhatItHeld)
{
    append_to_removal_log("first");
    seam_fail_at(SEAM_GlobalReAlloc, SEAM_NEXT);
    append_to_removal_log("second");
    append_to_removal_log("third");
    write_removal_log();
    EXPECT_EQ(read_file(log), std::string("firstthird") + std::string(2, '\0'));
}

TEST_F(RemovalLog, ALogThatCannotBeOpenedIsReleasedAllTheSame)
{
    append_to_removal_log("lost");
    seam_fail(SEAM_CreateFileA, (long long)(INT_PTR)INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, SEAM_NEXT);
    write_removal_log();
    EXPECT_EQ(session.removal_log, nullptr);
    EXPECT_EQ(read_file(log), "<missing>");
}

TEST_F(RemovalLog, FinishRunReleasesABlockStillHeld)
{
    append_to_removal_log("never written");
    session.run_mode = RunModeSetup;
    GetWindowsDirectoryA(session.windows_dir, sizeof session.windows_dir);
    finish_run(Cancelled);
    EXPECT_EQ(session.removal_log, nullptr);
    EXPECT_EQ(read_file(log), "<missing>");
}

} // namespace
