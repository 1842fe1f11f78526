#include "foundation/FHasProperties.h"

#include "foundation/FException.h"
#include "support/CommaLocale.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// The base offers no way to add entries; a derived object fills its own map.
class Carrier : public FHasProperties {
public:
    Carrier(std::initializer_list<std::pair<const char*, const char*>> entries)
    {
        for (const auto& [key, value] : entries)
            PropertyMap()[FNarrowString(key)] = FNarrowString(value);
    }
};

std::vector<std::string> KeysInIterationOrder(const FHasProperties& map)
{
    std::vector<std::string> keys;
    for (FPropertyIterator it = map.GetIterator(); !it.IsDone(); it.Next())
        keys.emplace_back(it.GetKey());
    return keys;
}

std::string MessageOf(const FException& e) { return e.GetMessage(); }

TEST(FHasProperties, EmptyMapIteratorIsDoneAndThrowsWithItsMessages)
{
    const FHasProperties empty;
    EXPECT_EQ(empty.GetPropertyCount(), 0u);
    FPropertyIterator it = empty.GetIterator();
    EXPECT_TRUE(it.IsDone());
    EXPECT_FALSE(it.Next());
    EXPECT_TRUE(it.IsDone());
    try {
        it.GetKey();
        FAIL() << "GetKey at the end must throw";
    } catch (const FExceptionEndOfList& e) {
        EXPECT_EQ(MessageOf(e), "End of list encountered in FPropertyIterator::GetKey()");
        EXPECT_STREQ(e.GetDescription(), "FHasProperties end of list exception");
    }
    try {
        it.GetValue();
        FAIL() << "GetValue at the end must throw";
    } catch (const FExceptionProperties& e) {
        EXPECT_EQ(MessageOf(e), "End of list encountered in FPropertyIterator::GetValue()");
    }
}

TEST(FHasProperties, CopiedMapIteratesInByteOrder)
{
    const Carrier source{{"b", "2"}, {"a", "1"}, {"c", "3"}};
    const FHasProperties copy(source);

    FPropertyIterator it = copy.GetIterator();
    EXPECT_STREQ(it.GetKey(), "a");
    EXPECT_STREQ(it.GetValue(), "1");
    EXPECT_TRUE(it.Next());
    EXPECT_STREQ(it.GetKey(), "b");
    EXPECT_TRUE(it.Next());
    EXPECT_STREQ(it.GetValue(), "3");
    EXPECT_FALSE(it.Next());
    EXPECT_TRUE(it.IsDone());
    EXPECT_THROW(it.GetKey(), FExceptionEndOfList);
    EXPECT_FALSE(it.Next());
    it.Reset();
    EXPECT_STREQ(it.GetKey(), "a");

    // Unsigned bytes, upper case before lower case, a prefix before its extensions.
    const Carrier bytes{{"\xC3\xA9t\xC3\xA9", ""}, {"ab", ""}, {"a", ""}, {"B", ""}, {"~", ""}};
    EXPECT_EQ(KeysInIterationOrder(bytes),
              (std::vector<std::string>{"B", "a", "ab", "~", "\xC3\xA9t\xC3\xA9"}));
}

TEST(FHasProperties, LooksUpAndRemovesExactKeys)
{
    Carrier map{{"Description", "100% %s %n"}, {"Gain", "2.5"}};
    const char* fallback = "none";

    EXPECT_TRUE(map.HasProperty("Description"));
    EXPECT_FALSE(map.HasProperty("description"));
    EXPECT_FALSE(map.HasProperty(nullptr));
    EXPECT_STREQ(map.GetProperty("Description", fallback), "100% %s %n");
    EXPECT_EQ(map.GetProperty("Descr", fallback), fallback);
    EXPECT_EQ(map.GetProperty("Descr", nullptr), nullptr);

    EXPECT_FALSE(map.RemoveProperty("gain"));
    EXPECT_EQ(map.GetPropertyCount(), 2u);
    EXPECT_TRUE(map.RemoveProperty("Gain"));
    EXPECT_FALSE(map.RemoveProperty("Gain"));
    EXPECT_EQ(map.GetPropertyCount(), 1u);

    // A copy is independent of its source.
    FHasProperties copy(map);
    EXPECT_TRUE(copy.RemoveProperty("Description"));
    EXPECT_TRUE(map.HasProperty("Description"));
}

TEST(FHasProperties, GetPropertyDoubleReadsOnlyExistingEntries)
{
    const Carrier map{{"Gain", " 2.5x"}, {"Name", "abc"}};
    EXPECT_EQ(map.GetPropertyDouble("Missing", -7.0), -7.0);
    EXPECT_EQ(map.GetPropertyDouble("Gain", -7.0), 2.5);
    EXPECT_THROW(map.GetPropertyDouble("Name", -7.0), FExceptionConversion);
    EXPECT_EQ(map.GetPropertyCount(), 2u);
    EXPECT_STREQ(map.GetProperty("Name", ""), "abc");
}

TEST(FHasProperties, StringToDoubleReadsTheLeadingNumberOrThrows)
{
    const std::pair<const char*, double> numbers[] = {
        {" 2.5x", 2.5}, {"-1e3", -1000.0}, {"\t+.5", 0.5}, {"7", 7.0}, {"0x10", 16.0},
    };
    for (const auto& [text, expected] : numbers)
        EXPECT_EQ(StringToDouble(text), expected) << text;

    const std::pair<const char*, const char*> failures[] = {
        {"", "Conversion failure trying to convert '' to a floating point number."},
        {nullptr, "Conversion failure trying to convert '' to a floating point number."},
        {"x1", "Conversion failure trying to convert 'x1' to a floating point number."},
        {"-", "Conversion failure trying to convert '-' to a floating point number."},
        {"%s%n", "Conversion failure trying to convert '%s%n' to a floating point number."},
    };
    for (const auto& [text, message] : failures) {
        try {
            StringToDouble(text);
            ADD_FAILURE() << "no exception for " << (text ? text : "null");
        } catch (const FExceptionConversion& e) {
            EXPECT_EQ(MessageOf(e), message);
            EXPECT_STREQ(e.GetDescription(), "FHasProperties conversion exception");
        }
    }
}

TEST(FHasProperties, StringToDoubleIgnoresTheProcessLocale)
{
    testsupport::ScopedCommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no locale with a decimal comma is available";
    EXPECT_EQ(StringToDouble("2.5"), 2.5);
    EXPECT_EQ(StringToDouble("2,5"), 2.0);
}

} // namespace
