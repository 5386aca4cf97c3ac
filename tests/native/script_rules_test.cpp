// The rules a script keeps: names that stay inside their folder, registry
// names without empty components, numbered lists that end at their highest
// entry, and the start-up check over a whole script.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>

#include "script.h"

namespace {

#define SO "\x83\x5c" // ソ: its second byte is the backslash code

TEST(ScriptRules, NamesThatStayInsideTheirFolder)
{
    const struct {
        const char *name;
        int inside;
    } rows[] = {
        {"", 1},
        {"Tools", 1},
        {"Tools\\", 1},
        {"bin\\tools\\x.exe", 1},
        {"a..b\\c.", 1},
        {"..a", 1},
        {SO "\\" SO, 1},
        {"\x95\x5c.." , 1}, // 表.. : one component, not ".."
        {"..", 0},
        {"..\\..\\Windows\\win.ini", 0},
        {"bin\\..\\..\\x", 0},
        {"bin/../x", 0},
        {"a\\.. \\b", 0},
        {". .", 0},
        {"...", 0},
        {".", 0},
        {"\\Windows", 0},
        {"/etc", 0},
        {"\\\\server\\share", 0},
        {"C:\\Windows", 0},
        {"C:x", 0},
        {"readme.txt:stream", 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(script_name_stays_inside(row.name), row.inside) << row.name;
}

TEST(ScriptRules, RegistryNamesWithoutEmptyComponents)
{
    const struct {
        const char *name;
        int whole;
    } rows[] = {
        {"", 1},
        {"Vendor\\Tool\\1.0", 1},
        {"Vendor\\" SO, 1}, // ends in the code of a backslash, inside ソ
        {SO "\\" SO "\\x", 1},
        {"{6E2B9F41-8C3D-4A57-B1E0-52D7C9A43F18}", 1},
        {"\\", 0},
        {"\\\\\\", 0},
        {"\\Vendor", 0},
        {"Vendor\\", 0},
        {"Vendor\\\\Tool", 0},
        {SO "\\\\x", 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(script_key_name_is_whole(row.name), row.whole) << row.name;
}

unsigned int highest(const std::string &list, const char *stem)
{
    return script_highest_entry(list.data(), list.size(), stem);
}

TEST(ScriptRules, HighestEntryAndLastEntry)
{
    using namespace std::string_literals;
    std::string list = "files\0file_1\0FILE_7\0file_3\0file_07\0file_x\0file_\0file_12a\0uninst_9\0"s;
    EXPECT_EQ(highest(list, "file"), 7u) << "file_07 and file_12a are not keys the program forms";
    EXPECT_EQ(highest(list, "uninst"), 9u);
    EXPECT_EQ(highest(list, "start"), 0u);
    EXPECT_EQ(highest("file_4294967295\0file_4294967296\0"s, "file"), 4294967295u);
    // The list ends at an empty name or after len bytes.
    EXPECT_EQ(highest("file_2\0\0file_9\0"s, "file"), 2u);
    EXPECT_EQ(script_highest_entry("file_5\0file_9", 8, "file"), 5u) << "file_9 lies beyond len";
    EXPECT_EQ(script_highest_entry("file_59", 6, "file"), 5u) << "a name cut by len counts as cut";

    // Lines of a whole section: the key before '=', blanks around it dropped.
    EXPECT_EQ(highest(" file_8 =x\0;file_9=comment\0file_2\0"s, "file"), 8u);

    EXPECT_EQ(script_last_entry(5, 3), 3u);
    EXPECT_EQ(script_last_entry(2, 9), 2u);
    EXPECT_EQ(script_last_entry(2147483647, 4), 4u);
    EXPECT_EQ(script_last_entry(0, 4), 0u);
    EXPECT_EQ(script_last_entry(-1, 4), 0u);
}

std::string value_of(const std::string &lines, const char *key)
{
    const char *value = nullptr;
    size_t len = 0;
    if (!script_section_value(lines.data(), lines.size(), key, &value, &len))
        return "<none>";
    return std::string(value, len);
}

TEST(ScriptRules, SectionValuesAsTheProfileReaderGivesThem)
{
    using namespace std::string_literals;
    const std::string lines = "FILE_1=first\0file_1=second\0 file_2 \t= \t spaced \t\0file_3=\"quoted\"\0"
                              "file_4='single'\0file_5=\"\0file_6=\"a'\0file_7\0file_7=later\0;file_8=x\0"
                              "file_9=a=b\0file_10=\x83\x5c\0"s;
    const struct {
        const char *key;
        const char *value;
    } rows[] = {
        {"file_1", "first"}, {"file_2", "spaced"}, {"file_3", "quoted"}, {"file_4", "single"},
        {"file_5", "\""},    {"file_6", "\"a'"},   {"file_7", "<none>"}, {";file_8", "<none>"},
        {"file_8", "<none>"}, {"file_9", "a=b"},    {"file_10", "\x83\x5c"}, {"file_11", "<none>"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(value_of(lines, row.key), row.value) << row.key;
    EXPECT_EQ(value_of("file_1=a\0\0file_2=b\0"s, "file_2"), "<none>") << "the lines end at an empty one";

    // Rising keys let a reader go on from where it found the last one.
    const struct {
        std::string lines;
        int ascend;
    } orders[] = {
        {"files=3\0file_1=a\0x=1\0file_3=c\0uninst_1=u\0"s, 1},
        {"file_2=b\0file_1=a\0"s, 0},
        {"file_1=a\0FILE_1=b\0"s, 0},
        {"file_1\0file_1=a\0"s, 0},
        {""s, 1},
    };
    for (const auto &order : orders)
        EXPECT_EQ(script_entries_ascend(order.lines.data(), order.lines.size(), "file"), order.ascend) << order.lines;
    EXPECT_EQ(script_entry_number("File_12", "file"), 12u);
    EXPECT_EQ(script_entry_number("file_012", "file"), 0u);
    EXPECT_EQ(script_entry_number("uninst_3", "file"), 0u);
}

// A script in memory, read as the profile reader reads one.
struct MemoryScript {
    std::map<std::string, std::map<std::string, std::string>> sections;

    static void read(void *context, const char *section, const char *key, char *buf, size_t size)
    {
        auto *script = static_cast<MemoryScript *>(context);
        std::string value;
        auto s = script->sections.find(section);
        if (s != script->sections.end() && s->second.count(key))
            value = s->second.at(key);
        snprintf(buf, size, "%s", value.c_str());
    }
    static unsigned int last_entry(void *context, const char *section, const char *count_key, const char *stem)
    {
        auto *script = static_cast<MemoryScript *>(context);
        std::string list;
        for (const auto &key : script->sections[section])
            list += key.first + '\0';
        char count[64];
        read(context, section, count_key, count, sizeof count);
        return script_last_entry((int)script_parse_number(count, 0, NumberSigned), highest(list, stem));
    }
};

// The sample's names, each kept by its rule.
MemoryScript good_script()
{
    MemoryScript m;
    m.sections["general"]["default_dir"] = "Sample\\Tool";
    m.sections["copyright"]["file"] = "LICENSE.TXT";
    m.sections["files"]["files"] = "3";
    m.sections["files"]["file_1"] = "Sampler.exe,bin\\Sampler.exe,Disk 1,1,10";
    m.sections["files"]["file_3"] = "SMPCOMMN.DLL,SMPCOMMN.DLL,Disk 1,2,10";
    m.sections["files"]["uninst"] = "1";
    m.sections["files"]["uninst_1"] = "logs\\new.log";
    m.sections["startmenu"]["menus"] = "1";
    m.sections["startmenu"]["start_1"] = "Vendor" SO ",Sampler.exe,Sampler";
    m.sections["registry"]["version_key"] = "Vendor\\Tool\\1.0";
    m.sections["registry"]["path_key"] = "Sampler.exe";
    m.sections["registry"]["uninstall_key"] = "Tool";
    m.sections["registry"]["user_key"] = "Vendor\\Tool";
    m.sections["registry"]["classes"] = "1";
    m.sections["registry"]["clsid_1"] = "{6E2B9F41-8C3D-4A57-B1E0-52D7C9A43F18}";
    return m;
}

TEST(ScriptRules, StartUpCheckNamesTheFirstBrokenKey)
{
    const struct {
        const char *section;
        const char *key;
        const char *value;
        const char *fault; // "section/key", or "" when the script passes
    } rows[] = {
        {"general", "default_dir", "", ""},
        {"general", "default_dir", "..\\..\\Windows\\System32", "general/default_dir"},
        {"copyright", "file", "C:\\boot.ini", "copyright/file"},
        {"files", "file_3", "..\\evil.dll,SMPCOMMN.DLL,Disk 1,2,10", "files/file_3"},
        {"files", "file_2", "a.exe,..\\..\\Windows\\win.ini,Disk 1,1,10", "files/file_2"},
        {"files", "file_2", "a.exe,,,", ""}, // too few fields: skipped as the file step skips it
        {"files", "file_4", "a.exe,\\x.exe,Disk 1,1,10", ""}, // beyond files=3: never read
        {"files", "uninst_1", "..\\..\\Windows\\win.ini", "files/uninst_1"},
        {"startmenu", "start_1", "..\\..\\Startup,Sampler.exe,Sampler", "startmenu/start_1"},
        {"startmenu", "start_1", "Vendor,Sampler.exe,..\\..\\x", "startmenu/start_1"},
        {"startmenu", "start_1", "Vendor,..\\other.exe,Sampler", ""}, // the program is no folder name
        {"registry", "user_key", "\\", "registry/user_key"},
        {"registry", "version_key", "Vendor\\\\Tool", "registry/version_key"},
        {"registry", "path_key", "\\\\", "registry/path_key"},
        {"registry", "uninstall_key", "Tool\\", "registry/uninstall_key"},
        {"registry", "clsid_1", "\\", "registry/clsid_1"},
        {"registry", "user_key", "", ""},
    };
    MemoryScript clean = good_script();
    ScriptSource source = {&clean, MemoryScript::read, MemoryScript::last_entry};
    ScriptFault fault = {nullptr, ""};
    EXPECT_EQ(script_find_unsafe_name(&source, &fault), 0) << fault.key;
    for (const auto &row : rows) {
        MemoryScript script = good_script();
        script.sections[row.section][row.key] = row.value;
        source.context = &script;
        fault = {nullptr, ""};
        int found = script_find_unsafe_name(&source, &fault);
        std::string named = found ? std::string(fault.section) + "/" + fault.key : "";
        EXPECT_EQ(named, row.fault) << row.section << " " << row.key << "=" << row.value;
    }
}

} // namespace
