#pragma once
// A raw file's white-balance and colour-mode choices: the item records, the
// per-file list that owns them (an item's position is the index a
// CKVR_FilterData refers to) and the cache of such lists, one per file path.
//
// Nothing here locks: the application reaches its two caches only under their
// own locks and hands out copies.

#include "foundation/FPath.h"
#include "foundation/FString.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

// Bytes of an item's descriptor, its terminating zero included.
inline constexpr size_t kKVRDescriptorSize = 80;

// Copies text into a descriptor of kKVRDescriptorSize bytes, cut to one byte
// less and always terminated; the bytes after the text are zeroed. Null gives "".
inline void KVR_CopyDescriptor(char* descriptor, const char* text)
{
    std::memset(descriptor, 0, kKVRDescriptorSize);
    if (text)
        std::memcpy(descriptor, text, strnlen(text, kKVRDescriptorSize - 1));
}

// One choice: the name shown to the user and the descriptor exactly as the
// image core names it (the WB_DESC or CM_DESC value, for example "Vivid " with
// its trailing space, or the program's own "Original"). Descriptors compare
// byte for byte.
struct KVRChoiceData {
    KVRChoiceData() = default;
    // Empty name, every descriptor byte zero.
    void Clear()
    {
        m_strName.Empty();
        std::memset(m_szDesc, 0, sizeof m_szDesc);
    }

    FString m_strName;
    char m_szDesc[kKVRDescriptorSize] = {};
};

struct CKVR_WBData : KVRChoiceData {};
struct CKVR_CMData : KVRChoiceData {};

template <class T>
class CKVR_Data_FileList {
public:
    CKVR_Data_FileList() = default;
    CKVR_Data_FileList(const CKVR_Data_FileList&) = delete;
    CKVR_Data_FileList& operator=(const CKVR_Data_FileList&) = delete;

    int GetCount() const { return static_cast<int>(m_aItems.size()); }
    // Null outside 0 .. count - 1.
    T* GetAt(int index) const
    {
        return index >= 0 && index < GetCount() ? m_aItems[static_cast<size_t>(index)].get() : nullptr;
    }
    // The list takes the item over.
    void Add(std::unique_ptr<T> item) { m_aItems.push_back(std::move(item)); }
    // Empties the path as well as the items.
    void RemoveAll()
    {
        m_strPath.Empty();
        m_aItems.clear();
    }
    // Empty after a null other; otherwise other's path and a copy of each item.
    void CopyFrom(const CKVR_Data_FileList* other)
    {
        RemoveAll();
        if (!other || other == this)
            return;
        m_strPath = other->m_strPath;
        for (const auto& item : other->m_aItems)
            if (item)
                m_aItems.push_back(std::make_unique<T>(*item));
    }

    FString m_strPath; // native path of the raw file (the cache key)
    std::vector<std::unique_ptr<T>> m_aItems;
};

// The lists of every file asked for so far. A list is made on first demand by
// the filler and cached even when filling failed (an empty list for the path),
// so a file that yields no list is not asked again.
template <class T>
class CKVR_Data_FileListArray {
public:
    using List = CKVR_Data_FileList<T>;
    // Fills a new list for a path (it already holds the path).
    using Filler = std::function<void(const FString& path, List& list)>;

    explicit CKVR_Data_FileListArray(Filler filler = {}) : m_Filler(std::move(filler)) {}
    CKVR_Data_FileListArray(const CKVR_Data_FileListArray&) = delete;
    CKVR_Data_FileListArray& operator=(const CKVR_Data_FileListArray&) = delete;

    // The first list of that path, paths compared exactly (PathEquals); its
    // position goes to index when given. Null when none matches.
    List* FindByPath(const FString& path, int* index = nullptr) const
    {
        for (size_t i = 0; i < m_aLists.size(); ++i) {
            if (PathEquals(m_aLists[i]->m_strPath, path)) {
                if (index)
                    *index = static_cast<int>(i);
                return m_aLists[i].get();
            }
        }
        return nullptr;
    }
    List* FindOrAdd(const FString& path)
    {
        if (List* found = FindByPath(path))
            return found;
        m_aLists.push_back(CreateList(path));
        return m_aLists.back().get();
    }
    std::unique_ptr<List> CreateList(const FString& path) const
    {
        auto list = std::make_unique<List>();
        list->m_strPath = path;
        if (m_Filler)
            m_Filler(path, *list);
        // A filler that failed half-way still leaves the list for this path.
        list->m_strPath = path;
        return list;
    }
    void DeleteAll() { m_aLists.clear(); }
    int GetCount() const { return static_cast<int>(m_aLists.size()); }

private:
    Filler m_Filler;
    std::vector<std::unique_ptr<List>> m_aLists;
};
