// install_versioned_file against every result of the version installer,
// including those Wine never gives, injected through the seam: the message,
// caption and style of each, the outcome for application and shared files,
// the forced second attempt, the order of questions and errors, and the
// removal of the installer's temporary copy.
#include "vcopy_support.h"

#include <string.h>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"

namespace {

const UINT kQuestion = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
const UINT kError = MB_OK | MB_ICONSTOP;
const UINT kFindError = MB_OK | MB_ICONEXCLAMATION;

// What the fake finder reports, and what each fake install call returns.
DWORD find_result;
std::string found_dest_dir;
std::string found_cur_dir;
std::vector<DWORD> install_results;
std::string temp_name_given; // written into the temporary-name buffer

struct FindCall {
    DWORD flags;
    std::string name, win_dir, app_dir;
    UINT cur_len, dest_len;
};
struct InstallCall {
    DWORD flags;
    std::string src_name, dst_name, src_dir, dst_dir, cur_dir, tmp_name;
    UINT tmp_len;
};
std::vector<FindCall> find_calls;
std::vector<InstallCall> install_calls;

DWORD fake_find(DWORD flags, LPCSTR name, LPCSTR win_dir, LPCSTR app_dir, LPSTR cur_dir, PUINT cur_len,
                LPSTR dest_dir, PUINT dest_len)
{
    find_calls.push_back({flags, name, win_dir, app_dir, *cur_len, *dest_len});
    lstrcpynA(cur_dir, found_cur_dir.c_str(), (int)*cur_len);
    lstrcpynA(dest_dir, found_dest_dir.c_str(), (int)*dest_len);
    *cur_len = (UINT)found_cur_dir.size() + 1;
    *dest_len = (UINT)found_dest_dir.size() + 1;
    return find_result;
}

DWORD fake_install(DWORD flags, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir, LPCSTR dst_dir, LPCSTR cur_dir,
                   LPSTR tmp_name, PUINT tmp_len)
{
    install_calls.push_back({flags, src_name, dst_name, src_dir, dst_dir, cur_dir, tmp_name, *tmp_len});
    size_t n = install_calls.size();
    DWORD result = n <= install_results.size() ? install_results[n - 1] : 0;
    if (result & VIF_TEMPFILE) {
        lstrcpynA(tmp_name, temp_name_given.c_str(), (int)*tmp_len);
        *tmp_len = (UINT)temp_name_given.size() + 1;
    }
    return result;
}

struct Row {
    DWORD bit;
    UINT message;
};

// The questions, each as the installer reports it: with VIF_MISMATCH.
const Row kQuestionRows[] = {
    {VIF_MISMATCH | VIF_SRCOLD, MSG_COPY_NEWER},
    {VIF_MISMATCH | VIF_DIFFLANG, MSG_COPY_DIFF_LANG},
    {VIF_MISMATCH | VIF_DIFFCODEPG, MSG_COPY_DIFF_CODEPAGE},
    {VIF_MISMATCH | VIF_DIFFTYPE, MSG_COPY_DIFF_TYPE},
    {VIF_MISMATCH, MSG_COPY_DIFF_ATTR},
    // Without VIF_MISMATCH, as a version installer may also report them.
    {VIF_SRCOLD, MSG_COPY_NEWER},
    {VIF_DIFFLANG, MSG_COPY_DIFF_LANG},
    {VIF_DIFFCODEPG, MSG_COPY_DIFF_CODEPAGE},
    {VIF_DIFFTYPE, MSG_COPY_DIFF_TYPE},
};

const Row kErrorRows[] = {
    {VIF_WRITEPROT, MSG_COPY_WRITE_PROTECTED},
    {VIF_FILEINUSE, MSG_COPY_IN_USE},
    {VIF_OUTOFSPACE, MSG_COPY_OUT_OF_SPACE},
    {VIF_ACCESSVIOLATION, MSG_COPY_ACCESS_VIOLATION},
    {VIF_SHARINGVIOLATION, MSG_COPY_SHARING_VIOLATION},
    {VIF_CANNOTCREATE, MSG_COPY_CANNOT_CREATE},
    {VIF_CANNOTDELETE, MSG_COPY_CANNOT_DELETE},
    {VIF_CANNOTRENAME, MSG_COPY_CANNOT_RENAME},
    {VIF_OUTOFMEMORY, MSG_COPY_OUT_OF_MEMORY},
    {VIF_CANNOTREADSRC, MSG_COPY_CANNOT_READ_SRC},
    {VIF_CANNOTREADDST, MSG_COPY_CANNOT_READ_DST},
    {VIF_BUFFTOOSMALL, MSG_COPY_TEMP_TOO_SMALL},
};

class InjectedInstall : public VcopyTest {
protected:
    void SetUp() override
    {
        VcopyTest::SetUp();
        find_result = 0;
        found_dest_dir = dest_dir;
        found_cur_dir = "";
        install_results.clear();
        temp_name_given.clear();
        find_calls.clear();
        install_calls.clear();
        seam_hook<SEAM_VerFindFileA>(fake_find, 1, 0);
        seam_hook<SEAM_VerInstallFileA>(fake_install, 1, 0);
    }

