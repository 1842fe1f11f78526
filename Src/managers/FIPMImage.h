#pragma once
// A result image: a cached pixmap handed to a caller, with the picture's
// properties and its histogram. The image keeps its cache entry locked for its
// whole life, so the pixels cannot be evicted under the caller. Counted
// references belong to the thread that drives the manager.
#include <cstdint>
#include <memory>

class FICacheObject;
class FIHistogram;
class FPixmap;
class FPropTree;

class FIPMImage {
public:
    virtual FPixmap* GetPixmap() = 0;
    // The properties (may be null); SetProperties takes ownership of the new tree.
    virtual FPropTree* GetProperties() = 0;
    virtual void SetProperties(FPropTree* properties) = 0;
    // Null before the first GetHistogram.
    virtual FIHistogram* GetCachedHistogram() = 0;
    // Counts the pixmap again on every call.
    virtual FIHistogram* GetHistogram() = 0;
    virtual void AddRef() = 0;
    // Deletes the image at the last reference, which gives its entry lock back.
    virtual void Release() = 0;

protected:
    virtual ~FIPMImage() = default;
};

namespace FIPMCommon {

class Image final : public FIPMImage {
public:
    // Takes a lock of its own on the entry, which must be a pixmap entry; the
    // reference count starts at 1.
    explicit Image(FICacheObject* entry);
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    FPixmap* GetPixmap() override;
    FPropTree* GetProperties() override { return m_pProperties.get(); }
    void SetProperties(FPropTree* properties) override;
    FIHistogram* GetCachedHistogram() override { return m_pHistogram.get(); }
    FIHistogram* GetHistogram() override;
    void AddRef() override { ++m_iRefCount; }
    void Release() override;

private:
    ~Image() override;

    FICacheObject* m_pEntry;
    std::unique_ptr<FPropTree> m_pProperties;
    std::unique_ptr<FIHistogram> m_pHistogram;
    int32_t m_iRefCount = 1;
};

} // namespace FIPMCommon
