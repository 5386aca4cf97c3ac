// The program group where no shell offers PROGMAN: run by no_shell.sh in a
// Wine session whose desktop process (the shell) is never started.
#include <gtest/gtest.h>

#include "group_test_support.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"

namespace {

class NoShell : public GroupSession {};

TEST_F(NoShell, ConnectionFailsWith32011)
{
    write_file(std::string(session.destination_dir) + "tool.exe", "MZ");
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    create_program_group(1);
    expect_one_failure_box(MSG_DDE_CONNECT);
    EXPECT_EQ(seam_count(SEAM_DdeConnect), 1u);
    EXPECT_EQ(seam_count(SEAM_DdeClientTransaction), 0u);
    EXPECT_EQ(seam_count(SEAM_DdeUninitialize), 1u);
}

} // namespace