    void restart_case()
    {
        recorded_boxes.clear();
        box_answers.clear();
        install_calls.clear();
        find_calls.clear();
    }
};

std::string hex(DWORD value)
{
    char buf[16];
    snprintf(buf, sizeof buf, "0x%lx", (unsigned long)value);
    return buf;
}

TEST_F(InjectedInstall, ArgumentsOfBothCalls)
{
    found_dest_dir = "C:\\DEST";
    found_cur_dir = "C:\\CURRENT";
    temp_name_given = "\\VER77.TMP";
    install_results = {VIF_TEMPFILE | VIF_SRCOLD};
    box_answers = {IDYES};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);

    ASSERT_EQ(find_calls.size(), 1u);
    EXPECT_EQ(find_calls[0].flags, 0u);
    EXPECT_EQ(find_calls[0].name, "TARGET.DLL");
    EXPECT_EQ(find_calls[0].win_dir, windows_dir);
    EXPECT_EQ(find_calls[0].app_dir, dest_dir);
    EXPECT_EQ(find_calls[0].cur_len, 260u);
    EXPECT_EQ(find_calls[0].dest_len, 260u);

    ASSERT_EQ(install_calls.size(), 2u);
    for (const InstallCall &call : install_calls) {
        EXPECT_EQ(call.src_name, "SRC.DLL");
        EXPECT_EQ(call.dst_name, "TARGET.DLL");
        EXPECT_EQ(call.src_dir, medium_dir);
        EXPECT_EQ(call.dst_dir, "C:\\DEST");
        EXPECT_EQ(call.cur_dir, "C:\\CURRENT");
        EXPECT_EQ(call.tmp_len, 260u);
        EXPECT_EQ(call.tmp_name, "") << "the deleted temporary copy is not named again";
    }
    EXPECT_EQ(install_calls[0].flags, (DWORD)VIFF_DONTDELETEOLD);
    EXPECT_EQ(install_calls[1].flags, (DWORD)VIFF_FORCEINSTALL) << "the forced copy: VIFF_FORCEINSTALL alone";

    restart_case();
    EXPECT_EQ(install_versioned_file(1, "SRC.DLL", "TARGET.DLL"), 1);
    ASSERT_EQ(find_calls.size(), 1u);
    EXPECT_EQ(find_calls[0].flags, (DWORD)VFFF_ISSHAREDFILE);
}

TEST_F(InjectedInstall, EveryQuestionAnsweredNoKeepsTheExistingFile)
{
    for (int shared = 0; shared <= 1; shared++) {
        for (const Row &row : kQuestionRows) {
            SCOPED_TRACE("result " + hex(row.bit) + (shared ? ", shared file" : ", application file"));
            restart_case();
            install_results = {row.bit};
            box_answers = {IDNO};
            EXPECT_EQ(install_versioned_file(shared, "SRC.DLL", "TARGET.DLL"), 1);
            ASSERT_EQ(recorded_boxes.size(), 1u) << "questions are asked for shared files too";
            EXPECT_EQ(recorded_boxes[0].text, catalogue_with(row.message, "TARGET.DLL"));
            EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_COPY_FAILED));
            EXPECT_EQ(recorded_boxes[0].style, kQuestion);
            EXPECT_EQ(install_calls.size(), 1u);
        }
    }
    // Any answer but Yes keeps the file.
    restart_case();
    install_results = {VIF_SRCOLD};
    box_answers = {IDCANCEL};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    EXPECT_EQ(install_calls.size(), 1u);
}

