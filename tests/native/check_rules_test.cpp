// The checker's rules, one row each: a clean script with one mistake put in,
// and the finding it must give (line, section/key, what). The medium is held
// in memory.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>

#include "check.h"

namespace {

const char clean_script[] =
    "[general]\r\n"                       // 1
    "default_dir=App\r\n"                 // 2
    "application=App 1.0\r\n"             // 3
    "title=App Setup\r\n"                 // 4
    "title_uninstall=App Removal\r\n"     // 5
    "msg=App Setup\r\n"                   // 6
    "msg_uninstall=App Removal\r\n"       // 7
    "[start]\r\n"                         // 8
    "title=Start\r\n"                     // 9
    "msg=Install App?\r\n"                // 10
    "[welcome]\r\n"                       // 11
    "title=Welcome\r\n"                   // 12
    "msg1=1\r\nmsg2=2\r\nmsg3=3\r\nmsg4=4\r\nmsg5=5\r\n"  // 13-17
    "[goodby]\r\n"                        // 18
    "title=Bye\r\n"                       // 19
    "msg1=1\r\nmsg2=2\r\nmsg3=3\r\nmsg4=4\r\nmsg5=5\r\n"  // 20-24
    "[copyright]\r\n"                     // 25
    "title=Licence\r\n"                   // 26
    "msg1=Read\r\n"                       // 27
    "msg2=Agree?\r\n"                     // 28
    "file=LICENSE.TXT\r\n"                // 29
    "[setup]\r\n"                         // 30
    "title=Setup\r\n"                     // 31
    "msg1=a\r\nmsg2=b\r\nmsg_sub1=c\r\nmsg_sub2=d\r\nsystem=e\r\ndestination=f\r\n"  // 32-37
    "[files]\r\n"                         // 38
    "dsttotal=150\r\n"                    // 39
    "systotal=0\r\n"                      // 40
    "files=2\r\n"                         // 41
    "file_1=app.exe,app.exe,DISK1,1,100\r\n"       // 42
    "file_2=app.inf,app.inf,DISK1,1,50\r\n"       // 43: the uninstaller's script
    "uninst=1\r\n"                        // 44
    "uninst_1=app.log\r\n"                // 45
    "[registry]\r\n"                      // 46
    "version=1\r\npath=1\r\nuninstall=1\r\n"  // 47-49
    "version_key=Maker\\App\r\n"          // 50
    "path_key=app.exe\r\n"                // 51
    "uninstall_key=App\r\n"               // 52
    "uninstall_command=app.exe /u\r\n"    // 53
    "uninstall_dispname=App\r\n"          // 54
    "[startmenu]\r\n"                     // 55
    "menus=1\r\n"                         // 56
    "start_1=Maker,app.exe,App\r\n"       // 57
    "[break]\r\n"                         // 58
    "title=Stop\r\nmsg=Stopped\r\ntitle_uninstall=Stop\r\nmsg_uninstall=Stopped\r\n";  // 59-62

// Files by "label|name" (label empty: the script's folder); a label with a
// disk of its own is listed in labels.
struct MemoryMedium {
    std::map<std::string, std::string> files;
    std::vector<std::string> labels;
};

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return s;
}

int knows(void *context, const char *label)
{
    const MemoryMedium *m = (const MemoryMedium *)context;
    for (const std::string &l : m->labels)
        if (label != NULL && l == label)
            return 1;
    return 0;
}

int open_file(void *context, const char *label, const char *name, size_t max, uint64_t *size, std::string *head)
{
    const MemoryMedium *m = (const MemoryMedium *)context;
    std::string disk = knows(context, label) ? label : "";
    auto it = m->files.find(disk + "|" + lower(name));
    if (it == m->files.end())
        return 0;
    *size = it->second.size();
    *head = it->second.substr(0, max);
    return 1;
}

MemoryMedium sample_medium()
{
    MemoryMedium m;
    m.files["|app.exe"] = std::string(100, 'x');
    m.files["|app.inf"] = std::string(50, 'r');
    m.files["|license.txt"] = "Terms.\r\n";
    return m;
}

