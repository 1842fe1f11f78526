#include "foundation/FPropTree.h"

#include "foundation/FException.h"
#include "support/CommaLocale.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TreeDeleter {
    void operator()(FPropTree* tree) const { DeletePropTree(tree); }
};
using TreePtr = std::unique_ptr<FPropTree, TreeDeleter>;

TreePtr MakeRoot(const char* name = "root") { return TreePtr(new FPropTree(nullptr, name)); }

std::string Narrow(const FString& text) { return std::string(text.GetAscii()); }

// "key=value" of every pair in list order.
std::vector<std::string> PairsOf(const FPropTree& node)
{
    std::vector<std::string> pairs;
    for (const FPropPair* pair = node.GetFirstPair(); pair != nullptr; pair = pair->GetNext())
        pairs.push_back(Narrow(pair->m_sKey) + "=" + Narrow(pair->m_sValue));
    return pairs;
}

std::vector<std::string> ChildNames(const FPropTree& node)
{
    std::vector<std::string> names;
    for (const FPropTree* child = node.GetFirstChild(); child != nullptr; child = child->GetNextSibling())
        names.push_back(Narrow(child->m_sName));
    return names;
}

// Children walked backwards, to catch broken back links.
std::vector<std::string> ChildNamesBackwards(const FPropTree& node)
{
    const FPropTree* last = node.GetFirstChild();
    while (last != nullptr && last->GetNextSibling() != nullptr)
        last = last->GetNextSibling();
    std::vector<std::string> names;
    for (const FPropTree* child = last; child != nullptr; child = child->GetPrevSibling())
        names.insert(names.begin(), Narrow(child->m_sName));
    return names;
}

TEST(FPropTree, DuplicateKeysReadFirstSetAllAndRemoveMovesHead)
{
    TreePtr root = MakeRoot();
    ASSERT_TRUE(root->AddPair("ISO", "100"));
    ASSERT_TRUE(root->AddPair("ISO", "200"));
    ASSERT_TRUE(root->AddPair("iso", "300")); // keys are case-sensitive

    bool found = false;
    EXPECT_EQ(root->GetInt("ISO", -1, &found), 100);
    EXPECT_TRUE(found);
    EXPECT_EQ(root->GetInt("iso", -1), 300);
    EXPECT_EQ(root->GetValue("ISO", nullptr), &root->GetFirstPair()->m_sValue);

    root->SetInt("ISO", 5);
    EXPECT_EQ(PairsOf(*root), (std::vector<std::string>{"ISO=5", "ISO=5", "iso=300"}));

    FPropPair* first = root->GetFirstPair();
    ASSERT_TRUE(root->RemovePair(first));
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(PairsOf(*root), (std::vector<std::string>{"ISO=5", "iso=300"}));

    // Removing the tail and appending again keeps the list order intact.
    FPropPair* tail = root->GetFirstPair()->GetNext();
    ASSERT_TRUE(root->RemovePair(tail));
    root->SetValue("new", "x");
    EXPECT_EQ(PairsOf(*root), (std::vector<std::string>{"ISO=5", "new=x"}));
}

