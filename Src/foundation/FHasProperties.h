#pragma once
// A map of named narrow-text properties that an object (an image) carries.
// Keys are unique and ordered byte-wise (unsigned bytes, a shorter prefix
// first); FPropertyIterator walks them in that order. A map receives entries
// only by being copied from another one; derived classes may fill their own
// map through PropertyMap().

#include "foundation/FString.h"

#include <cstddef>
#include <map>

using FPropertyMap = std::map<FNarrowString, FNarrowString>;

class FPropertyIterator {
public:
    // Starts at the map's first entry. Valid while the map is not changed.
    explicit FPropertyIterator(const FPropertyMap& map);

    void Reset() { m_Current = m_First; }
    bool IsDone() const { return m_Current == m_End; }
    // Advances one entry; true while the new position is not the end. At the
    // end it stays there and returns false.
    bool Next();
    // Throw FExceptionEndOfList at the end.
    const char* GetKey() const;
    const char* GetValue() const;

private:
    FPropertyMap::const_iterator m_Current;
    FPropertyMap::const_iterator m_First;
    FPropertyMap::const_iterator m_End;
};

class FHasProperties {
public:
    FHasProperties() = default;
    FHasProperties(const FHasProperties& other) = default;
    FHasProperties& operator=(const FHasProperties& other) = default;
    virtual ~FHasProperties();

    // Keys are compared as plain bytes; a null key counts as "".
    bool HasProperty(const char* key) const;
    // The entry's value (valid while the entry exists), or defaultText.
    const char* GetProperty(const char* key, const char* defaultText) const;
    // The default when there is no entry, without reading anything; otherwise
    // the value by StringToDouble, which throws FExceptionConversion.
    double GetPropertyDouble(const char* key, double defaultValue) const;
    // True when an entry was removed.
    bool RemoveProperty(const char* key);
    size_t GetPropertyCount() const { return m_Properties.size(); }
    FPropertyIterator GetIterator() const { return FPropertyIterator(m_Properties); }

protected:
    FPropertyMap& PropertyMap() { return m_Properties; }
    const FPropertyMap& PropertyMap() const { return m_Properties; }

private:
    FPropertyMap m_Properties;
};

// One floating-point number in the "C" conventions: leading white space is
// skipped and trailing characters are ignored. Throws FExceptionConversion
// when the text does not start with a number (null counts as "").
double StringToDouble(const char* text);
