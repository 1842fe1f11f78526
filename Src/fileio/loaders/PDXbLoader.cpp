#include "fileio/loaders/PDXbLoader.h"

#include "fileio/loaders/FDataRetrieverRequest.h"
#include "fileio/container/PdxbImageIO.h"
#include "foundation/FAssert.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"

#include <algorithm>
#include <cfloat>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kLoaderName = "PDXbLoader";

// Extended-data types with the word the update error names and the property
// key the value is published under (colour-adjust factors have no key of their
// own: the three make one text).
struct ExtDataField {
    int type;
    const char* updateName;
    const char* propertyKey;
};

constexpr ExtDataField kScalarExtData[] = {
    {PDXB_EXT_EXPOSURE, "EXPOSURE", "rpExposureCompensation"},
    {PDXB_EXT_CONTRAST, "CONTRAST", "rpContrast"},
    {PDXB_EXT_SHADOW, "SHADOW", "rpShadow"},
    {PDXB_EXT_HIGHLIGHT, "HIGHLIGHT", "rpHighlight"},
    {PDXB_EXT_SATURATION, "SATURATION", "rpSaturation"},
    {PDXB_EXT_SHARPNESS, "SHARPNESS", "rpSharpness"},
    {PDXB_EXT_FILLFLASH, "FILLFLASH", "rpFillFlash"},
    {PDXB_EXT_CHROMANOISE, "CHROMANOISE", "rpChromaNoise"},
    {PDXB_EXT_LUMANOISE, "LUMANOISE", "rpLumaNoise"},
};

constexpr ExtDataField kColorAdjustExtData[] = {
    {PDXB_EXT_COLOR_ADJ_RED, "COLOR ADJ RED", nullptr},
    {PDXB_EXT_COLOR_ADJ_GREEN, "COLOR ADJ GREEN", nullptr},
    {PDXB_EXT_COLOR_ADJ_BLUE, "COLOR ADJ BLUE", nullptr},
};

const char* ScalarExtDataKey(int type)
{
    for (const ExtDataField& field : kScalarExtData)
        if (field.type == type)
            return field.propertyKey;
    return nullptr;
}

// The raw image kinds of the container mapped to the managers' image kind codes.
int ImageKindCode(uint32_t sectionKind)
{
    switch (sectionKind) {
    case 0:
        return 2; // dark frame
    case 1:
        return 1; // raw frame
    case 2:
        return 4; // embedded preview
    case 3:
        return 3; // dark-subtracted frame
    default:
        return 0;
    }
}

// The header's name overrides what the camera recorded; the recorded value
// stays visible under the ORIG key.
void PublishNameOverride(FPropTree& tree, const char* key, const char* origKey, const char* headerName,
                         const char* defaultOrig)
{
    const FString header = headerName ? WideFromSystemText(headerName) : FString();
    if (FPropPair* recorded = tree.FindPair(FString(key))) {
        recorded->m_sKey = FString(origKey);
        const FString value = header.GetLength() > 0 ? header : recorded->m_sValue;
        tree.AddPair(FString(key), value);
    } else if (header.GetLength() > 0) {
        tree.AddPair(FString(key), header);
        tree.AddPair(FString(origKey), FString(defaultOrig));
    }
}

void PublishExtData(const FPdxbImageReader& reader, FPropTree& tree)
{
    const int slots = reader.GetExtDataCount();
    if (slots <= 0)
        return;
    double factors[3] = {-1.0, -1.0, -1.0};
    for (int slot = 0; slot < slots; ++slot) {
        const int type = reader.GetExtDataType(slot);
        const double value = reader.GetExtDataValue(slot);
        if (const char* key = ScalarExtDataKey(type))
            tree.SetDouble(FString(key), value);
        else if (type >= PDXB_EXT_COLOR_ADJ_RED && type <= PDXB_EXT_COLOR_ADJ_BLUE)
            factors[type - PDXB_EXT_COLOR_ADJ_RED] = value;
    }
    if (factors[0] == 0.0 || factors[1] == 0.0 || factors[2] == 0.0)
        factors[0] = factors[1] = factors[2] = 1.0;
    if (factors[0] != -1.0 && factors[1] != -1.0 && factors[2] != -1.0) {
        FString text;
        FormatColorAdjust(factors[0], factors[1], factors[2], text);
        tree.SetValue(FString("rpColorAdjust"), text);
    }
}

