#include "foundation/FPropTree.h"

#include "foundation/FCLocale.h"
#include "foundation/FException.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The only words a stored boolean may be; anything else reads as the caller's
// default, so a misspelt setting never flips a switch.
constexpr std::u16string_view kTrueWords[] = {u"TRUE", u"True", u"T", u"true", u"t",  u"YES", u"Yes",
                                              u"Y",    u"yes",  u"y", u"ON",   u"On", u"on",  u"1"};
constexpr std::u16string_view kFalseWords[] = {u"FALSE", u"False", u"F", u"false", u"f",   u"NO",  u"No",
                                               u"N",     u"no",    u"n", u"OFF",   u"Off", u"off", u"0"};

// Big enough for the narrowed number text the readers look at (511 units).
constexpr int kNumberTextSize = 512;

bool IsCSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Decimal integer with the C library's rules for a 32-bit long: white space,
// sign, digits up to the first other unit; no digits gives 0, overflow the
// limit of the sign.
int ParseDecimalInt(std::u16string_view text)
{
    constexpr int64_t kMaxMagnitude = int64_t{INT32_MAX} + 1;
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (magnitude <= kMaxMagnitude)
            magnitude = magnitude * 10 + (text[i] - u'0');
    }
    if (negative)
        return magnitude >= kMaxMagnitude ? INT32_MIN : static_cast<int>(-magnitude);
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<int>(magnitude);
}

double ParseLeadingDouble(const FString& text)
{
    char narrow[kNumberTextSize];
    WideToAscii(text.GetText(), narrow, sizeof narrow);
    FScopedCLocale cLocale;
    return std::strtod(narrow, nullptr);
}

bool IsOneOf(std::u16string_view text, const std::u16string_view (&words)[14])
{
    for (std::u16string_view word : words) {
        if (text == word)
            return true;
    }
    return false;
}

void ClearFlag(bool* flag)
{
    if (flag != nullptr)
        *flag = false;
}

void SetFlag(bool* flag)
{
    if (flag != nullptr)
        *flag = true;
}

} // namespace

FPropPair::FPropPair(FPropTree* owner, const char* key, const char* value)
    : m_sKey(key), m_sValue(value), m_pOwner(owner)
{
}

FPropPair::FPropPair(FPropTree* owner, const FString& key, const FString& value)
    : m_sKey(key), m_sValue(value), m_pOwner(owner)
{
}

FPropTree::FPropTree(FPropTree* parent, const char* name) : m_sName(name)
{
    SetParent(parent);
}

FPropTree::FPropTree(FPropTree* parent, const FPropTree& model) : m_sName(model.m_sName)
{
    SetParent(parent);
}

FPropTree::~FPropTree()
{
    Clear();
    UnlinkFromParent();
}

void FPropTree::SetParent(FPropTree* parent)
{
    // Only a node with children can be an ancestor of another node.
    if (parent == this || (parent != nullptr && m_pFirstChild != nullptr && IsInSubtree(parent)))
        throw FException("FPropTree::SetParent()");
    UnlinkFromParent();
    if (parent != nullptr)
        parent->AppendChild(this);
}

bool FPropTree::IsInSubtree(const FPropTree* node) const
{
    for (; node != nullptr; node = node->m_pParent) {
        if (node == this)
            return true;
    }
    return false;
}

void FPropTree::AppendChild(FPropTree* child)
{
    child->m_pParent = this;
    child->m_pPrevSibling = m_pLastChild;
    child->m_pNextSibling = nullptr;
    if (m_pLastChild != nullptr)
        m_pLastChild->m_pNextSibling = child;
    else
        m_pFirstChild = child;
    m_pLastChild = child;
}

void FPropTree::UnlinkFromParent()
{
    if (m_pParent == nullptr)
        return;
    if (m_pPrevSibling != nullptr)
        m_pPrevSibling->m_pNextSibling = m_pNextSibling;
    else
        m_pParent->m_pFirstChild = m_pNextSibling;
    if (m_pNextSibling != nullptr)
        m_pNextSibling->m_pPrevSibling = m_pPrevSibling;
    else
        m_pParent->m_pLastChild = m_pPrevSibling;
    m_pPrevSibling = nullptr;
    m_pNextSibling = nullptr;
    m_pParent = nullptr;
}

void FPropTree::Clear()
{
    // Leaves first, without recursion: trees built from files may be deep.
    FPropTree* node = this;
    while (m_pFirstChild != nullptr) {
        while (node->m_pFirstChild != nullptr)
            node = node->m_pFirstChild;
        FPropTree* parent = node->m_pParent;
        delete node;
        node = parent;
    }
    DeleteAllPairs();
}

void FPropTree::DeleteAllPairs()
{
    FPropPair* pair = m_pPropPairs;
    m_pPropPairs = nullptr;
    m_pLastPair = nullptr;
    while (pair != nullptr) {
        FPropPair* next = pair->m_pNextPair;
        delete pair;
        pair = next;
    }
}

