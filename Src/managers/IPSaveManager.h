#pragma once
// Develops a raw file and writes it as a JPEG or TIFF file without ever
// holding the whole developed picture: a thumbnail first, then the file's
// properties with the settings used, then the colour profile of the output
// space, then the rows, developed in strips of at most 500 rows (each a
// develop request of its own with two rows of context above and below) and
// written one by one through a line writer.
//
// A sub-manager of one per-image worker: its properties, thumbnail and strip
// requests go to that worker through its back door, and the worker's Idle
// advances them. The file is written under a temporary name beside the final
// one and put in place only when complete, so a failed or cancelled save
// leaves nothing behind and never replaces an existing file with a broken one.
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"

#include <cstdint>
#include <memory>

class FImageLineWriter;
class FPropTree;
class FTemporaryOutputFile;

// Rows of one strip at most, and context rows on each side of a strip.
constexpr int32_t kSaveStripRows = 500;
constexpr int32_t kSaveStripMargin = 2;

// The thumbnail asked for a picture of columns x rows: 160 x 160 (which the
// develop fits to the picture's shape) while that square holds at most 21800
// of the picture's pixels, else about 21800 pixels of its shape. 0 x 0 for a
// picture without size.
FIntSize SaveThumbnailSize(int32_t columns, int32_t rows);

// The "rpSettingMode" text of a setting-mode code and custom setting name.
FString SaveSettingModeText(int32_t settingMode, const FString& settingName);

class IPSaveManager final : public FIPManager {
public:
    enum : int {
        kStateIdle = 0,
        kStateBegin = 1,
        kStateRequestProperties = 2,
        kStateWaitProperties = 3,
        kStateCreateThumbnail = 4,
        kStateWriteProperties = 5,
        kStateRequestStrip = 6,
        kStateWriteStrip = 7,
        kStateFinish = 8,
    };

    // worker is the owning worker's back door; it must outlive this.
    explicit IPSaveManager(FIPManager* worker);
    IPSaveManager(const IPSaveManager&) = delete;
    IPSaveManager& operator=(const IPSaveManager&) = delete;
    // A request still held ends cancelled; its file is removed.
    ~IPSaveManager() override;

    bool IsBusy() override { return m_pRequest != nullptr; }
    void Idle() override;
    // Refuses at once, before any file exists, what cannot be saved: an output
    // format other than 24-bit or (TIFF only) 48-bit RGB, a file type other
    // than TIFF (1) or JPEG (2), no output path, an empty size, and a crop that
    // is empty, inverted or outside the output size.
    void Request(IPManagerData* request) override;

private:
    void priProcessIdle();
    void priRunState(int state);
    void priFail(int32_t error, const char* text);
    void priEndRequest();
    // The sub-request a copy of the held request, with its own trees and no
    // result image; the caller's cancel flag comes along.
    void priCopyHeldRequest();
    // False with the request failed when the sub-request still runs.
    bool priSubRequestFree(const char* busyText);
    // Copies a finished sub-request's outcome into the request; true when done.
    bool priSubRequestDone();

    void priSaveBegin();
    void priSaveRequestProperties();
    void priSaveWaitProperties();
    void priSaveCreateThumbnail();
    void priSaveWriteProperties();
    void priWriteProfile();
    void priSaveRequestStrip();
    void priSaveWriteStrip();
    void priSaveFinish();
    void priSaveCleanup();

    FIPManager* m_pWorker;
    int m_iState = kStateIdle;
    IPManagerData* m_pRequest = nullptr;
    IPManagerData m_SubRequest;
    std::unique_ptr<FTemporaryOutputFile> m_pOutputFile;
    std::unique_ptr<FImageLineWriter> m_pWriter;
    int32_t m_iTotalRows = 0;
    int32_t m_iRowsWritten = 0;
    FPropTree* m_pProps = nullptr; // the properties written into the file, owned
    int32_t m_iTopMargin = 0;
    int32_t m_iBottomMargin = 0;
    int32_t m_iStripRows = 0;
    int32_t m_iColumns = 0; // COLS of the file
    int32_t m_iRows = 0;    // ROWS of the file
};

FIPManager* CreateSaveManager(FIPManager* worker);