std::string edited(std::string text, const std::string &from, const std::string &to)
{
    if (from.empty())
        return text + to;
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Findings as "LINE: where: [warning: ]what".
std::vector<std::string> findings_of(const std::string &text, MemoryMedium *medium)
{
    CheckScript script;
    check_script_load(&script, text);
    CheckMedium source = {medium, open_file, knows, "setup.inf"};
    std::vector<CheckFinding> findings;
    check_script(&script, &source, &findings);
    std::vector<std::string> out;
    for (const CheckFinding &f : findings)
        out.push_back(std::to_string(f.line) + ": " + f.where + ": " +
                      (f.level == CHECK_WARNING ? "warning: " : "") + f.what);
    return out;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &l : lines)
        out += "  " + l + "\n";
    return out;
}

struct Row {
    const char *rule;
    const char *from;  // text of the clean script replaced ("" appends)
    const char *to;    // NULL: a value of 600 bytes
    const char *expected;  // the start of one finding
    const char *from2 = "";  // a second change, when the mistake needs two
    const char *to2 = "";
};

const Row rows[] = {
    {"misspelt key", "msg3=3\r\nmsg4=4\r\nmsg5=5\r\n[goodby]", "mgs3=3\r\nmsg4=4\r\nmsg5=5\r\n[goodby]",
     "15: welcome/mgs3: key never read: did you mean msg3?"},
    {"missing text", "msg1=a\r\nmsg2=b", "msg1=a\r\n;msg2=b", "30: setup/msg2: missing: the program shows"},
    {"line without '='", "msg1=a\r\n", "msg1\r\n", "32: setup/msg1: line without '='"},
    {"source not on the medium", "file_2=app.inf", "file_2=nothere.txt",
     "43: files/file_2: nothere.txt is not on the medium"},
    {"size field differs", "DISK1,1,100", "DISK1,1,99",
     "42: files/file_1: size 99, but app.exe has 100 bytes; setupcheck --fix writes it"},
    {"size field not a number", "DISK1,1,50", "DISK1,1,fifty", "43: files/file_2: the size field is not a number"},
    {"fewer than five fields", "DISK1,1,50", "DISK1,1",
     "43: files/file_2: fewer than five fields: the program skips this entry"},
    {"disk label empty", "DISK1,1,50", ",1,50", "43: files/file_2: disk label is empty: the program skips this entry"},
    {"size empty", "DISK1,1,50", "DISK1,1,", "43: files/file_2: size is empty: the program skips"},
    {"source name empty", "file_2=app.inf,", "file_2=,", "43: files/file_2: source name is empty: the program"},
    {"two fields empty", "file_2=app.inf,app.inf,DISK1", "file_2=app.inf,,",
     "43: files/file_2: target name and disk label are empty: the program skips"},
    {"target twice", "file_2=app.inf,app.inf", "file_2=app.inf,APP.EXE",
     "43: files/file_2: target APP.EXE is also installed by file_1"},
    {"count below the entries", "files=2", "files=1", "41: files/files: 1, but file_2 is present"},
    {"count far above the entries", "files=2", "files=50", "41: files/files: 50, far above"},
    {"total differs", "dsttotal=150", "dsttotal=149",
     "39: files/dsttotal: 149, but the application (kind 1) entries add up to 150; setupcheck --fix writes it"},
    {"licence missing", "file=LICENSE.TXT", "file=TERMS.TXT", "29: copyright/file: TERMS.TXT is not on the medium"},
    {"value not code page 932", "title=App Setup", "title=App \x81\x20Setup", "4: general/title: not valid code page 932"},
    {"value cut", "msg5=5\r\n[goodby]", nullptr,
     "17: welcome/msg5: 600 bytes long: the program keeps only the first 519"},
    {"start entry short", "start_1=Maker,app.exe,App", "start_1=Maker,app.exe",
     "57: startmenu/start_1: fewer than three fields"},
    {"start entry gap", "menus=1\r\nstart_1=Maker,app.exe,App",
     "menus=3\r\nstart_1=Maker,app.exe,App\r\nstart_3=Maker,app.exe,Other",
     "58: startmenu/start_3: start_2 is missing: the removal stops there"},
    {"uninstall program not installed", "uninstall_command=app.exe", "uninstall_command=\"remove.exe\"",
     "53: registry/uninstall_command: remove.exe is not installed"},
    {"uninstall icon not installed", "uninstall_dispname=App\r\n",
     "uninstall_dispname=App\r\nuninstall_icon=app.ico\r\n",
     "55: registry/uninstall_icon: app.ico is not installed into the application's folder"},
    {"uninstaller's script not installed", "file_2=app.inf,app.inf", "file_2=app.inf,app.txt",
     "53: registry/uninstall_command: app.inf is not installed beside app.exe: the uninstaller will run without "
     "its script and remove nothing"},
    {"uninstaller's script in the system folder", "app.inf,DISK1,1,50", "app.inf,DISK1,2,50",
     "53: registry/uninstall_command: app.inf is not installed beside app.exe"},
    {"uninstaller's script in another folder", "file_2=app.inf,app.inf", "file_2=app.inf,doc\\app.inf",
     "53: registry/uninstall_command: app.inf is not installed beside app.exe"},
    {"uninstaller in a folder, its script not", "file_1=app.exe,app.exe", "file_1=app.exe,bin\\app.exe",
     "53: registry/uninstall_command: bin\\app.inf is not installed beside bin\\app.exe", "app.exe /u",
     "bin\\app.exe /u"},
    {"Japanese in a western font", "", "[font]\r\nCharSet=0\r\n[general]\r\n",
     "64: font/CharSet: 0, but general/msg is Japanese", "msg=App Setup", "msg=\x83\x41\x83\x76\x83\x8a"},
    {"name outside the folder", "default_dir=App", "default_dir=..\\Windows",
     "2: general/default_dir: names a place outside"},
    {"registry name with an empty part", "version_key=Maker\\App", "version_key=Maker\\\\App",
     "50: registry/version_key: names a place outside"},
    {"section repeated", "", "[files]\r\nfile_3=a,b,c,1,1\r\n", "63: [files]: section repeated"},
    {"section repeated in other letters", "", "[Files]\r\nfile_3=a,b,c,1,1\r\n", "63: [Files]: section repeated"},
    {"key repeated", "uninst_1=app.log\r\n", "uninst_1=app.log\r\nuninst_1=b.log\r\n",
     "46: files/uninst_1: key repeated: only the first (line 45)"},
    {"misspelt section", "", "[welcom]\r\n", "63: [welcom]: section never read: did you mean [welcome]?"},
    {"title left empty", "title=Setup", "title=", "31: setup/title: warning: left empty"},
    {"probe without dir", "", "[oldver]\r\ncheck=1\r\nkey=K\r\nvalue=V\r\ndata=D\r\ntitle=T\r\nmsg=M\r\npath=P\r\n",
     "64: oldver/check: warning: no dir"},
    {"shared file without a version", "DISK1,1,50", "DISK1,2,50",
     "43: files/file_2: warning: shared file without a version resource"},
    {"not code page 932 at all", "[general]", "\xEF\xBB\xBF[general]", "0: : the file is UTF-8"},
    {"UTF-8 without a byte-order mark", "msg=App Setup", "msg=\xE3\x82\xA2\xE3\x83\x97\xE3\x83\xAA",
     "0: : the file is UTF-8 without a byte-order mark, not code page 932: the program reads its Japanese text "
     "garbled; convert it: iconv -f utf-8 -t cp932 setup.inf > setup.inf.cp932 && mv setup.inf.cp932 setup.inf"},
    {"file on another disk", "app.inf,DISK1", "app.inf,DISK2",
     "43: files/file_2: app.inf is not on the disk labelled \"DISK2\""},
};