FString HexText(const uint8_t* bytes, int count)
{
    FNarrowString text;
    for (int i = 0; i < count; ++i)
        text += FNarrowString("%02X", static_cast<unsigned>(bytes[i])).GetText();
    return FString(text.GetText());
}

// The UTF-8 form the header's 8-bit name fields hold; null when the text is
// not valid UTF-16, which the writer then refuses.
std::unique_ptr<char[]> HeaderNameText(const FString& text) { return WideToAnsi(text.GetText()); }

float ClampToFloat(double value)
{
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

int64_t NormalisedRotation(int64_t degrees)
{
    degrees %= 360;
    return degrees < 0 ? degrees + 360 : degrees;
}

} // namespace

PDXbLoader::PDXbLoader() : FThreadedLoader(kLoaderName, &PDXbLoader::HandleRequest) {}

FILoader* CreatePDXbLoader() { return new PDXbLoader(); }

void PDXbLoader::Route(FDataRetrieverRequest& request)
{
    switch (request.m_iKind) {
    case LOADER_REQUEST_LOAD_IMAGE:
        RunOrQueueImage(request);
        break;
    case LOADER_REQUEST_LOAD_CAMFILE:
    case LOADER_REQUEST_LOAD_CAMB_FILE:
        m_LoadThread.QueueRequest(request);
        break;
    case LOADER_REQUEST_COUNT_IMAGES:
    case LOADER_REQUEST_GET_PROPERTIES:
    case LOADER_REQUEST_MODIFY_PROPERTIES:
    case LOADER_REQUEST_GET_UNIQUE_ID:
        m_LoadThread.RunNow(request);
        break;
    default:
        Refuse(request, "PDXbLoader:Request - invalid request.");
        break;
    }
}

FLoaderOutcome PDXbLoader::HandleRequest(FDataRetrieverRequest& request)
{
    return RunLoaderRequest<FExceptionPdxbReader>(kLoaderName, request, [&request](FLoaderOutcome& outcome) {
        auto reader = std::make_unique<FPdxbImageReader>(request.m_sURL);
        switch (request.m_iKind) {
        case LOADER_REQUEST_COUNT_IMAGES:
            request.SetIndexWord(reader->GetImageCount());
            outcome = FLoaderOutcome::Done();
            break;
        case LOADER_REQUEST_LOAD_IMAGE:
            outcome = LoadImage(*reader, request);
            break;
        case LOADER_REQUEST_LOAD_CAMFILE:
        case LOADER_REQUEST_LOAD_CAMB_FILE:
            outcome = LoadCamfile(*reader, request);
            break;
        case LOADER_REQUEST_GET_PROPERTIES:
            outcome = GetProperties(*reader, request);
            break;
        case LOADER_REQUEST_MODIFY_PROPERTIES:
            // The file is rewritten in place; no read handle stays open on it.
            reader.reset();
            outcome = ModifyProperties(request);
            break;
        case LOADER_REQUEST_GET_UNIQUE_ID:
            outcome = priGetUniqueID(*reader, request);
            break;
        default:
            outcome = FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, "PDXbLoader:HandleRequest - invalid request.");
            break;
        }
    });
}

FLoaderOutcome PDXbLoader::LoadImage(FPdxbImageReader& reader, FDataRetrieverRequest& request)
{
    // The index travels in a 32-bit word.
    const int index = static_cast<int32_t>(request.GetIndexWord());
    try {
        uint32_t columns = 0, rows = 0, sectionKind = 0;
        int32_t pixelType = 0;
        reader.GetImageInfo(index, columns, rows, pixelType, sectionKind);
        const int kindCode = ImageKindCode(sectionKind);
        request.SetFirstSizeWord(columns);
        request.SetSecondSizeWord(rows);
        request.SetPixelType(pixelType);
        request.SetImageKind(kindCode);

        FPixmap* pixmap = request.GetPixmap();
        if (!pixmap || kindCode == 0)
            return FLoaderOutcome::Done();
        const bool complete = reader.GetImage(index, pixmap, request.GetProgressStorage(), &request.m_bCancel);
        if (complete)
            return FLoaderOutcome::Done();
        if (request.IsCancelled())
            return FLoaderOutcome::Cancelled();
        return FLoaderOutcome::Error(LOADER_ERROR_READER_EXCEPTION,
                                     "PDXbLoader:LoadImage - error while reading image data");
    } catch (const FExceptionIndexOutOfRange&) {
        return FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST,
                                     FNarrowString("PDXbLoader:LoadImage index %d", index).GetText());
    }
}