TEST(FPropTree, MissingKeysAndEmptyValuesGiveDefaults)
{
    TreePtr root = MakeRoot();
    root->AddPair("empty", "");
    const FString fallback("fallback");

    bool found = true;
    EXPECT_EQ(root->GetValue("missing", &fallback, &found), &fallback);
    EXPECT_FALSE(found);
    found = false;
    const FString* empty = root->GetValue("empty", &fallback, &found);
    ASSERT_NE(empty, &fallback);
    EXPECT_EQ(empty->GetLength(), 0);
    EXPECT_TRUE(found);

    struct Case {
        const char* key;
        bool intFound, doubleFound, boolFound;
    };
    // An empty value counts as absent for numbers but as present for GetBool.
    const Case cases[] = {{"missing", false, false, false}, {"empty", false, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        found = true;
        EXPECT_EQ(root->GetInt(c.key, 42, &found), 42);
        EXPECT_EQ(found, c.intFound);
        found = true;
        EXPECT_EQ(root->GetDouble(c.key, 4.25, &found), 4.25);
        EXPECT_EQ(found, c.doubleFound);
        found = !c.boolFound;
        EXPECT_TRUE(root->GetBool(c.key, true, &found));
        EXPECT_EQ(found, c.boolFound);
        EXPECT_FALSE(root->GetBool(c.key, false));
    }
}

TEST(FPropTree, GetBoolAcceptsOnlyTheListedWords)
{
    const char* trueWords[] = {"TRUE", "True", "T", "true", "t", "YES", "Yes",
                               "Y",    "yes",  "y", "ON",   "On", "on", "1"};
    const char* falseWords[] = {"FALSE", "False", "F", "false", "f", "NO", "No",
                                "N",     "no",    "n", "OFF",   "Off", "off", "0"};
    const char* otherTexts[] = {"tRUE", "yes ", " 1", "oN", "YeS", "2", "01", "truee", "nope", "", "-1"};

    TreePtr root = MakeRoot();
    for (const char* word : trueWords) {
        root->SetValue("b", word);
        EXPECT_TRUE(root->GetBool("b", false)) << word;
    }
    for (const char* word : falseWords) {
        root->SetValue("b", word);
        EXPECT_FALSE(root->GetBool("b", true)) << word;
    }
    for (const char* text : otherTexts) {
        root->SetValue("b", text);
        bool found = false;
        EXPECT_TRUE(root->GetBool("b", true, &found)) << '"' << text << '"';
        EXPECT_FALSE(root->GetBool("b", false)) << '"' << text << '"';
        EXPECT_TRUE(found);
    }
    // A word followed by a hidden terminator is not the word.
    root->SetValue("b", FString(std::u16string_view(u"yes\0", 4)));
    EXPECT_FALSE(root->GetBool("b", false));
}

TEST(FPropTree, GetIntReadsLeadingDecimalNumberAndClampsTo32Bits)
{
    struct Case {
        std::u16string value;
        int expected;
    };
    const Case cases[] = {
        {u"42", 42},
        {u" \t-17", -17},
        {u"+8", 8},
        {u"12abc", 12},
        {u"abc", 0},
        {u"-", 0},
        {u"0x1A", 0},
        {u"1 2", 1},
        {u"\uFF11", 0}, // a full-width digit is not a digit
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"-2147483649", INT_MIN},
        {u"99999999999999999999999999", INT_MAX},
    };
    TreePtr root = MakeRoot();
    for (const Case& c : cases) {
        root->SetValue("n", FString(std::u16string_view(c.value)));
        bool found = false;
        EXPECT_EQ(root->GetInt("n", -5, &found), c.expected) << FString(c.value.c_str()).GetAscii();
        EXPECT_TRUE(found);
    }
}

TEST(FPropTree, GetDoubleReadsLeadingNumber)
{
    struct Case {
        std::u16string value;
        double expected;
    };
    const Case cases[] = {
        {u"1.5e3", 1500.0},
        {u"abc", 0.0},
        {u"  -2.25xyz", -2.25},
        {u"3.5\u00e9", 3.5},
        {u"\u00e93.5", 0.0}, // the non-ASCII unit reads as '?', which is no number
    };
    TreePtr root = MakeRoot();
    for (const Case& c : cases) {
        root->SetValue("d", FString(std::u16string_view(c.value)));
        bool found = false;
        EXPECT_DOUBLE_EQ(root->GetDouble("d", 9.0, &found), c.expected) << FString(c.value.c_str()).GetAscii();
        EXPECT_TRUE(found);
    }

    // Only the first 511 units are read: the digit 1 at position 600 is cut off.
    std::u16string longText = u"0." + std::u16string(598, u'0') + u"1";
    root->SetValue("d", FString(std::u16string_view(longText)));
    EXPECT_EQ(root->GetDouble("d", 9.0), 0.0);
}

