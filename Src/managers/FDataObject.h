#pragma once
// The data retriever's view of a file's image or camera data kept in the image
// cache. Each object holds its own lock on the entry, so the data stay while
// any object refers to them; references are counted in the owner's thread.
#include <cstdint>
#include <memory>

class FICacheObject;
class FPixmap;
class IPRequestResult;

enum : int32_t {
    kDataObjectImage = 0,
    kDataObjectCamfile = 1,
};

// The headers of the retriever's entries, at the start of their blocks. Each
// keeps the result of the last load into it, so a later request for the same
// entry knows whether the data are there.
struct FFileImageEntryHeader {
    uint32_t m_uTag;        // kFileImageEntryTag
    int32_t m_iImageType;   // 1 raw, 2 dark, 3 dark-subtracted, 4 preview
    FPixmap* m_pPixmap;
    IPRequestResult* m_pResult;
};
struct FFileCamfileEntryHeader {
    uint32_t m_uTag;        // kFileCamfileEntryTag
    int32_t m_iCamfileType; // 1 plain, 2 camera data
    uint32_t m_uByteCount;
    uint8_t* m_pData;
    IPRequestResult* m_pResult;
};
// 'MIDC' and 'FCDC' as they lie in memory.
constexpr uint32_t kFileImageEntryTag = 0x4344494D;
constexpr uint32_t kFileCamfileEntryTag = 0x43444346;

class FIDataObject {
public:
    virtual void AddRef() = 0;
    virtual void Release() = 0;
    virtual int32_t GetType() = 0;
    // Image entries only (0 or null otherwise).
    virtual int32_t GetImageType() = 0;
    virtual FPixmap* GetPixmap() = 0;
    // Camera-data entries only (0 or null otherwise).
    virtual uint32_t GetCamfileSize() = 0;
    virtual int32_t GetCamfileType() = 0;
    virtual uint8_t* GetCamfileData() = 0;

protected:
    virtual ~FIDataObject() = default;
};

class FDataObject final : public FIDataObject {
public:
    // Takes a lock of its own on the entry; one reference, the creator's.
    FDataObject(FICacheObject* entry, int32_t type);
    FDataObject(const FDataObject&) = delete;
    FDataObject& operator=(const FDataObject&) = delete;

    void AddRef() override { ++m_iRefCount; }
    void Release() override;
    int32_t GetType() override { return m_iType; }
    int32_t GetImageType() override;
    FPixmap* GetPixmap() override;
    uint32_t GetCamfileSize() override;
    int32_t GetCamfileType() override;
    uint8_t* GetCamfileData() override;

    FICacheObject* GetEntry() const { return m_pEntry; }

private:
    ~FDataObject() override;

    FICacheObject* m_pEntry;
    int32_t m_iRefCount = 1;
    int32_t m_iType;
};

// Releases a data object and clears the pointer.
inline void ReleaseDataObject(FIDataObject*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}