// Changes to the clean script that keep it right.
const struct {
    const char *variant;
    const char *from, *to, *from2, *to2;
} clean_variants[] = {
    {"as it stands", "", "", "", ""},
    // Code page 932 text whose bytes start like UTF-8: ﾃｽﾄ (a two-byte
    // sequence, then a lead byte alone) and ﾀｯ (a sequence in a longer
    // form than it needs).
    {"Japanese text in code page 932", "msg=App Setup", "msg=\x83\x41\x83\x76\x83\x8a", "", ""},
    {"half-width kana like a cut UTF-8 sequence", "msg=App Setup", "msg=\xC3\xBD\xC4", "", ""},
    {"half-width kana like a long UTF-8 form", "msg=App Setup", "msg=\xC0\xAF", "", ""},
    {"half-width kana that are whole UTF-8 pairs", "msg=App Setup", "msg=\xC3\xB1 \xC4\xB0", "", ""},
    {"the list of programs' details", "uninstall_dispname=App\r\n",
     "uninstall_dispname=App\r\nuninstall_icon=APP.EXE\r\nuninstall_version=1.0\r\nuninstall_publisher=Maker\r\n",
     "", ""},
    {"uninstaller's script in other letters", "file_2=app.inf,app.inf", "file_2=app.inf,APP.Inf", "", ""},
    {"uninstaller and its script in a folder", "app.exe,DISK1,1,100\r\nfile_2=app.inf,app.inf",
     "bin\\APP.EXE,DISK1,1,100\r\nfile_2=app.inf,bin\\app.inf", "app.exe /u", "bin\\app.exe /u"},
};