TEST(FPropTree, SettersWriteCFormats)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.5, "0.5000"},
        {-1234567.891, "-1234567.8910"},
        {1e-9, "0.0000"},
        {0.99999, "1.0000"}, // rounded, not cut
        {123456789012345.0, "123456789012345.0000"},
    };
    TreePtr root = MakeRoot();
    for (const Case& c : cases) {
        root->SetDouble("d", c.value);
        EXPECT_EQ(Narrow(*root->GetValue("d", nullptr)), c.text);
    }

    // Far beyond the range the program stores: written in full, never cut or overrun.
    root->SetDouble("huge", -1e300);
    const std::string huge = Narrow(*root->GetValue("huge", nullptr));
    EXPECT_EQ(huge.size(), 1u + 301u + 5u);
    EXPECT_EQ(huge.substr(0, 2), "-1");
    EXPECT_EQ(huge.substr(huge.size() - 5), ".0000");

    root->SetInt("i", -3);
    EXPECT_EQ(Narrow(*root->GetValue("i", nullptr)), "-3");
    root->SetInt("i", INT_MIN);
    EXPECT_EQ(Narrow(*root->GetValue("i", nullptr)), "-2147483648");
    EXPECT_EQ(root->GetInt("i", 0), INT_MIN);
    EXPECT_EQ(PairsOf(*root).size(), 3u);
}

TEST(FPropTree, NumbersIgnoreTheProcessLocale)
{
    testsupport::ScopedCommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no locale with a decimal comma is available";

    TreePtr root = MakeRoot();
    root->SetDouble("d", 2.5);
    EXPECT_EQ(Narrow(*root->GetValue("d", nullptr)), "2.5000");
    EXPECT_EQ(root->GetDouble("d", 0.0), 2.5);
    root->SetValue("d", "7,5");
    EXPECT_EQ(root->GetDouble("d", 0.0), 7.0);
}

TEST(FPropTree, CloneCopiesNamesPairsAndChildrenInOrder)
{
    TreePtr source = MakeRoot("Props");
    source->m_sValue = "root value";
    source->AddPair("a", "1");
    FPropTree* first = new FPropTree(source.get(), "First");
    first->AddPair("x", "1");
    first->AddPair("y", "2");
    first->AddPair("x", "3");
    first->m_sValue = "node value";
    FPropTree* second = new FPropTree(source.get(), "Second");
    second->AddPair("z", "9");
    new FPropTree(second, "Grandchild");

    TreePtr clone(source->Clone());
    source.reset(); // the clone owns nothing of the source

    EXPECT_EQ(clone->GetParent(), nullptr);
    EXPECT_EQ(Narrow(clone->m_sName), "Props");
    EXPECT_EQ(clone->m_sValue.GetLength(), 0);
    EXPECT_EQ(PairsOf(*clone), (std::vector<std::string>{"a=1"}));
    ASSERT_EQ(ChildNames(*clone), (std::vector<std::string>{"First", "Second"}));
    const FPropTree* firstCopy = clone->GetFirstChild();
    EXPECT_EQ(PairsOf(*firstCopy), (std::vector<std::string>{"x=1", "y=2", "x=3"}));
    EXPECT_EQ(firstCopy->m_sValue.GetLength(), 0);
    EXPECT_EQ(firstCopy->GetParent(), clone.get());
    const FPropTree* secondCopy = firstCopy->GetNextSibling();
    EXPECT_EQ(PairsOf(*secondCopy), (std::vector<std::string>{"z=9"}));
    EXPECT_EQ(ChildNames(*secondCopy), (std::vector<std::string>{"Grandchild"}));
    EXPECT_EQ(ChildNamesBackwards(*clone), ChildNames(*clone));
}

TEST(FPropTree, CloneUnderANodeOfItsOwnSubtree)
{
    TreePtr root = MakeRoot("R");
    FPropTree* child = new FPropTree(root.get(), "C");
    child->AddPair("k", "v");

    FPropTree* copy = root->Clone(child);
    EXPECT_EQ(copy->GetParent(), child);
    EXPECT_EQ(ChildNames(*child), (std::vector<std::string>{"R"}));
    EXPECT_EQ(ChildNames(*copy), (std::vector<std::string>{"C"}));
    EXPECT_EQ(copy->GetFirstChild()->GetFirstChild(), nullptr);
    EXPECT_EQ(PairsOf(*copy->GetFirstChild()), (std::vector<std::string>{"k=v"}));
}

