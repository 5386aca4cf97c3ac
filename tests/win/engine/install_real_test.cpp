// install_versioned_file with the platform's own version installer on real
// files: what Wine's installer reports for older, unversioned and different
// files, write-protected and missing ones, and the bytes that land.
#include "vcopy_support.h"

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"

namespace {

const UINT kQuestion = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
const UINT kError = MB_OK | MB_ICONSTOP;

// Flags of every VerInstallFileA call, which then goes to the platform.
std::vector<DWORD> install_flags;

DWORD record_install(DWORD flags, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir, LPCSTR dst_dir, LPCSTR cur_dir,
                     LPSTR tmp_name, PUINT tmp_len)
{
    install_flags.push_back(flags);
    return real_VerInstallFileA(flags, src_name, dst_name, src_dir, dst_dir, cur_dir, tmp_name, tmp_len);
}

class RealInstall : public VcopyTest {
protected:
    void SetUp() override
    {
        VcopyTest::SetUp();
        install_flags.clear();
        seam_hook<SEAM_VerInstallFileA>(record_install, 1, 0);
    }

    // Installs a library as VC.DLL into the destination folder, with no
    // question asked; returns its bytes.
    std::string install_first(const char *library)
    {
        std::string bytes = put_on_medium(library, "FIRST.DLL");
        EXPECT_EQ(install_versioned_file(0, "FIRST.DLL", "VC.DLL"), 1);
        EXPECT_TRUE(recorded_boxes.empty());
        EXPECT_EQ(read_file(dest("VC.DLL")), bytes);
        recorded_boxes.clear();
        install_flags.clear();
        return bytes;
    }

    void expect_one_box(UINT id, UINT style)
    {
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_EQ(recorded_boxes[0].text, catalogue_with(id, "VC.DLL"));
        EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_COPY_FAILED));
        EXPECT_EQ(recorded_boxes[0].style, style);
    }

    // The installer's temporary copies are gone from the destination.
    void expect_no_temporary_copy()
    {
        EXPECT_EQ(files_matching(dest_dir, "*.tmp"), std::vector<std::string>());
        EXPECT_EQ(files_matching(dest_dir, "*").size(), 1u) << "only VC.DLL";
    }
};

TEST_F(RealInstall, NewFileLandsByteIdenticalWithoutAQuestion)
{
    std::string v1 = put_on_medium("vcopy_v1", "V1.DLL");
    ASSERT_GT(v1.size(), 1000u) << "more than one chunk of the installer's copy loop";
    EXPECT_EQ(install_versioned_file(0, "V1.DLL", "VC.DLL"), 1);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(dest("VC.DLL")), v1);
    EXPECT_EQ(install_flags, std::vector<DWORD>{VIFF_DONTDELETEOLD});
    expect_no_temporary_copy();

    // A newer version and the same version again replace it silently.
    std::string v2 = put_on_medium("vcopy_v2", "V2.DLL");
    EXPECT_EQ(install_versioned_file(0, "V2.DLL", "VC.DLL"), 1);
    EXPECT_EQ(install_versioned_file(0, "V2.DLL", "VC.DLL"), 1);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(dest("VC.DLL")), v2);
    expect_no_temporary_copy();
}

TEST_F(RealInstall, OlderOverNewerAnsweredNoKeepsTheNewer)
{
    std::string v2 = install_first("vcopy_v2");
    put_on_medium("vcopy_v1", "V1.DLL");
    box_answers = {IDNO};
    EXPECT_EQ(install_versioned_file(0, "V1.DLL", "VC.DLL"), 1) << "keeping the newer file is no failure";
    expect_one_box(MSG_COPY_NEWER, kQuestion);
    EXPECT_EQ(read_file(dest("VC.DLL")), v2);
    EXPECT_EQ(install_flags, std::vector<DWORD>{VIFF_DONTDELETEOLD});
    expect_no_temporary_copy();
}

TEST_F(RealInstall, OlderOverNewerAnsweredYesIsForced)
{
    install_first("vcopy_v2");
    std::string v1 = put_on_medium("vcopy_v1", "V1.DLL");
    box_answers = {IDYES};
    EXPECT_EQ(install_versioned_file(0, "V1.DLL", "VC.DLL"), 1);
    expect_one_box(MSG_COPY_NEWER, kQuestion);
    EXPECT_EQ(read_file(dest("VC.DLL")), v1);
    EXPECT_EQ(install_flags, (std::vector<DWORD>{VIFF_DONTDELETEOLD, VIFF_FORCEINSTALL}));
    expect_no_temporary_copy();
}

TEST_F(RealInstall, SharedFileIsAskedAboutToo)
{
    // Shared files go to the system folder.
    std::string target = keep_out_of_system("VCOPYSH.DLL");
    std::string v2 = put_on_medium("vcopy_v2", "V2.DLL");
    put_on_medium("vcopy_v1", "V1.DLL");
    EXPECT_EQ(install_versioned_file(1, "V2.DLL", "VCOPYSH.DLL"), 1);
    EXPECT_EQ(read_file(target), v2);
    EXPECT_FALSE(file_exists(dest("VCOPYSH.DLL")));

    box_answers = {IDNO};
    EXPECT_EQ(install_versioned_file(1, "V1.DLL", "VCOPYSH.DLL"), 1);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_COPY_NEWER, "VCOPYSH.DLL"));
    EXPECT_EQ(recorded_boxes[0].style, kQuestion);
    EXPECT_EQ(read_file(target), v2);
    EXPECT_EQ(files_matching(system_folder(), "ver*.tmp"), std::vector<std::string>());
}