TEST_F(InjectedInstall, EveryQuestionAnsweredYesForcesTheCopy)
{
    for (int shared = 0; shared <= 1; shared++) {
        for (const Row &row : kQuestionRows) {
            SCOPED_TRACE("result " + hex(row.bit) + (shared ? ", shared file" : ", application file"));
            restart_case();
            install_results = {row.bit, 0};
            box_answers = {IDYES};
            EXPECT_EQ(install_versioned_file(shared, "SRC.DLL", "TARGET.DLL"), 1);
            EXPECT_EQ(recorded_boxes.size(), 1u);
            ASSERT_EQ(install_calls.size(), 2u);
            EXPECT_EQ(install_calls[1].flags, (DWORD)VIFF_FORCEINSTALL);
        }
    }
}

TEST_F(InjectedInstall, EveryErrorFailsLoudlyForApplicationFilesAndSilentlyForSharedOnes)
{
    for (const Row &row : kErrorRows) {
        SCOPED_TRACE("result " + hex(row.bit));
        restart_case();
        install_results = {row.bit};
        EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 0);
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_EQ(recorded_boxes[0].text, catalogue_with(row.message, "TARGET.DLL"));
        EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_COPY_FAILED));
        EXPECT_EQ(recorded_boxes[0].style, kError);
        EXPECT_EQ(install_calls.size(), 1u);

        restart_case();
        install_results = {row.bit};
        EXPECT_EQ(install_versioned_file(1, "SRC.DLL", "TARGET.DLL"), 0);
        EXPECT_TRUE(recorded_boxes.empty());
    }
}

TEST_F(InjectedInstall, FirstErrorInTableOrderIsTheOneReported)
{
    install_results = {VIF_CANNOTREADSRC | VIF_CANNOTDELETE | VIF_SHARINGVIOLATION};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 0);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_SHARING_VIOLATION, "TARGET.DLL"));

    restart_case();
    install_results = {VIF_OUTOFMEMORY | VIF_CANNOTREADDST};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 0);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_OUT_OF_MEMORY, "TARGET.DLL"));
}

TEST_F(InjectedInstall, ParticularDifferenceIsNamedBeforeTheGeneralOne)
{
    install_results = {VIF_MISMATCH | VIF_DIFFTYPE | VIF_DIFFLANG};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_DIFF_LANG, "TARGET.DLL"));

    restart_case();
    install_results = {VIF_MISMATCH | VIF_SRCOLD | VIF_DIFFTYPE};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_NEWER, "TARGET.DLL"));
}

TEST_F(InjectedInstall, QuestionComesBeforeError)
{
    // No: only the question, and the existing file counts as installed.
    install_results = {VIF_MISMATCH | VIF_SRCOLD | VIF_WRITEPROT};
    box_answers = {IDNO};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_NEWER, "TARGET.DLL"));

    // Yes: the forced copy fails, and that error is reported.
    restart_case();
    install_results = {VIF_MISMATCH | VIF_SRCOLD | VIF_WRITEPROT, VIF_WRITEPROT};
    box_answers = {IDYES};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 0);
    ASSERT_EQ(recorded_boxes.size(), 2u);
    EXPECT_EQ(recorded_boxes[0].style, kQuestion);
    EXPECT_EQ(recorded_boxes[1].text, catalogue_with(MSG_COPY_WRITE_PROTECTED, "TARGET.DLL"));
    EXPECT_EQ(recorded_boxes[1].style, kError);

    // A shared file: the question, then a silent failure.
    restart_case();
    install_results = {VIF_DIFFTYPE | VIF_CANNOTCREATE, VIF_CANNOTCREATE};
    box_answers = {IDYES};
    EXPECT_EQ(install_versioned_file(1, "SRC.DLL", "TARGET.DLL"), 0);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_DIFF_TYPE, "TARGET.DLL"));
}