TEST(FPropTree, DestroyingChildrenRelinksTheParentsList)
{
    struct Case {
        int destroyed;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {0, {"B", "C"}},
        {1, {"A", "C"}},
        {2, {"A", "B"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destroyed);
        TreePtr root = MakeRoot();
        FPropTree* children[] = {new FPropTree(root.get(), "A"), new FPropTree(root.get(), "B"),
                                 new FPropTree(root.get(), "C")};
        new FPropTree(children[c.destroyed], "grandchild");
        DeletePropTree(children[c.destroyed]);
        EXPECT_EQ(children[c.destroyed], nullptr);
        EXPECT_EQ(ChildNames(*root), c.left);
        EXPECT_EQ(ChildNamesBackwards(*root), c.left);

        // Appending afterwards lands at the end.
        new FPropTree(root.get(), "D");
        std::vector<std::string> withD = c.left;
        withD.push_back("D");
        EXPECT_EQ(ChildNames(*root), withD);
        EXPECT_EQ(ChildNamesBackwards(*root), withD);
    }

    FPropTree* null = nullptr;
    DeletePropTree(null);
}

TEST(FPropTree, ClearEmptiesTheNodeButKeepsItInItsParent)
{
    TreePtr root = MakeRoot();
    FPropTree* child = new FPropTree(root.get(), "child");
    child->AddPair("k", "v");
    new FPropTree(child, "grandchild");

    child->Clear();
    EXPECT_EQ(child->GetFirstPair(), nullptr);
    EXPECT_EQ(child->GetFirstChild(), nullptr);
    EXPECT_EQ(child->GetParent(), root.get());
    EXPECT_EQ(root->GetFirstChild(), child);
    child->AddPair("again", "1");
    EXPECT_EQ(PairsOf(*child), (std::vector<std::string>{"again=1"}));
}

TEST(FPropTree, RemovePairRefusesForeignAndNullPairs)
{
    TreePtr one = MakeRoot("one");
    TreePtr two = MakeRoot("two");
    one->AddPair("a", "1");
    two->AddPair("a", "1");

    FPropPair* foreign = two->GetFirstPair();
    EXPECT_FALSE(one->RemovePair(foreign));
    EXPECT_EQ(foreign, two->GetFirstPair());
    FPropPair* null = nullptr;
    EXPECT_FALSE(one->RemovePair(null));
    EXPECT_EQ(PairsOf(*one), (std::vector<std::string>{"a=1"}));
    EXPECT_EQ(PairsOf(*two), (std::vector<std::string>{"a=1"}));
}

TEST(FPropTree, CopyPairsAppendsInOrderEvenFromItself)
{
    TreePtr source = MakeRoot();
    source->AddPair("a", "1");
    source->AddPair("b", "2");
    TreePtr target = MakeRoot();
    target->AddPair("b", "0");

    target->CopyPairs(source.get());
    target->CopyPairs(nullptr);
    EXPECT_EQ(PairsOf(*target), (std::vector<std::string>{"b=0", "a=1", "b=2"}));
    EXPECT_EQ(target->GetInt("b", -1), 0);
    EXPECT_EQ(target->GetFirstPair()->GetNext()->GetOwner(), target.get());

    source->CopyPairs(source.get());
    EXPECT_EQ(PairsOf(*source), (std::vector<std::string>{"a=1", "b=2", "a=1", "b=2"}));
}

TEST(FPropTree, SetParentMovesNodesAndRefusesCycles)
{
    TreePtr a = MakeRoot("a");
    TreePtr b = MakeRoot("b");
    FPropTree* child = new FPropTree(a.get(), "child");
    FPropTree* grandchild = new FPropTree(child, "grandchild");

    child->SetParent(b.get());
    EXPECT_EQ(a->GetFirstChild(), nullptr);
    EXPECT_EQ(ChildNames(*b), (std::vector<std::string>{"child"}));

    EXPECT_THROW(child->SetParent(grandchild), FException);
    EXPECT_THROW(child->SetParent(child), FException);
    EXPECT_EQ(child->GetParent(), b.get());
    EXPECT_EQ(grandchild->GetFirstChild(), nullptr);
}

TEST(FPropTree, VeryDeepTreesCloneAndDestroyWithoutRecursion)
{
    TreePtr root = MakeRoot();
    FPropTree* node = root.get();
    for (int depth = 0; depth < 200000; ++depth)
        node = new FPropTree(node, "n");
    node->AddPair("leaf", "1");

    TreePtr clone(root->Clone());
    const FPropTree* walk = clone.get();
    int depth = 0;
    while (walk->GetFirstChild() != nullptr) {
        walk = walk->GetFirstChild();
        ++depth;
    }
    EXPECT_EQ(depth, 200000);
    EXPECT_EQ(walk->GetInt("leaf", 0), 1);
}

} // namespace
