#include "shell/facade/KVR_FileSettings.h"

#include "foundation/FCLocale.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPropTree.h"
#include "foundation/FSCDiskWin.h"
#include "managers/FIPManagerPool.h"
#include "managers/IPManagerData.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVRPropsReader.h"
#include "shell/facade/KVR_ApplicationState.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_Manager.h"
#include "shell/facade/KVR_Text.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace {

// The stored settings with the record field each one carries.
struct StoredAdjustment {
    const char* key;
    int32_t CKVR_FilterData::*field;
};

constexpr StoredAdjustment kStoredAdjustments[] = {
    {"rpExposureCompensation", &CKVR_FilterData::m_nExposure},
    {"rpContrast", &CKVR_FilterData::m_nContrast},
    {"rpShadow", &CKVR_FilterData::m_nShadow},
    {"rpHighlight", &CKVR_FilterData::m_nHighlight},
    {"rpSaturation", &CKVR_FilterData::m_nSaturation},
    {"rpSharpness", &CKVR_FilterData::m_nSharpness},
    {"rpFillFlash", &CKVR_FilterData::m_nFillLight},
};

// Display names of the descriptors the text table knows (compared byte for byte).
struct ChoiceName {
    const char* descriptor;
    int textId;
};

constexpr ChoiceName kColorModeNames[] = {
    {"Standard", kTextStandard}, {"Vivid ", kTextVivid},         {"Neutral", kTextNeutral},
    {"Portrait", kTextPortrait}, {"Landscape", kTextLandscape}, {kKVROriginalDescriptor, kTextOriginal},
};

constexpr ChoiceName kWhiteBalanceNames[] = {
    {"Sunlight", kTextSunlight},
    {"Daylight", kTextDaylight},
    {"Shade", kTextShade},
    {"Overcast", kTextOvercast},
    {"Incandescent", kTextIncandescent},
    {"Fluorescent", kTextFluorescent},
    {"Flash", kTextFlash},
    {"Auto", kTextAuto},
    {"Monochrome", kTextMonochrome},
    {"Custom", kTextCustom},
    {kKVROriginalDescriptor, kTextOriginal},
};

// Room for any property value the facade compares.
constexpr size_t kPropertyBufferSize = 1024;