TEST_F(InjectedInstall, ForcedCopyIsEvaluatedAgain)
{
    // The forced copy reports another difference: asked again, forced again.
    install_results = {VIF_SRCOLD, VIF_DIFFLANG, 0};
    box_answers = {IDYES, IDYES};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    ASSERT_EQ(recorded_boxes.size(), 2u);
    EXPECT_EQ(recorded_boxes[1].text, catalogue_with(MSG_COPY_DIFF_LANG, "TARGET.DLL"));
    ASSERT_EQ(install_calls.size(), 3u);
    EXPECT_EQ(install_calls[2].flags, (DWORD)VIFF_FORCEINSTALL);
}

TEST_F(InjectedInstall, BitsWithoutMeaningHereCountAsSuccess)
{
    // The old copy elsewhere could not be deleted: the new one is in place.
    install_results = {VIF_CANNOTDELETECUR};
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    EXPECT_TRUE(recorded_boxes.empty());
}

TEST_F(InjectedInstall, TemporaryCopyIsDeleted)
{
    // As Wine names it (leading backslash) and as Windows does (bare name),
    // in a destination folder given with and without a trailing backslash.
    struct Case {
        const char *name;
        bool trailing_backslash;
        DWORD result;
    } cases[] = {
        {"\\VER1A2B.tmp", true, VIF_TEMPFILE | VIF_MISMATCH | VIF_SRCOLD},
        {"VER1A2C.TMP", false, VIF_TEMPFILE | VIF_MISMATCH | VIF_DIFFTYPE},
        {"\\VER1A2D.tmp", false, VIF_TEMPFILE | VIF_WRITEPROT},
        {"VER1A2E.TMP", true, VIF_TEMPFILE},
    };
    write_file(dest("OTHER.DLL"), "stays");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        restart_case();
        std::string bare = c.name[0] == '\\' ? c.name + 1 : c.name;
        write_file(dest(bare.c_str()), "temporary copy");
        found_dest_dir = c.trailing_backslash ? dest_dir : dest_dir.substr(0, dest_dir.size() - 1);
        temp_name_given = c.name;
        install_results = {c.result};
        box_answers = {IDYES};
        install_versioned_file(0, "SRC.DLL", "TARGET.DLL");
        EXPECT_FALSE(file_exists(dest(bare.c_str())));
    }
    EXPECT_EQ(files_matching(dest_dir, "*"), std::vector<std::string>{"OTHER.DLL"});
}

TEST_F(InjectedInstall, FinderErrorsStopBeforeTheCopy)
{
    struct Case {
        DWORD result;
        UINT message;
    } cases[] = {
        {VFF_FILEINUSE, MSG_COPY_IN_USE},
        {VFF_BUFFTOOSMALL, MSG_COPY_TEMP_TOO_SMALL},
        {VFF_FILEINUSE | VFF_BUFFTOOSMALL, MSG_COPY_IN_USE},
        {VFF_CURNEDEST | VFF_BUFFTOOSMALL, MSG_COPY_TEMP_TOO_SMALL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("finder result " + hex(c.result));
        restart_case();
        find_result = c.result;
        EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 0);
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_EQ(recorded_boxes[0].text, catalogue_with(c.message, "TARGET.DLL"));
        EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_COPY_FAILED));
        EXPECT_EQ(recorded_boxes[0].style, kFindError);
        EXPECT_TRUE(install_calls.empty());

        restart_case();
        EXPECT_EQ(install_versioned_file(1, "SRC.DLL", "TARGET.DLL"), 0);
        EXPECT_TRUE(recorded_boxes.empty());
        EXPECT_TRUE(install_calls.empty());
    }

    // An existing copy in another folder is no error.
    restart_case();
    find_result = VFF_CURNEDEST;
    EXPECT_EQ(install_versioned_file(0, "SRC.DLL", "TARGET.DLL"), 1);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(install_calls.size(), 1u);
}

} // namespace
