// The program's own text and font tables: every line of them is an entry, the
// fonts they name exist, the texts used as formats take the values the
// program passes, and every text id the program's code asks for is there.
//
// The code's ids are found in its sources: a number passed straight to a
// text look-up (GetString, GetTextTableString, SetStringId, SetTextStyleById,
// SetCaptionStyle) and a constant whose name ends in TextId.
#include "shell/app/TextTables.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

const std::filesystem::path kSource = LUMITRA_SOURCE_DIR;

std::string Resource(const char* name) { return testsupport::ReadFileBytes(kSource / "resources" / name); }

std::map<int, CStringItem> Entries()
{
    std::map<int, CStringItem> entries;
    ForEachUtf16Line(Resource("String.txt"), [&entries](std::u16string_view line) {
        if (std::optional<CStringItem> item = ParseStringTableLine(line))
            entries.emplace(item->m_nId, *item);
        return true;
    });
    return entries;
}

bool IsNote(std::u16string_view line) { return line.empty() || line[0] == u';'; }

TEST(TextTableResourcesTest, EveryLineIsAnEntryAndEveryFontExists)
{
    int lines = 0, entries = 0;
    std::set<int> ids;
    ForEachUtf16Line(Resource("String.txt"), [&](std::u16string_view line) {
        if (IsNote(line))
            return true;
        ++lines;
        const std::optional<CStringItem> item = ParseStringTableLine(line);
        EXPECT_TRUE(item.has_value()) << testsupport::Utf8FromWide(FString(line));
        if (item) {
            ++entries;
            EXPECT_TRUE(ids.insert(item->m_nId).second) << "id " << item->m_nId << " twice";
        }
        return true;
    });
    EXPECT_GT(entries, 500);
    EXPECT_EQ(lines, entries);

    std::set<int> fonts;
    ForEachUtf16Line(Resource("Font.txt"), [&](std::u16string_view line) {
        if (IsNote(line))
            return true;
        const std::optional<CFontDescription> font = ParseFontTableLine(line);
        EXPECT_TRUE(font.has_value()) << testsupport::Utf8FromWide(FString(line));
        if (font)
            fonts.insert(font->m_nFontId);
        return true;
    });
    for (const auto& [id, item] : Entries()) {
        if (item.m_nFontId != 0) {
            EXPECT_TRUE(fonts.count(item.m_nFontId)) << "text " << id << " names font " << item.m_nFontId;
        }
    }

    const std::string licence = Resource("License.txt");
    EXPECT_EQ(licence.substr(0, 2), "\xFF\xFE");
    EXPECT_GT(licence.size(), 1000u);
}

TEST(TextTableResourcesTest, FormatsTakeTheValuesTheProgramPasses)
{
    const std::map<int, CStringItem> entries = Entries();
    const auto text = [&entries](int id) { return entries.at(id).m_strText; };
    using K = TextArgKind;
    EXPECT_TRUE(TextFormatMatches(text(131), {K::kInt, K::kInt})); // picture x of y
    for (const int id : {1021, 1022, 1024, 1025})
        EXPECT_TRUE(TextFormatMatches(text(id), {K::kInt})) << id;
    EXPECT_TRUE(FormatTableText(text(1023), {2.5, 3}).has_value()); // megabytes, count
    EXPECT_TRUE(TextFormatMatches(text(1026), {K::kDouble}));
    for (const int source : {5001, 5002, 5003})
        for (const int files : {5032, 5033})
            EXPECT_TRUE(TextFormatMatches(text(source) + text(files) + text(5038), {K::kInt, K::kDouble})) << source;
    EXPECT_TRUE(TextFormatMatches(text(5039) + u" (%d x %d x 3)", {K::kDouble, K::kInt, K::kInt}));
    for (const int source : {5402, 5403, 5404})
        for (const int pictures : {5425, 5426})
            EXPECT_TRUE(TextFormatMatches(text(source) + text(pictures) + text(5427), {K::kInt, K::kDouble})) << source;
    // Texts shown as they stand hold no conversion a printf would act on.
    for (const int id : {1007, 1008, 3021, 3022, 3023, 9005, 5610})
        EXPECT_TRUE(TextFormatMatches(text(id), {})) << id;
}

TEST(TextTableResourcesTest, EveryIdTheCodeAsksForExists)
{
    const std::regex call(R"((?:GetString|GetTextTableString|SetStringId|SetTextStyleById|SetCaptionStyle)\s*\(\s*(\d+)\s*[,)])");
    // Text ids are named kSomethingTextId; a control that shows text is kTextId.
    const std::regex constant(R"(\bk\w+TextId\s*=\s*(\d+))");
    const std::map<int, CStringItem> entries = Entries();
    int asked = 0;
    for (const char* folder : {"toolkit", "shell", "review", "output", "app"}) {
        if (!std::filesystem::exists(kSource / folder))
            continue;
        for (const auto& file : std::filesystem::recursive_directory_iterator(kSource / folder)) {
            const std::string extension = file.path().extension().string();
            if (extension != ".cpp" && extension != ".h")
                continue;
            const std::string code = testsupport::ReadFileBytes(file.path());
            for (const std::regex* pattern : {&call, &constant}) {
                for (std::sregex_iterator it(code.begin(), code.end(), *pattern), end; it != end; ++it) {
                    ++asked;
                    const int id = std::stoi((*it)[1].str());
                    EXPECT_TRUE(entries.count(id)) << file.path().string() << " asks for text " << id;
                }
            }
        }
    }
    EXPECT_GE(asked, 2); // the track bar's value font and the default preset name at least
}

TEST(TextTableResourcesTest, TheProgramsOwnCaptionsAreInTheTable)
{
    const std::map<int, CStringItem> entries = Entries();
    const CStringTable none;
    for (const int id : {104, 105, 999, 9000, 9001, 9002, 9003, 9004, 9005, 9006, 9007, 9008}) {
        ASSERT_NE(none.Find(id), nullptr) << id;
        EXPECT_TRUE(entries.count(id)) << id;
    }
}

} // namespace
