#pragma once
// Asks the image core for one raw file's camera list: its illuminants (the
// white-balance choices) or its colour modes. The reader runs the request on
// a private manager of its own, so it needs no engine lock; the list is
// complete when the constructor returns. A file that is not a raw file, or
// whose camera data cannot be read, gives an empty list.

#include "foundation/FString.h"
#include "managers/IPManagerData.h"

#include <string>

class FIPManager;
class FPropPair;

class KVRPropsReader {
public:
    enum ListKind { kColorModes, kIlluminants };

    KVRPropsReader(const FString& nativePath, ListKind kind);
    KVRPropsReader(const KVRPropsReader&) = delete;
    KVRPropsReader& operator=(const KVRPropsReader&) = delete;
    ~KVRPropsReader();

    // The first pair of the list, null when the list is empty.
    const FPropPair* GetFirst() const;
    // Null for a null pair; otherwise the pair's key (the descriptor, UTF-8)
    // goes to key and the next pair is returned.
    const FPropPair* GetNext(const FPropPair* pair, std::string& key) const;

private:
    FIPManager* m_pManager;
    IPManagerData m_Request;
    FString m_sURL;
};
