#pragma once
// The program's general property list: a tree of named nodes, each holding an
// ordered list of key/value pairs of wide text. Readers fill it with what they
// find in a file, the engine and the managers read settings from it, and the
// interface shows its values.
//
// Keys may repeat inside one node and are compared exactly (same UTF-16 units,
// case-sensitive). Every getter reads only the first pair of a key, so a later
// duplicate never changes what is read; SetValue rewrites all of them so the
// duplicates keep agreeing. Numbers and booleans are kept as text and converted
// on every read, always with the "C" conventions, so stored lists read back the
// same whatever the process locale.
//
// A node owns its pairs and its children; destroying a node destroys its whole
// subtree and unlinks it from its parent. A tree has one user at a time.

#include "foundation/FString.h"

class FPropTree;

class FPropPair {
public:
    FPropPair(FPropTree* owner, const char* key, const char* value);
    FPropPair(FPropTree* owner, const FString& key, const FString& value);
    FPropPair(const FPropPair&) = delete;
    FPropPair& operator=(const FPropPair&) = delete;

    // The next pair of the owner's list, or null.
    FPropPair* GetNext() const { return m_pNextPair; }
    FPropTree* GetOwner() const { return m_pOwner; }

    FString m_sKey;
    FString m_sValue;

private:
    friend class FPropTree;

    FPropPair* m_pPrevPair = nullptr;
    FPropPair* m_pNextPair = nullptr;
    FPropTree* m_pOwner;
};

class FPropTree {
public:
    // A node named by a narrow text (bytes widened by sign extension), appended
    // as the last child of parent; a null parent makes a root.
    FPropTree(FPropTree* parent, const char* name);
    // A node with the model's name only (no value, pairs or children).
    FPropTree(FPropTree* parent, const FPropTree& model);
    FPropTree(const FPropTree&) = delete;
    FPropTree& operator=(const FPropTree&) = delete;
    ~FPropTree();

    // Moves this node to the end of parent's child list (out of its current
    // parent first); null makes it a root. Throws FException when parent is
    // this node or lies inside its subtree.
    void SetParent(FPropTree* parent);
    // Deletes every child and every pair; the node stays where it is.
    void Clear();

    // A deep copy (name, pairs and children in order; not the node's own value)
    // appended under parent, or a new root.
    FPropTree* Clone(FPropTree* parent) const;
    FPropTree* Clone() const { return Clone(nullptr); }

    FPropPair* GetFirstPair() const { return m_pPropPairs; }
    FPropTree* GetParent() const { return m_pParent; }
    FPropTree* GetFirstChild() const { return m_pFirstChild; }
    FPropTree* GetNextSibling() const { return m_pNextSibling; }
    FPropTree* GetPrevSibling() const { return m_pPrevSibling; }

    // Appends a pair even when the key is already present; false when it cannot
    // be allocated. A null narrow text counts as "".
    bool AddPair(const char* key, const char* value);
    bool AddPair(const FString& key, const FString& value);
    // Appends copies of all of other's pairs, in order; null does nothing.
    void CopyPairs(const FPropTree* other);
    // Deletes the pair and nulls the caller's pointer when it belongs to this
    // node; otherwise returns false and changes nothing.
    bool RemovePair(FPropPair*& pair);
    // The first pair with exactly this key, or null.
    FPropPair* FindPair(const FString& key) const;

    // The getters read the first pair of the key only. found, when given, is
    // cleared first and set as each getter describes.
    //
    // The first pair's value (found set), or defaultValue.
    const FString* GetValue(const FString& key, const FString* defaultValue, bool* found = nullptr) const;
    // A decimal integer: leading white space, an optional sign, the digits up to
    // the first other character; no digits gives 0 and an out-of-range number
    // the nearest 32-bit limit. A missing key or an empty value gives the
    // default and leaves found false.
    int GetInt(const FString& key, int defaultValue, bool* found = nullptr) const;
    // The leading floating-point number of the first 511 units (non-ASCII units
    // read as '?'); no number gives 0.0. Missing or empty as for GetInt.
    double GetDouble(const FString& key, double defaultValue, bool* found = nullptr) const;
    // found is set as soon as the key exists. Only the exact words of the
    // boolean table count; any other text gives the default.
    bool GetBool(const FString& key, bool defaultValue, bool* found = nullptr) const;

    // Every pair of the key gets the value; without one a pair is appended.
    void SetValue(const FString& key, const FString& value);
    // Written as printf "%i".
    void SetInt(const FString& key, int value);
    // Written as printf "%.4f" (four decimals, no exponent), in full for any
    // magnitude.
    void SetDouble(const FString& key, double value);

    FString m_sName;
    // A value of the node itself; empty when made, not copied by the clones.
    FString m_sValue;

private:
    void AppendPair(FPropPair* pair);
    void AppendChild(FPropTree* child);
    void UnlinkFromParent();
    void DeleteAllPairs();
    bool IsInSubtree(const FPropTree* node) const;

    FPropPair* m_pPropPairs = nullptr;
    FPropPair* m_pLastPair = nullptr;
    FPropTree* m_pPrevSibling = nullptr;
    FPropTree* m_pNextSibling = nullptr;
    FPropTree* m_pParent = nullptr;
    FPropTree* m_pFirstChild = nullptr;
    FPropTree* m_pLastChild = nullptr;
};

// Deletes the node with its subtree and nulls the pointer; null does nothing.
void DeletePropTree(FPropTree*& tree);