TEST_F(RealInstall, DifferentFileTypeIsAskedAbout)
{
    std::string dll = install_first("vcopy_v2");
    std::string app = put_on_medium("vcopy_app2", "APP2.DLL");
    box_answers = {IDNO};
    EXPECT_EQ(install_versioned_file(0, "APP2.DLL", "VC.DLL"), 1);
    expect_one_box(MSG_COPY_DIFF_TYPE, kQuestion);
    EXPECT_EQ(read_file(dest("VC.DLL")), dll);
    expect_no_temporary_copy();

    recorded_boxes.clear();
    box_answers = {IDYES};
    EXPECT_EQ(install_versioned_file(0, "APP2.DLL", "VC.DLL"), 1);
    expect_one_box(MSG_COPY_DIFF_TYPE, kQuestion);
    EXPECT_EQ(read_file(dest("VC.DLL")), app);
}

TEST_F(RealInstall, UnversionedOverVersionedCountsAsOlder)
{
    std::string v1 = install_first("vcopy_v1");
    put_on_medium("vcopy_plain", "PLAIN.DLL");
    box_answers = {IDNO};
    EXPECT_EQ(install_versioned_file(0, "PLAIN.DLL", "VC.DLL"), 1);
    expect_one_box(MSG_COPY_NEWER, kQuestion);
    EXPECT_EQ(read_file(dest("VC.DLL")), v1);
    expect_no_temporary_copy();
}

TEST_F(RealInstall, WriteProtectedDestinationFails)
{
    std::string v1 = install_first("vcopy_v1");
    ASSERT_TRUE(SetFileAttributesA(dest("VC.DLL").c_str(), FILE_ATTRIBUTE_READONLY));
    put_on_medium("vcopy_v2", "V2.DLL");
    EXPECT_EQ(install_versioned_file(0, "V2.DLL", "VC.DLL"), 0);
    expect_one_box(MSG_COPY_WRITE_PROTECTED, kError);
    EXPECT_EQ(read_file(dest("VC.DLL")), v1);
}

TEST_F(RealInstall, WriteProtectedSharedFileFailsSilently)
{
    std::string target = keep_out_of_system("VCOPYRO.DLL");
    std::string v1 = put_on_medium("vcopy_v1", "V1.DLL");
    ASSERT_TRUE(CopyFileA(medium("V1.DLL").c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    put_on_medium("vcopy_v2", "V2.DLL");
    EXPECT_EQ(install_versioned_file(1, "V2.DLL", "VCOPYRO.DLL"), 0);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(target), v1);
}

TEST_F(RealInstall, MissingSourceFails)
{
    EXPECT_EQ(install_versioned_file(0, "NONE.DLL", "VC.DLL"), 0);
    expect_one_box(MSG_COPY_CANNOT_READ_SRC, kError);
    EXPECT_FALSE(file_exists(dest("VC.DLL")));

    recorded_boxes.clear();
    keep_out_of_system("VCOPYNO.DLL");
    EXPECT_EQ(install_versioned_file(1, "NONE.DLL", "VCOPYNO.DLL"), 0);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_FALSE(file_exists(system_folder() + "VCOPYNO.DLL"));
}

TEST_F(RealInstall, ExistingFileHeldOpenCannotBeReplaced)
{
    // Another program holds the file open without sharing it. Wine's finder
    // does not count that as in use; the installer then fails to delete the
    // old file with a sharing violation.
    std::string v1 = install_first("vcopy_v1");
    put_on_medium("vcopy_v2", "V2.DLL");
    HANDLE held = CreateFileA(dest("VC.DLL").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    int result = install_versioned_file(0, "V2.DLL", "VC.DLL");
    CloseHandle(held);
    EXPECT_EQ(result, 0);
    expect_one_box(MSG_COPY_SHARING_VIOLATION, kError);
    EXPECT_EQ(read_file(dest("VC.DLL")), v1);
    expect_no_temporary_copy();
}

TEST_F(RealInstall, ExistingFileMappedForWritingIsInUse)
{
    std::string v1 = install_first("vcopy_v1");
    put_on_medium("vcopy_v2", "V2.DLL");
    HANDLE file = CreateFileA(dest("VC.DLL").c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READWRITE, 0, 0, NULL);
    ASSERT_NE(mapping, nullptr);
    void *view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    int result = install_versioned_file(0, "V2.DLL", "VC.DLL");
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    EXPECT_EQ(result, 0);
    expect_one_box(MSG_COPY_IN_USE, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_TRUE(install_flags.empty()) << "no copy is tried when the finder reports the file in use";
    EXPECT_EQ(read_file(dest("VC.DLL")), v1);
}

} // namespace