FLoaderOutcome PDXbLoader::LoadCamfile(FPdxbImageReader& reader, FDataRetrieverRequest& request)
{
    const int count = reader.GetCamfileCount();
    if (count <= 0)
        return FLoaderOutcome::Error(LOADER_ERROR_NOT_IN_FILE,
                                     "PDXbLoader:LoadCamfile - no camfiles found in this file.");

    // Camfile kind 1 is a camera-data container, 0 a plain type-0 camfile.
    const int32_t wantedKind = request.m_iKind == LOADER_REQUEST_LOAD_CAMB_FILE ? 1 : 0;
    for (int index = 0; index < count; ++index) {
        uint32_t size = 0;
        int32_t kind = -1;
        reader.GetCamfileInfo(index, size, kind);
        request.SetIndexWord(size);
        if (kind != wantedKind)
            continue;
        request.SetFirstSizeWord(wantedKind + 1);

        uint8_t* buffer = request.GetCamfileBuffer();
        if (!buffer)
            return FLoaderOutcome::Done();
        // The caller sized its buffer by an earlier request; a file that has
        // grown since then is a failed read, never a write past the buffer.
        // The index word already tells the caller the size it needs now.
        if (size > request.GetCamfileBufferSize())
            return FLoaderOutcome::Error(LOADER_ERROR_READER_EXCEPTION,
                                         "PDXbLoader:LoadCamfile - error reading camfile.");
        const uint32_t delivered =
            reader.ReadCamfile(index, buffer, size, request.GetProgressStorage(), &request.m_bCancel);
        if (delivered >= size)
            return FLoaderOutcome::Done();
        if (request.IsCancelled())
            return FLoaderOutcome::Cancelled();
        return FLoaderOutcome::Error(LOADER_ERROR_READER_EXCEPTION, "PDXbLoader:LoadCamfile - error reading camfile.");
    }
    return FLoaderOutcome::Error(LOADER_ERROR_NOT_IN_FILE,
                                 "PDXbLoader:LoadCamfile - no camfile of the requested type found.");
}

FLoaderOutcome PDXbLoader::GetProperties(FPdxbImageReader& reader, FDataRetrieverRequest& request)
{
    FPropTree* tree = request.GetPropTree();
    if (!tree)
        return NullPropTreeOutcome(kLoaderName);

    reader.GetProperties(tree);
    const uint32_t rotation = reader.GetRotation();
    tree->SetInt(FString("MARKBITS"), static_cast<int>(reader.GetMarkBits()));
    tree->SetInt(FString("ROTATION"), static_cast<int>(rotation));
    tree->SetInt(FString("PROCESSABLE"), 1);
    PublishNameOverride(*tree, "WB_DESC", "WB_DESC_ORIG", reader.GetWhiteBalance(), "Auto");
    PublishNameOverride(*tree, "CM_DESC", "CM_DESC_ORIG", reader.GetColorMode(), "Standard");

    uint32_t columns = 0, rows = 0;
    reader.GetImageSize(columns, rows);
    if (rotation == 90 || rotation == 270)
        std::swap(columns, rows);
    tree->SetInt(FString("COLS"), static_cast<int>(columns));
    tree->SetInt(FString("ROWS"), static_cast<int>(rows));

    PublishExtData(reader, *tree);
    return priGetUniqueID(reader, request);
}

FLoaderOutcome PDXbLoader::priGetUniqueID(FPdxbImageReader& reader, FDataRetrieverRequest& request)
{
    FPropTree* tree = request.GetPropTree();
    if (!tree)
        return NullPropTreeOutcome(kLoaderName);
    const FString id = HexText(reader.GetUniqueID(), 16);
    tree->AddPair(FString("UNIQUEID"), id);
    tree->AddPair(FString("rpUniqueID"), id);
    return FLoaderOutcome::Done();
}