TEST(CheckRules, CleanScriptHasNoFinding)
{
    for (const auto &row : clean_variants) {
        MemoryMedium medium = sample_medium();
        std::string text = edited(clean_script, row.from, row.to);
        if (row.from2[0] != '\0')
            text = edited(text, row.from2, row.to2);
        std::vector<std::string> found = findings_of(text, &medium);
        EXPECT_TRUE(found.empty()) << row.variant << ":\n" << joined(found);
    }
}

TEST(CheckRules, EachMistakeIsFoundOnItsLine)
{
    for (const Row &row : rows) {
        MemoryMedium medium = sample_medium();
        medium.labels.push_back("DISK2");
        std::string to = row.to != nullptr ? row.to : "msg5=" + std::string(600, 'x') + "\r\n[goodby]";
        std::string text = edited(clean_script, row.from, to);
        if (row.from2[0] != '\0')
            text = edited(text, row.from2, row.to2);
        std::vector<std::string> found = findings_of(text, &medium);
        bool seen = false;
        for (const std::string &f : found)
            seen |= f.compare(0, strlen(row.expected), row.expected) == 0;
        EXPECT_TRUE(seen) << row.rule << ": expected \"" << row.expected << "\" among\n" << joined(found);
    }
}

// A UTF-8 script gives one finding for the file and none for the values it
// garbles, whether they are code page 932 when read so or not.
TEST(CheckRules, Utf8ScriptGivesOneFindingForTheFile)
{
    const struct {
        const char *values, *from, *to, *from2, *to2;
    } rows[] = {
        // ようこそ reads as code page 932 (garbled), ありがとう and ディスク1 do not.
        {"texts and a disk label", "title=Welcome\r\nmsg1=1",
         "title=\xE3\x81\x82\xE3\x82\x8A\xE3\x81\x8C\xE3\x81\xA8\xE3\x81\x86\r\n"
         "msg1=\xE3\x82\x88\xE3\x81\x86\xE3\x81\x93\xE3\x81\x9D",
         "DISK1,1,100", "\xE3\x83\x87\xE3\x82\xA3\xE3\x82\xB9\xE3\x82\xAF" "1,1,100"},
        // 180 characters: 540 bytes as they stand, 360 once converted.
        {"a text longer than its buffer only in UTF-8", "msg1=a\r\n", nullptr, "", ""},
        // あ ends in 0x82, a lead byte of code page 932, which takes the
        // line end with it: msg2 to msg5 read as part of msg1.
        {"line ends taken by a lead byte", "msg1=1\r\nmsg2=2\r\nmsg3=3\r\nmsg4=4\r\nmsg5=5\r\n[goodby]",
         "msg1=\xE3\x81\x82\nmsg2=\xE3\x81\x82\nmsg3=\xE3\x81\x82\nmsg4=\xE3\x81\x82\nmsg5=5\n[goodby]", "", ""},
    };
    for (const auto &row : rows) {
        MemoryMedium medium = sample_medium();
        std::string long_text = "msg1=";
        for (int i = 0; i < 180; i++)
            long_text += "\xE3\x81\x82";
        std::string text = edited(clean_script, row.from, row.to != nullptr ? row.to : long_text + "\r\n");
        if (row.from2[0] != '\0')
            text = edited(text, row.from2, row.to2);
        std::vector<std::string> found = findings_of(text, &medium);
        ASSERT_EQ(found.size(), 1u) << row.values << ":\n" << joined(found);
        EXPECT_EQ(found[0].compare(0, 26, "0: : the file is UTF-8 wit"), 0) << found[0];
    }
}

TEST(CheckRules, LicenceThatIsNotCodePage932IsFound)
{
    MemoryMedium medium = sample_medium();
    medium.files["|license.txt"] = "\xEF\xBB\xBF\xE5\x88\xA9\xE7\x94\xA8";  // UTF-8
    std::vector<std::string> found = findings_of(clean_script, &medium);
    ASSERT_EQ(found.size(), 1u) << joined(found);
    EXPECT_EQ(found[0].compare(0, 48, "29: copyright/file: LICENSE.TXT is not code page"), 0) << found[0];
}