bool IsFile(const FString& nativePath)
{
    bool folder = false;
    return nativePath.GetLength() > 0 && PathExists(nativePath, &folder) && !folder;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// A handle with its properties read, held with the engine lock for its life.
class OpenedHandle {
public:
    explicit OpenedHandle(const char16_t* nativePath)
        : m_pHandle(m_Lock.IsLocked() && nativePath ? KVR_OpenHandle(nativePath) : nullptr)
    {
    }
    OpenedHandle(const OpenedHandle&) = delete;
    OpenedHandle& operator=(const OpenedHandle&) = delete;
    ~OpenedHandle() { KVR_CloseHandle(m_pHandle); }

    CKVR_ImageHandle* Get() const { return m_pHandle; }
    explicit operator bool() const { return m_pHandle != nullptr; }

private:
    KVREngineLockScope m_Lock; // declared first: released after the handle is closed
    CKVR_ImageHandle* m_pHandle;
};

// Lifts a file's write protection for a scope and restores it on every way out.
class WriteProtectionLift {
public:
    explicit WriteProtectionLift(const FString& nativePath)
    {
        try {
            if (!NativePathToURL(nativePath, m_sURL))
                return;
            FFileInfo info;
            GetFileInfoByURL(m_sURL, info);
            if ((info.m_iFlags & FILEINFO_READONLY) == 0)
                return;
            info.m_iFlags &= ~FILEINFO_READONLY;
            m_bLifted = SetFileInfoByURL(m_sURL, info);
        } catch (...) {
            m_bLifted = false;
        }
    }
    WriteProtectionLift(const WriteProtectionLift&) = delete;
    WriteProtectionLift& operator=(const WriteProtectionLift&) = delete;
    ~WriteProtectionLift()
    {
        if (!m_bLifted)
            return;
        try {
            FFileInfo info;
            info.m_iFlags = FILEINFO_READONLY;
            SetFileInfoByURL(m_sURL, info);
        } catch (...) {
        }
    }

private:
    FString m_sURL;
    bool m_bLifted = false;
};

std::optional<std::string> PropertyOf(const CKVR_ImageHandle* handle, const char* name)
{
    char value[kPropertyBufferSize];
    if (!KVR_GetProperty(handle, name, value, sizeof value))
        return std::nullopt;
    return std::string(value);
}

long IntegerOf(const std::string& text)
{
    return std::strtol(text.c_str(), nullptr, 10);
}

// Degrees turned a quarter and brought into 0..359, whatever the file stored.
int TurnedRotation(long stored, bool clockwise)
{
    const long long turned = static_cast<long long>(stored % 360) + (clockwise ? 90 : 270);
    return static_cast<int>((turned % 360 + 360) % 360);
}

FString DisplayName(const char* descriptor, std::span<const ChoiceName> names)
{
    for (const ChoiceName& name : names) {
        if (std::strcmp(name.descriptor, descriptor) != 0)
            continue;
        FString text = KVR_GetApplicationState().GetString(name.textId);
        if (text.GetLength() > 0)
            return text;
        break;
    }
    return KVR_WideText(descriptor);
}

template <class T>
void AppendChoice(CKVR_Data_FileList<T>& list, const char* descriptor, std::span<const ChoiceName> names)
{
    auto item = std::make_unique<T>();
    KVR_CopyDescriptor(item->m_szDesc, descriptor);
    item->m_strName = DisplayName(item->m_szDesc, names);
    list.Add(std::move(item));
}

template <class T>
bool HasChoice(const CKVR_Data_FileList<T>& list, const char* descriptor)
{
    for (int i = 0; i < list.GetCount(); ++i)
        if (std::strcmp(list.GetAt(i)->m_szDesc, descriptor) == 0)
            return true;
    return false;
}

// The camera's choices from the reader, then the program's own (addOwn).
template <class T, class AddOwn>
int FillList(const char16_t* nativePath, CKVR_Data_FileList<T>* list, KVRPropsReader* (*createReader)(const char16_t*),
             std::span<const ChoiceName> names, AddOwn addOwn)
{
    if (!list)
        return 0;
    list->RemoveAll();
    list->m_strPath = FString(nativePath ? nativePath : u"");
    if (!nativePath || !IsFile(list->m_strPath))
        return 0;
    const std::unique_ptr<KVRPropsReader> reader(createReader(nativePath));
    if (!reader)
        return 0;
    std::string key;
    for (const FPropPair* pair = reader->GetFirst(); pair;) {
        pair = reader->GetNext(pair, key);
        AppendChoice(*list, key.c_str(), names);
    }
    addOwn(*list);
    return 1;
}

template <class T>
int FindIndex(const CKVR_ImageHandle* handle, const CKVR_Data_FileList<T>* list, const char* key)
{
    if (!handle || !list)
        return -1;
    const std::optional<std::string> value = PropertyOf(handle, key);
    if (!value)
        return -1;
    for (int i = 0; i < list->GetCount(); ++i)
        if (std::strcmp(list->GetAt(i)->m_szDesc, value->c_str()) == 0)
            return i;
    return -1;
}

// The descriptor at the index of the file's list from the application; none
// for a missing path, a folder, no list or an index outside it.
template <class T, class GetList>
std::optional<std::string> ChosenDescriptor(const char16_t* nativePath, int index, GetList getList)
{
    if (!nativePath || !IsFile(FString(nativePath)))
        return std::nullopt;
    CKVR_Data_FileList<T> list;
    if (!getList(FString(nativePath), list))
        return std::nullopt;
    const T* item = list.GetAt(index);
    return item ? std::optional<std::string>(item->m_szDesc) : std::nullopt;
}

// A property that holds one of the file's choices.
struct ChoiceProperty {
    const char* key;
    const char* originalKey;     // the camera's own choice
    const char* originalDefault; // when the file names none; null: nothing to go back to
    void (*set)(CKVR_ImageHandle*, const char*);
    bool renewsShootingInformation;
};

constexpr ChoiceProperty kColorModeChoice = {"CM_DESC", "CM_DESC_ORIG", "Standard", KVR_SetColorMode, true};
constexpr ChoiceProperty kWhiteBalanceChoice = {"WB_DESC", "WB_DESC_ORIG", nullptr, KVR_SetWhiteBalance, false};

// Writes the chosen descriptor ("Original": the camera's own) unless the file
// holds it already (compared without regard to case); 1 when written.
int ApplyChoice(const char16_t* nativePath, std::string chosen, const ChoiceProperty& property)
{
    int written = 0;
    {
        const OpenedHandle handle(nativePath);
        if (!handle)
            return 0;
        const std::string current = PropertyOf(handle.Get(), property.key).value_or(std::string());
        if (EqualsIgnoringCase(chosen, kKVROriginalDescriptor)) {
            const std::optional<std::string> original = PropertyOf(handle.Get(), property.originalKey);
            if (original && original->find_first_not_of(' ') != std::string::npos)
                chosen = *original;
            else if (property.originalDefault)
                chosen = property.originalDefault;
            else
                return 0;
        }
        if (EqualsIgnoringCase(chosen, current))
            return 0;
        property.set(handle.Get(), chosen.c_str());
        written = KVR_WriteProperties(handle.Get());
    }
    if (written && property.renewsShootingInformation)
        KVR_GetApplicationState().RemoveExif(FString(nativePath));
    return written;
}

// A stored decimal value: "%.4f" in the "C" conventions.
std::string DecimalText(double value)
{
    const FScopedCLocale cLocale;
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

} // namespace

int KVR_RotateFile(const char16_t* nativePath, int direction)
{
    if (!nativePath || !IsFile(FString(nativePath)))
        return 0;
    const WriteProtectionLift lift(FString{nativePath}); // restored after the handle is closed
    const OpenedHandle handle(nativePath);
    if (!handle)
        return 0;
    const std::optional<std::string> stored = PropertyOf(handle.Get(), "ROTATION");
    if (!stored)
        return 0;
    const std::string turned = std::to_string(TurnedRotation(IntegerOf(*stored), direction != 0));
    if (!KVR_SetProperty(handle.Get(), "ROTATION", turned.c_str()))
        return 0;
    return KVR_WriteProperties(handle.Get());
}

int KVR_GetMarkBits(const CKVR_ImageHandle* handle, int* bits)
{
    const std::optional<std::string> value = PropertyOf(handle, "MARKBITS");
    if (!value)
        return 0;
    if (bits)
        *bits = static_cast<int>(IntegerOf(*value));
    return 1;
}

int KVR_GetFileMarkBits(const char16_t* nativePath, int* bits)
{
    const OpenedHandle handle(nativePath);
    return handle ? KVR_GetMarkBits(handle.Get(), bits) : 0;
}

int KVR_WriteFilterData(CKVR_ImageHandle* handle, const CKVR_FilterData* settings)
{
    if (!handle || !settings)
        return 0;
    const KVREngineLockScope lock;
    if (!lock.IsLocked())
        return 0;
    for (const StoredAdjustment& adjustment : kStoredAdjustments) {
        const int32_t value = settings->*adjustment.field;
        if (value != kKVRUnsetValue)
            KVR_SetProperty(handle, adjustment.key, DecimalText(value / 100.0).c_str());
    }
    if (settings->m_nCyan != kKVRUnsetValue && settings->m_nMagenta != kKVRUnsetValue &&
        settings->m_nYellow != kKVRUnsetValue) {
        char text[64];
        FormatCMYText(text, sizeof text, settings->m_nCyan, settings->m_nMagenta, settings->m_nYellow);
        KVR_SetProperty(handle, "rpColorAdjust", text);
    }
    return KVR_WriteProperties(handle);
}

int KVR_WriteFileFilterData(const char16_t* nativePath, const CKVR_FilterData* settings)
{
    const OpenedHandle handle(nativePath);
    return handle ? KVR_WriteFilterData(handle.Get(), settings) : 0;
}

int KVR_GetFilterData(CKVR_ImageHandle* handle, CKVR_FilterData* settings, int autoFlag, int run,
                      KVRProgressCallback callback, void* user)
{
    if (!handle || !settings)
        return 0;
    int result = 1;
    if (autoFlag) {
        if (run) {
            const KVREngineLockScope lock;
            if (!lock.IsLocked())
                return 0;
            KVR_EnableAutoAdjust(handle);
            KVRProgressContext context{handle, callback, user};
            if (!KVR_ProcessWithProgress(handle, KVR_ProgressTrampoline, &context))
                return 0;
        }
        if (!KVR_GetAutoFilterData(handle, settings))
            return 0;
    } else {
        const FScopedCLocale cLocale;
        for (const StoredAdjustment& adjustment : kStoredAdjustments) {
            const std::optional<std::string> text = PropertyOf(handle, adjustment.key);
            settings->*adjustment.field = text ? KVR_HundredthsOf(std::strtod(text->c_str(), nullptr)) : 0;
            result = text ? result : 0;
        }
        int cyan = 0, magenta = 0, yellow = 0;
        if (const std::optional<std::string> text = PropertyOf(handle, "rpColorAdjust"))
            ParseCMYText(cyan, magenta, yellow, text->c_str());
        else
            result = 0;
        settings->m_nCyan = cyan;
        settings->m_nMagenta = magenta;
        settings->m_nYellow = yellow;
    }
    settings->m_nAuto = autoFlag;
    return result;
}

int KVR_WriteFileNoiseReduction(const char16_t* nativePath, const CKVR_FilterData* settings)
{
    if (!settings)
        return 0;
    int written = 0;
    {
        const OpenedHandle handle(nativePath);
        if (!handle)
            return 0;
        if (settings->m_nChromaNoise >= 0)
            KVR_SetProperty(handle.Get(), "rpChromaNoise", DecimalText(settings->m_nChromaNoise * 0.25).c_str());
        if (settings->m_nLumaNoise >= 0)
            KVR_SetProperty(handle.Get(), "rpLumaNoise", DecimalText(settings->m_nLumaNoise * 0.25).c_str());
        written = KVR_WriteProperties(handle.Get());
    }
    if (written)
        KVR_GetApplicationState().RemoveExif(FString(nativePath));
    return written;
}

int KVR_ApplyColorModeToFile(const char16_t* nativePath, const CKVR_FilterData* settings)
{
    const std::optional<std::string> chosen = ChosenDescriptor<CKVR_CMData>(
        nativePath, settings ? settings->m_nColorMode : -1,
        [](const FString& path, CKVR_Data_FileList<CKVR_CMData>& list) {
            return KVR_GetApplicationState().GetColorModeList(path, list);
        });
    return chosen ? ApplyChoice(nativePath, *chosen, kColorModeChoice) : 0;
}

int KVR_ApplyWhiteBalanceToFile(const char16_t* nativePath, const CKVR_FilterData* settings)
{
    const std::optional<std::string> chosen = ChosenDescriptor<CKVR_WBData>(
        nativePath, settings ? settings->m_nWhiteBalance : -1,
        [](const FString& path, CKVR_Data_FileList<CKVR_WBData>& list) {
            return KVR_GetApplicationState().GetWBList(path, list);
        });
    return chosen ? ApplyChoice(nativePath, *chosen, kWhiteBalanceChoice) : 0;
}

int KVR_FillColorModeList(const char16_t* nativePath, CKVR_Data_FileList<CKVR_CMData>* list)
{
    return FillList(nativePath, list, KVR_CreateColorModeList, kColorModeNames, [](auto& filled) {
        if (filled.GetCount() > 0)
            AppendChoice(filled, kKVROriginalDescriptor, kColorModeNames);
    });
}

int KVR_FillWhiteBalanceList(const char16_t* nativePath, CKVR_Data_FileList<CKVR_WBData>* list)
{
    return FillList(nativePath, list, KVR_CreateIlluminantList, kWhiteBalanceNames, [](auto& filled) {
        for (const char* own : {"Auto", "Monochrome"})
            if (!HasChoice(filled, own))
                AppendChoice(filled, own, kWhiteBalanceNames);
        AppendChoice(filled, kKVROriginalDescriptor, kWhiteBalanceNames);
    });
}

int KVR_FindColorModeIndex(const CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_CMData>* list, int original)
{
    return FindIndex(handle, list, original ? "CM_DESC_ORIG" : "CM_DESC");
}

int KVR_FindWhiteBalanceIndex(const CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_WBData>* list,
                              int original)
{
    return FindIndex(handle, list, original ? "WB_DESC_ORIG" : "WB_DESC");
}

int KVR_GetFileWhiteBalanceIndex(const char16_t* nativePath, const CKVR_Data_FileList<CKVR_WBData>* list,
                                 int original)
{
    if (!list || !nativePath || !IsFile(FString(nativePath)))
        return -1;
    const OpenedHandle handle(nativePath);
    return handle ? KVR_FindWhiteBalanceIndex(handle.Get(), list, original) : -1;
}

int KVR_GetNeutralAtPoint(const char16_t* nativePath, int x, int y, FDoubleTriple* gains)
{
    if (!nativePath)
        return 0;
    const KVREngineLockScope lock;
    if (!lock.IsLocked())
        return 0;
    FString url;
    if (!NativePathToURL(FString(nativePath), url))
        return 0;
    IPManagerData request;
    request.Reset();
    request.SetURL(url);
    request.m_eKind = kIPRequestNeutralAtPoint;
    request.m_PickPoint = FIntPoint(x, y);
    FIPManager* pool = GetIPManagerPool();
    pool->Request(&request);
    while (request.m_Result.IsPending())
        pool->Idle();
    ReleaseIPManager(pool);
    if (request.m_Result.m_eStatus != kIPStatusDone)
        return 0;
    if (gains)
        *gains = request.m_ColorAdjust;
    return 1;
}