FLoaderOutcome PDXbLoader::ModifyProperties(FDataRetrieverRequest& request)
{
    const FPropTree* tree = request.GetPropTree();
    if (!tree)
        return NullPropTreeOutcome(kLoaderName);

    const FString* rotation = tree->GetValue(FString("ROTATION"), nullptr);
    bool hasMarkBits = false;
    const int markBits = tree->GetInt(FString("MARKBITS"), 0, &hasMarkBits);
    const FString* whiteBalance = tree->GetValue(FString("WB_DESC"), nullptr);
    const FString* colorMode = tree->GetValue(FString("CM_DESC"), nullptr);
    struct ScalarSetting {
        const ExtDataField* field;
        double value;
        bool present;
    };
    std::vector<ScalarSetting> scalars;
    bool anyScalar = false;
    for (const ExtDataField& field : kScalarExtData) {
        ScalarSetting setting{&field, 0.0, false};
        setting.value = tree->GetDouble(FString(field.propertyKey), 0.0, &setting.present);
        anyScalar = anyScalar || setting.present;
        scalars.push_back(setting);
    }
    const FString* colorAdjust = tree->GetValue(FString("rpColorAdjust"), nullptr);
    if (!rotation && !hasMarkBits && !whiteBalance && !colorMode && !anyScalar && !colorAdjust)
        return FLoaderOutcome::Done();

    FPdxbImageWriter writer(request.m_sURL, 0, 0, true);
    std::vector<std::string> failures;
    if (whiteBalance && !writer.SetWhiteBalance(HeaderNameText(*whiteBalance).get()))
        failures.push_back("WHITE BALANCE");
    if (colorMode && !writer.SetColorMode(HeaderNameText(*colorMode).get()))
        failures.push_back("COLOR MODE");

    if (failures.empty()) {
        if (hasMarkBits)
            writer.SetMarkBits(static_cast<uint32_t>(markBits));
        if (rotation) {
            int64_t degrees = tree->GetInt(FString("ROTATION"), 0);
            const char16_t first = rotation->GetLength() > 0 ? rotation->GetText()[0] : u'\0';
            if (first == u'+' || first == u'-')
                degrees += writer.GetRotation();
            writer.SetRotation(static_cast<uint32_t>(NormalisedRotation(degrees)));
        }
        for (const ScalarSetting& setting : scalars) {
            if (setting.present && !priSetPDXbExtData(writer, setting.field->type, setting.value)) {
                failures.push_back(setting.field->updateName);
                break;
            }
        }
    }
    if (failures.empty() && colorAdjust) {
        FDoubleTriple gains;
        ParseColorAdjust(gains, colorAdjust->GetText());
        for (int channel = 0; channel < 3; ++channel) {
            const ExtDataField& field = kColorAdjustExtData[channel];
            if (!priSetPDXbExtData(writer, field.type, gains[channel])) {
                failures.push_back(field.updateName);
                break;
            }
        }
    }

    if (failures.empty())
        return FLoaderOutcome::Done();
    std::string names;
    for (const std::string& name : failures)
        names += (names.empty() ? "" : ", ") + name;
    FString text("PDXbLoader::ModifyProperties: Error setting ");
    text += names.c_str();
    text += " in file ";
    text += request.m_sURL;
    return FLoaderOutcome::Error(LOADER_ERROR_MODIFY_FAILED, text);
}

bool PDXbLoader::priSetPDXbExtData(FPdxbImageWriter& writer, int type, double value)
{
    const int slots = std::min(writer.GetExtDataCount(), PDXB_EXT_DATA_SLOTS);
    if (slots <= 0)
        return false;
    int slotOfType = -1;
    int freeSlot = -1;
    for (int slot = 0; slot < slots; ++slot) {
        const int slotType = writer.GetExtDataType(slot);
        if (slotType == type) {
            if (slotOfType < 0)
                slotOfType = slot;
            else
                writer.SetExtDataType(slot, PDXB_EXT_FREE); // one slot per type
        } else if (slotType == PDXB_EXT_FREE && freeSlot < 0) {
            freeSlot = slot;
        }
    }
    if (slotOfType < 0) {
        if (freeSlot < 0) {
            DebugPrintf("PDXbLoader::priSetPDXbExtData: no free slots left!\n");
            return false;
        }
        DebugPrintf("Setting slot %d to type %d\n", freeSlot, type);
        if (!writer.SetExtDataType(freeSlot, static_cast<uint8_t>(type)))
            return false;
        slotOfType = freeSlot;
    }
    return writer.SetExtDataValue(slotOfType, ClampToFloat(value));
}
