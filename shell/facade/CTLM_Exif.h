#pragma once
// The shooting information of one file, as every window that shows or
// changes it works with it: the file's native path and, once read, its
// browsed-file entry (the properties turned into display texts), with whether
// the file can carry the program's mark and whether its orientation is a tag.
//
// Reading costs a properties request through the manager pool under the engine
// lock (taken here), so the application keeps one cache of these records
// (CTLM_Exif_Manager) and hands out copies; callers work on their copies
// without any lock.
//
// Copies share the entry until one of them changes it (the entry of a copy is
// never changed in place while another record holds it), so the cache and
// the browser's items hold one entry per file, not one each.
//
// A text the file does not carry is a single space " "; a record that was
// never read gives empty texts and the numeric defaults (-1 colour space,
// 0 otherwise).

#include "foundation/FString.h"

#include <cstdint>
#include <memory>

class CKVR_FilterData;
class FImageFileListEntry;

class CTLM_Exif {
public:
    CTLM_Exif();
    ~CTLM_Exif();
    // Records are copied with CopyFrom.
    CTLM_Exif(const CTLM_Exif&) = delete;
    CTLM_Exif& operator=(const CTLM_Exif&) = delete;

    // Clears, then reads the file's properties into a new entry through the
    // manager pool, holding the engine lock; the two flags stay. A file whose
    // properties cannot be read gets an entry formatted from an empty list.
    // True when the properties were read.
    bool Load(const FString& nativePath);
    // A new record by file type: raw files and AVI movies are loaded (raw
    // files can be marked and turn by tag); other files only when their EXIF
    // items are readable, and then by the EXIF rules (a TIFF file with an EXIF
    // version only when uncompressed with a sound EXIF pointer). A file whose
    // items cannot be read gives an empty record (no path, no entry).
    static std::unique_ptr<CTLM_Exif> Create(const FString& nativePath);
    // Empties the path and drops the entry; the flags stay.
    void Clear();
    // Clear, then with a source its path, a copy of its entry and both flags.
    void CopyFrom(const CTLM_Exif* source);

    FString GetPath() const { return m_sPath; }
    bool HasEntry() const { return m_pEntry != nullptr; }

    bool IsMarked() const;
    bool IsLocked() const;
    // In memory only; nothing without an entry.
    void SetMarkedFlag(bool marked);
    // Marks or unmarks the file itself: a raw file through the manager pool
    // (under the engine lock), any other file in its maker note. On failure
    // the record keeps its old mark. False without an entry.
    bool SetMarked(bool marked);
    // Sets or clears the file's write protection; false without an entry.
    bool SetLocked(bool locked);
    bool CanMark() const { return m_bMarkCapable; }
    void SetMarkCapable(bool capable) { m_bMarkCapable = capable; }
    bool HasOrientationTag() const { return m_bOrientationTag; }
    void SetHasOrientationTag(bool hasTag) { m_bOrientationTag = hasTag; }

    int GetColorSpace() const;       // -1 without an entry
    double GetChromaNoise() const;   // 0 without an entry
    double GetLumaNoise() const;
    int GetImageWidth() const;       // COLS
    int GetImageHeight() const;      // ROWS
    int GetRotation() const;         // degrees; 0 without an entry
    // The capture time (TIME) in seconds since 1970; 0 without an entry or a time.
    uint32_t GetCaptureTime() const;
    // The stored adjustments into the record (values the file does not store
    // become kKVRUnsetValue; others the hundredths, rounded), white balance and
    // colour mode -1, the setting mode as the name; the automatic flag and the
    // noise fields stay. False without an entry.
    bool GetFilterData(CKVR_FilterData* settings) const;

    FString GetUniqueId() const;
    FString GetCameraModel() const;
    FString GetQuality() const;
    FString GetSoftware() const;
    FString GetExifTime() const;
    FString GetExifDate() const;
    FString GetSerialNumber() const;
    FString GetFlash() const;
    FString GetDriveMode() const;
    FString GetFirmware() const;
    FString GetAFMode() const;
    FString GetWBDescOrig() const;
    FString GetCMDesc() const;
    FString GetWBDesc() const;
    FString GetFocalLength() const;
    FString GetMeteringMode() const;
    FString GetProgramMode() const;
    FString GetExposureComp() const;
    FString GetResolution() const;
    FString GetIso() const;
    FString GetShutter() const;
    FString GetAperture() const;
    FString GetTime() const;
    FString GetDate() const;

private:
    FString priText(const FString& (FImageFileListEntry::*getter)() const) const;
    // The entry, this record's own before it is changed.
    FImageFileListEntry& priOwnEntry();

    FString m_sPath;
    std::shared_ptr<FImageFileListEntry> m_pEntry;
    bool m_bMarkCapable = false;
    bool m_bOrientationTag = false;
};