// --fix: only the digits change, and the result checks clean.
struct FixRow {
    const char *case_name;
    const char *from;  // the mistake put into the clean script
    const char *to;
    const char *kept_from = "";  // what the fix leaves of it: the clean
    const char *kept_to = "";    // script with this change
};

const FixRow fix_rows[] = {
    {"wrong sizes and totals", "dsttotal=150\r\nsystotal=0\r\nfiles=2\r\nfile_1=app.exe,app.exe,DISK1,1,100",
     "dsttotal=7\r\nsystotal=99\r\nfiles=2\r\nfile_1=app.exe,app.exe,DISK1,1,  +3 bytes", "DISK1,1,100",
     "DISK1,1,  +100 bytes"},
    {"totals missing", "dsttotal=150\r\nsystotal=0\r\n", ""},
    {"size field empty of digits", "DISK1,1,50", "DISK1,1,x"},
};

std::string fixed_text(const std::string &text, MemoryMedium *medium, int *changed)
{
    CheckScript script;
    check_script_load(&script, text);
    CheckMedium source = {medium, open_file, knows, "setup.inf"};
    std::string fixed, why;
    *changed = check_fix(&script, &source, &fixed, &why);
    return *changed ? fixed : why;
}

TEST(CheckFix, SizesAndTotalsAreWrittenAndNothingElse)
{
    for (const FixRow &row : fix_rows) {
        MemoryMedium medium = sample_medium();
        int changed;
        std::string fixed = fixed_text(edited(clean_script, row.from, row.to), &medium, &changed);
        EXPECT_TRUE(changed) << row.case_name;
        std::string expected = clean_script;
        if (row.kept_from[0] != '\0')
            expected = edited(expected, row.kept_from, row.kept_to);
        EXPECT_EQ(fixed, expected) << row.case_name;
    }
}

TEST(CheckFix, ScriptThatListsItselfSettles)
{
    MemoryMedium medium = sample_medium();
    std::string text = edited(clean_script, "uninst=1", "file_3=setup.inf,setup.inf,DISK1,1,0\r\nuninst=1");
    text = edited(text, "files=2", "files=3");
    int changed;
    std::string fixed = fixed_text(text, &medium, &changed);
    ASSERT_TRUE(changed);
    std::string size = std::to_string(fixed.size());
    EXPECT_NE(fixed.find("file_3=setup.inf,setup.inf,DISK1,1," + size + "\r\n"), std::string::npos) << fixed;
    EXPECT_NE(fixed.find("dsttotal=" + std::to_string(150 + fixed.size()) + "\r\n"), std::string::npos);
    std::vector<std::string> found = findings_of(fixed, &medium);
    EXPECT_TRUE(found.empty()) << joined(found);
    // Fixing a fixed script changes nothing.
    fixed_text(fixed, &medium, &changed);
    EXPECT_FALSE(changed);
}

// Scripts that no digits can make right are left as they are, with the
// reason, and their findings promise no fix.
TEST(CheckFix, UnfixableScriptsAreLeftAloneWithTheReason)
{
    // Files not on the medium keep their sizes; these two pass the 32 bits
    // of a total (once written as 8589934590, the program read 4294967295).
    std::string beyond = edited(clean_script, "files=2\r\n",
                                "files=4\r\nfile_3=a.dat,a.dat,DISK1,1,4294967295\r\n"
                                "file_4=b.dat,b.dat,DISK1,1,4294967295\r\n");
    const struct {
        std::string text, reason;
    } rows[] = {
        {std::string("\xFF\xFE[\0", 4), "not code page 932"},
        {beyond, "more than 4294967295 bytes"},
        {edited(edited(clean_script, "DISK1,1,100", "DISK1,1,99"), "msg=App Setup",
                "msg=\xE3\x82\xA2\xE3\x83\x97\xE3\x83\xAA"),
         "the file is UTF-8, not code page 932: convert it first: "
         "iconv -f utf-8 -t cp932 setup.inf > setup.inf.cp932 && mv setup.inf.cp932 setup.inf"},
    };
    for (const auto &row : rows) {
        MemoryMedium medium = sample_medium();
        int changed;
        std::string why = fixed_text(row.text, &medium, &changed);
        EXPECT_FALSE(changed) << row.reason;
        EXPECT_NE(why.find(row.reason), std::string::npos) << why;
        std::vector<std::string> found = findings_of(row.text, &medium);
        EXPECT_EQ(joined(found).find("--fix writes"), std::string::npos) << row.reason << ":\n" << joined(found);
    }
}

}  // namespace