FPropTree* FPropTree::Clone(FPropTree* parent) const
{
    // Built as a root and attached last, so a parent inside this subtree is
    // never walked into while copying.
    FPropTree* root = new FPropTree(nullptr, *this);
    try {
        root->CopyPairs(this);
        std::vector<std::pair<const FPropTree*, FPropTree*>> pending{{this, root}};
        while (!pending.empty()) {
            const auto [source, copy] = pending.back();
            pending.pop_back();
            for (const FPropTree* child = source->m_pFirstChild; child != nullptr; child = child->m_pNextSibling) {
                FPropTree* childCopy = new FPropTree(copy, *child);
                childCopy->CopyPairs(child);
                pending.emplace_back(child, childCopy);
            }
        }
        root->SetParent(parent);
    } catch (...) {
        delete root;
        throw;
    }
    return root;
}

void FPropTree::AppendPair(FPropPair* pair)
{
    pair->m_pOwner = this;
    pair->m_pPrevPair = m_pLastPair;
    pair->m_pNextPair = nullptr;
    if (m_pLastPair != nullptr)
        m_pLastPair->m_pNextPair = pair;
    else
        m_pPropPairs = pair;
    m_pLastPair = pair;
}

bool FPropTree::AddPair(const char* key, const char* value)
{
    try {
        AppendPair(new FPropPair(this, key, value));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool FPropTree::AddPair(const FString& key, const FString& value)
{
    try {
        AppendPair(new FPropPair(this, key, value));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void FPropTree::CopyPairs(const FPropTree* other)
{
    if (other == nullptr || other->m_pLastPair == nullptr)
        return;
    // Stop at the pair that was last when copying began: copying a node onto
    // itself must not chase its own new pairs.
    const FPropPair* last = other->m_pLastPair;
    for (const FPropPair* pair = other->m_pPropPairs;; pair = pair->m_pNextPair) {
        AppendPair(new FPropPair(this, pair->m_sKey, pair->m_sValue));
        if (pair == last)
            break;
    }
}

bool FPropTree::RemovePair(FPropPair*& pair)
{
    // Only pointers found in this list are dereferenced: a foreign or stale
    // pointer is refused without being touched.
    FPropPair* found = m_pPropPairs;
    while (found != nullptr && found != pair)
        found = found->m_pNextPair;
    if (found == nullptr)
        return false;
    if (found->m_pPrevPair != nullptr)
        found->m_pPrevPair->m_pNextPair = found->m_pNextPair;
    else
        m_pPropPairs = found->m_pNextPair;
    if (found->m_pNextPair != nullptr)
        found->m_pNextPair->m_pPrevPair = found->m_pPrevPair;
    else
        m_pLastPair = found->m_pPrevPair;
    delete found;
    pair = nullptr;
    return true;
}

FPropPair* FPropTree::FindPair(const FString& key) const
{
    const std::u16string_view wanted = key.View();
    for (FPropPair* pair = m_pPropPairs; pair != nullptr; pair = pair->m_pNextPair) {
        if (pair->m_sKey.View() == wanted)
            return pair;
    }
    return nullptr;
}

const FString* FPropTree::GetValue(const FString& key, const FString* defaultValue, bool* found) const
{
    ClearFlag(found);
    const FPropPair* pair = FindPair(key);
    if (pair == nullptr)
        return defaultValue;
    SetFlag(found);
    return &pair->m_sValue;
}

int FPropTree::GetInt(const FString& key, int defaultValue, bool* found) const
{
    ClearFlag(found);
    const FPropPair* pair = FindPair(key);
    if (pair == nullptr || pair->m_sValue.GetLength() == 0)
        return defaultValue;
    SetFlag(found);
    return ParseDecimalInt(pair->m_sValue.View());
}

double FPropTree::GetDouble(const FString& key, double defaultValue, bool* found) const
{
    ClearFlag(found);
    const FPropPair* pair = FindPair(key);
    if (pair == nullptr || pair->m_sValue.GetLength() == 0)
        return defaultValue;
    SetFlag(found);
    return ParseLeadingDouble(pair->m_sValue);
}

bool FPropTree::GetBool(const FString& key, bool defaultValue, bool* found) const
{
    ClearFlag(found);
    const FPropPair* pair = FindPair(key);
    if (pair == nullptr)
        return defaultValue;
    SetFlag(found);
    const std::u16string_view value = pair->m_sValue.View();
    if (IsOneOf(value, kTrueWords))
        return true;
    if (IsOneOf(value, kFalseWords))
        return false;
    return defaultValue;
}

void FPropTree::SetValue(const FString& key, const FString& value)
{
    bool matched = false;
    const std::u16string_view wanted = key.View();
    for (FPropPair* pair = m_pPropPairs; pair != nullptr; pair = pair->m_pNextPair) {
        if (pair->m_sKey.View() == wanted) {
            pair->m_sValue = value;
            matched = true;
        }
    }
    if (!matched)
        AddPair(key, value);
}

void FPropTree::SetInt(const FString& key, int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    SetValue(key, FString(text));
}

void FPropTree::SetDouble(const FString& key, double value)
{
    // The largest double needs 309 digits before the point; the buffer holds
    // every "%.4f" text in full.
    char text[kNumberTextSize];
    {
        FScopedCLocale cLocale;
        std::snprintf(text, sizeof text, "%.4f", value);
    }
    SetValue(key, FString(text));
}

void DeletePropTree(FPropTree*& tree)
{
    delete tree;
    tree = nullptr;
}
