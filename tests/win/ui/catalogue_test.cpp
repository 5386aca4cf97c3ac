// The message catalogue inside setup.exe, read the way the program reads it:
// LoadStringA into a 512-byte buffer under code page 932. The expected texts
// are in catalogue.txt (UTF-8) and are converted to code page 932 here.

#include "resource_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

struct CatalogueFile {
    bool loaded = false;
    std::string problem;
    std::map<unsigned, std::string> texts; // number -> UTF-8, unescaped
};

const CatalogueFile &expected_catalogue()
{
    static CatalogueFile file;
    static bool read;
    if (read)
        return file;
    read = true;
    std::string path = test_data_path("catalogue.txt");
    FILE *in = fopen(path.c_str(), "rb");
    if (!in) {
        file.problem = "cannot open " + path;
        return file;
    }
    char line[4096];
    int line_number = 0;
    while (fgets(line, sizeof line, in)) {
        line_number++;
        size_t length = strlen(line);
        while (length && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            line[--length] = '\0';
        if (length == 0 || line[0] == '#')
            continue;
        char *end = NULL;
        unsigned long number = strtoul(line, &end, 10);
        if (end == line || *end != '\t' || number > 0xFFFF) {
            file.problem += "bad line " + std::to_string(line_number) + "; ";
            continue;
        }
        if (file.texts.count((unsigned)number))
            file.problem += "number " + std::to_string(number) + " twice; ";
        file.texts[(unsigned)number] = unescape_text(end + 1);
    }
    fclose(in);
    file.loaded = file.problem.empty();
    return file;
}

std::string load_text(HMODULE module, unsigned number, int buffer_size)
{
    char buffer[4096];
    memset(buffer, 0x7F, sizeof buffer);
    int length = LoadStringA(module, number, buffer, buffer_size);
    if (length < 0)
        length = 0;
    // The text must be terminated where LoadStringA says it ends.
    if (buffer[length] != '\0')
        return std::string(buffer, (size_t)length) + "<unterminated>";
    return std::string(buffer, (size_t)length);
}

class MessageCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "the tests must run with the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
        module = setup_exe_module();
        ASSERT_NE(module, (HMODULE)NULL) << "setup.exe not loadable from " << setup_exe_path();
        const CatalogueFile &file = expected_catalogue();
        ASSERT_TRUE(file.loaded) << file.problem;
        catalogue = &file.texts;
    }

    HMODULE module = NULL;
    const std::map<unsigned, std::string> *catalogue = NULL;
};

TEST_F(MessageCatalogue, ExpectedDataCoversEveryGroup)
{
    // Guards against a truncated or misread data file passing vacuously.
    EXPECT_EQ(catalogue->size(), 93u);
    const unsigned groups[][2] = {{2, 2},         {100, 107},     {109, 109},     {111, 111},     {1000, 1002},
                                  {1010, 1011},   {1020, 1020},   {16000, 16019}, {32005, 32007}, {32009, 32018},
                                  {32020, 32029}, {33001, 33031}, {48002, 48003}};
    for (const auto &group : groups)
        for (unsigned number = group[0]; number <= group[1]; number++)
            EXPECT_EQ(catalogue->count(number), 1u) << "catalogue.txt lacks " << number;
    for (const auto &entry : *catalogue) {
        bool lossy = false;
        utf8_to_cp932(entry.second, &lossy);
        EXPECT_FALSE(lossy) << entry.first << " has a character outside code page 932";
    }
}

TEST_F(MessageCatalogue, EveryEntryLoadsExactlyUnderCodePage932)
{
    int checked = 0;
    for (const auto &entry : *catalogue) {
        std::string expected = utf8_to_cp932(entry.second, NULL);
        std::string actual = load_text(module, entry.first, 512);
        checked++;
        if (actual != expected)
            ADD_FAILURE() << "message " << entry.first << " differs:\n" << describe_difference(expected, actual);
    }
    EXPECT_EQ(checked, 93);
}

TEST_F(MessageCatalogue, NoEntryIsCutByTheMessageBuffer)
{
    // A text longer than 511 bytes would lose its end in the program's buffer.
    for (const auto &entry : *catalogue) {
        std::string whole = load_text(module, entry.first, 4096);
        EXPECT_LT(whole.size(), 512u) << "message " << entry.first << " is " << whole.size() << " bytes";
        if (entry.first >= 16000 && entry.first <= 16019) {
            EXPECT_LT(whole.size(), 256u) << "caption " << entry.first << " is " << whole.size() << " bytes";
        }
    }
}

TEST_F(MessageCatalogue, NumbersOutsideTheCatalogueLoadEmpty)
{
    // Gaps next to real entries and a registry result code.
    const unsigned absent[] = {0, 1, 3, 99, 108, 110, 112, 999, 1003, 1012, 1021, 15999, 16020,
                               32004, 32008, 32019, 32030, 33000, 33032, 48001, 48004, 49000, 65535};
    for (unsigned number : absent) {
        char buffer[512];
        strcpy(buffer, "untouched");
        int length = LoadStringA(module, number, buffer, sizeof buffer);
        EXPECT_EQ(length, 0) << "number " << number;
        EXPECT_EQ(buffer[0], '\0') << "number " << number << " gave \"" << cp932_to_utf8(buffer) << "\"";
    }
    // No stray entry anywhere in the number range.
    std::string extras;
    for (unsigned number = 0; number <= 0xFFFF; number++) {
        if (catalogue->count(number))
            continue;
        char buffer[512];
        if (LoadStringA(module, number, buffer, sizeof buffer) > 0)
            extras += " " + std::to_string(number) + "=\"" + cp932_to_utf8(buffer) + "\"";
    }
    EXPECT_TRUE(extras.empty()) << "entries that are not in the catalogue:" << extras;
}

TEST_F(MessageCatalogue, LabelSixteenThousandTwelveIsOneSpace)
{
    char buffer[512];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(LoadStringA(module, 16012, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], ' ');
    EXPECT_EQ(buffer[1], '\0');
}

TEST_F(MessageCatalogue, CommonDialogErrorNamesArePlainAscii)
{
    for (unsigned number = 33018; number <= 33031; number++) {
        std::string text = load_text(module, number, 512);
        ASSERT_FALSE(text.empty()) << number;
        EXPECT_TRUE(text.compare(0, 6, "CDERR_") == 0 || text.compare(0, 6, "FNERR_") == 0)
            << number << ": \"" << text << "\"";
        for (char c : text)
            EXPECT_TRUE((c >= 'A' && c <= 'Z') || c == '_') << number << ": byte " << hex_bytes(std::string(1, c));
        EXPECT_EQ(text, catalogue->at(number)) << number;
    }
}

TEST_F(MessageCatalogue, BackslashMessageHoldsASingleBackslashByte)
{
    // 32023 names the backslash itself; 表 in the same text ends in byte 0x5C too.
    std::string text = load_text(module, 32023, 512);
    std::string marker = utf8_to_cp932("\\記号", NULL);
    ASSERT_EQ(marker, std::string("\x5C\x8B\x4C\x8D\x86", 5));
    EXPECT_NE(text.find(marker), std::string::npos) << hex_bytes(text);
    EXPECT_EQ(text.find("\\\\"), std::string::npos) << "doubled backslash: " << hex_bytes(text);
    EXPECT_NE(text.find(utf8_to_cp932("表わす", NULL)), std::string::npos) << hex_bytes(text);
}

} // namespace
