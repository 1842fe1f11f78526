// The shooting information of files as the browser shows it: a raw file's
// texts and stored settings, JPEG files with and without the mark entry, TIFF
// files by their EXIF pointer, files without information, marking through the
// managers and in place, and the cache of records.

#include "shell/facade/CTLM_Exif.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FPath.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_Exif_Manager.h"
#include "support/BuildTree.h"
#include "support/PictureFileBuilder.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/PictureFiles.h"
#include "FacadeFileTestSupport.h"
#include "FacadeTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// The value field of IFD0's entry with the tag in a little-endian TIFF; 0 when none.
size_t Ifd0ValueAt(const std::string& tiff, uint16_t tag)
{
    const auto u16 = [&](size_t at) { return uint16_t(uint8_t(tiff[at]) | uint8_t(tiff[at + 1]) << 8); };
    const auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    if (tiff.size() < 8 || tiff.compare(0, 2, "II") != 0)
        return 0;
    const size_t ifd = u32(4);
    for (size_t i = 0, count = u16(ifd); i < count; ++i)
        if (u16(ifd + 2 + 12 * i) == tag)
            return ifd + 2 + 12 * i + 8;
    return 0;
}

void PutU32At(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = char(value >> (8 * i));
}

class ShootingInformationTest : public SyntheticShotTest {
protected:
    static void SetUpTestSuite()
    {
        SetUpShot();
    }
    static void TearDownTestSuite()
    {
        SyntheticShotTest::TearDownTestSuite();
    }
    void SetUp() override { EmptyTheCache(); }
    void TearDown() override { EXPECT_TRUE(EngineLockIsFree()); }

    FString Write(const std::string& name, const std::string& bytes) const
    {
        WriteFileBytes(PathOf(name), bytes);
        return Native(name);
    }
    FString Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }
    FString Native(const std::string& name) const { return PathFromNative(PathOf(name).string()); }
    FString WriteRaw(const std::string& name) const { return Write(name, s_Shot->file.bytes); }

    // A JPEG of the camera's kind: Make, the EXIF IFD with ISO 200, the mark entry when given.
    FString WriteJpeg(const std::string& name, std::optional<uint32_t> mark, std::optional<uint16_t> orientation) const
    {
        ExifFields fields;
        fields.markFlag = mark;
        fields.orientation = orientation;
        return Write(name, QuarterJpeg(32, 24, &fields));
    }
    // An uncompressed TIFF written by the toolkit with the items of such a JPEG.
    std::string TiffBytes() const
    {
        const FString jpeg = WriteJpeg("source.jpg", 1u, 1);
        CET_ExifData items;
        BITMAPINFO header{};
        CET_PictLoadRequest request;
        request.path = jpeg;
        request.header = &header;
        request.exif = &items;
        std::unique_ptr<BYTE, void (*)(BYTE*)> bits(LoadPictBits(request), DeleteDibBits);
        const CET_GDIPlus codecs;
        EXPECT_EQ(SaveDibAsImageFile(Native("made.tif"), &header, bits.get(), 1, &codecs, 0, FString(), &items,
                                     FString()),
                  1);
        return ReadFileBytes(PathOf("made.tif"));
    }

    RecordingApplicationState m_State;
};


} // namespace

TEST_F(ShootingInformationTest, ARawFilesTextsAndStoredSettings)
{
    const FString path = WriteRaw("shot.kvr");
    {
        KVREngineLockScope lock;
        CKVR_ImageHandle* handle = KVR_OpenHandle(path.GetText());
        KVR_SetExposure(handle, -0.456);
        ASSERT_EQ(KVR_WriteProperties(handle), 1);
        KVR_CloseHandle(handle);
    }
    const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(path);
    ASSERT_TRUE(record->HasEntry());
    EXPECT_EQ(record->GetPath(), path);
    EXPECT_TRUE(record->CanMark());
    EXPECT_TRUE(record->HasOrientationTag());
    EXPECT_FALSE(record->IsMarked());
    EXPECT_EQ(record->GetCameraModel(), FString(u"TALVO KT9"));
    EXPECT_EQ(record->GetIso(), FString(u"100"));
    EXPECT_EQ(record->GetAperture(), FString(u"F5.6"));
    EXPECT_EQ(record->GetWBDesc(), FString(u"Daylight"));
    EXPECT_EQ(record->GetCMDesc(), FString(u"Standard"));
    EXPECT_EQ(record->GetSerialNumber(), FString(u"00130013"));
    EXPECT_EQ(record->GetQuality(), FString(u" ")) << "a text the file does not carry";
    EXPECT_GT(record->GetShutter().GetLength(), 1);
    EXPECT_GT(record->GetDate().GetLength(), 1);
    EXPECT_EQ(record->GetImageWidth(), int(s_Shot->truth.outputColumns));
    EXPECT_EQ(record->GetImageHeight(), int(s_Shot->truth.outputRows));
    EXPECT_EQ(record->GetRotation(), 0);

    CKVR_FilterData settings;
    settings.m_nChromaNoise = 3;
    ASSERT_TRUE(record->GetFilterData(&settings));
    EXPECT_EQ(settings.m_nExposure, -46) << "-0.456 read back to the nearest hundredth";
    EXPECT_EQ(settings.m_nContrast, 0) << "a raw file without a stored value develops with 0";
    EXPECT_EQ(settings.m_nCyan, 0);
    EXPECT_EQ(settings.m_nWhiteBalance, -1);
    EXPECT_EQ(settings.m_nColorMode, -1);
    EXPECT_EQ(settings.m_nChromaNoise, 3) << "the noise fields are not touched";
    EXPECT_GT(settings.m_strName.GetLength(), 0);
}

TEST_F(ShootingInformationTest, AJpegCanBeMarkedOnlyWithItsMarkEntry)
{
    struct Case {
        const char* name;
        std::optional<uint32_t> mark;
        std::optional<uint16_t> orientation;
        bool canMark, marked, orientationTag;
    };
    const Case cases[] = {
        {"with a set mark", 1u, 6, true, true, true},
        {"with a cleared mark", 0u, std::nullopt, true, false, false},
        {"without the mark entry", std::nullopt, 1, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FString path = WriteJpeg("photo.jpg", c.mark, c.orientation);
        const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(path);
        ASSERT_TRUE(record->HasEntry());
        EXPECT_EQ(record->CanMark(), c.canMark);
        EXPECT_EQ(record->IsMarked(), c.marked);
        EXPECT_EQ(record->HasOrientationTag(), c.orientationTag);
        EXPECT_EQ(record->GetIso(), FString(u"200"));
        if (!c.canMark)
            continue;
        ASSERT_TRUE(record->SetMarked(!c.marked));
        EXPECT_EQ(record->IsMarked(), !c.marked);
        EXPECT_EQ(CTLM_Exif::Create(path)->IsMarked(), !c.marked) << "the file itself changed";
    }

    // A locked file keeps its mark, and so does its record.
    const FString locked = WriteJpeg("locked.jpg", 1u, std::nullopt);
    std::filesystem::permissions(PathOf("locked.jpg"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(locked);
    EXPECT_TRUE(record->IsLocked());
    EXPECT_FALSE(record->SetMarked(false));
    EXPECT_TRUE(record->IsMarked());
}

TEST_F(ShootingInformationTest, ATiffIsReadByItsExifPointer)
{
    std::string good = TiffBytes();
    const size_t pointerAt = Ifd0ValueAt(good, 0x8769);
    ASSERT_NE(pointerAt, 0u);
    std::string badPointer = good;
    PutU32At(badPointer, pointerAt, uint32_t(good.size() + 100));
    EXPECT_EQ(CTLM_Exif::Create(Write("bad.tif", badPointer))->GetCameraModel(), FString(u"TALVO  "))
        << "what IFD0 holds is still read";

    // Structures of IFD0 alone whose EXIF version can be read there.
    const auto versionInIfd0 = [](uint16_t compression) {
        ExifFields fields;
        ExifBytes b(false);
        fields.ifd0Extra = {b.Short(259, compression), b.Undefined(0x9000, {'0', '2', '3', '0'})};
        return BuildExifStructure(fields);
    };
    std::vector<uint8_t> unsound = versionInIfd0(1);
    std::string unsoundBytes(unsound.begin(), unsound.end());
    PutU32At(unsoundBytes, Ifd0ValueAt(unsoundBytes, 0x8769), uint32_t(unsound.size()));
    const std::vector<uint8_t> compressed = versionInIfd0(5);
    const std::vector<uint8_t> sound = versionInIfd0(1);

    struct Case {
        const char* name;
        std::string bytes;
        bool loaded;
        const char16_t* iso; // as the managers read it
    };
    const Case cases[] = {
        {"an uncompressed TIFF", good, true, u"200"},
        {"an EXIF pointer beyond the end (no EXIF version can be read)", badPointer, true, u" "},
        {"an EXIF version and a pointer to the end", unsoundBytes, false, u""},
        {"an EXIF version and compressed rows", std::string(compressed.begin(), compressed.end()), false, u""},
        {"an EXIF version and a sound pointer", std::string(sound.begin(), sound.end()), true, u" "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FString path = Write("picture.tif", c.bytes);
        EmptyTheCache();
        const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(path);
        EXPECT_EQ(record->HasEntry(), c.loaded);
        EXPECT_EQ(record->GetPath().GetLength() > 0, c.loaded);
        EXPECT_FALSE(record->CanMark() && !c.loaded);
        EXPECT_EQ(record->GetIso(), FString(c.iso));
    }
}

TEST_F(ShootingInformationTest, FilesWithoutShootingInformationGiveEmptyRecords)
{
    const PictureBytes bmp = MakeBmp({});
    const std::pair<const char*, std::string> files[] = {
        {"picture.bmp", std::string(bmp.begin(), bmp.end())},
        {"picture.png", "\x89PNG\r\n\x1a\n but no more of it"},
        {"movie.mp4", std::string(64, '\0')},
        {"missing.jpg", ""},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const FString path = std::string(name) == "missing.jpg" ? Native(name) : Write(name, bytes);
        const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(path);
        EXPECT_FALSE(record->HasEntry());
        EXPECT_EQ(record->GetPath().GetLength(), 0);
        EXPECT_EQ(record->GetCameraModel().GetLength(), 0);
        EXPECT_EQ(record->GetColorSpace(), -1);
        EXPECT_EQ(record->GetImageWidth(), 0);
        EXPECT_EQ(record->GetRotation(), 0);
        EXPECT_FALSE(record->CanMark());
        EXPECT_FALSE(record->HasOrientationTag());
        CKVR_FilterData settings;
        EXPECT_FALSE(record->GetFilterData(&settings));
        EXPECT_FALSE(record->SetMarked(true));
        EXPECT_FALSE(record->SetLocked(true));
    }

    // An AVI movie is read through the managers, which know nothing of it.
    const FString movie = Write("movie.avi", std::string("RIFF\x10\0\0\0AVI LIST", 16));
    const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(movie);
    ASSERT_TRUE(record->HasEntry());
    EXPECT_EQ(record->GetCameraModel(), FString(u" "));
    EXPECT_EQ(record->GetIso(), FString(u" "));
    EXPECT_FALSE(record->CanMark());
    EXPECT_FALSE(record->HasOrientationTag());
    CKVR_FilterData settings;
    ASSERT_TRUE(record->GetFilterData(&settings));
    EXPECT_EQ(settings.m_nExposure, kKVRUnsetValue) << "a file that stores no settings";
    EXPECT_EQ(settings.m_nCyan, kKVRUnsetValue);
}

TEST_F(ShootingInformationTest, ARawFileIsMarkedThroughTheManagers)
{
    const FString path = WriteRaw("shot.kvr");
    const FString locked = WriteRaw("locked.kvr");
    std::filesystem::permissions(PathOf("locked.kvr"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    for (const FString& file : {path, locked}) {
        SCOPED_TRACE(file.GetAscii());
        const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(file);
        ASSERT_TRUE(record->SetMarked(true));
        EXPECT_TRUE(record->IsMarked());
        EXPECT_EQ(FileProperty(file, "MARKBITS"), "1");
    }
    EXPECT_FALSE(std::filesystem::status(PathOf("locked.kvr")).permissions() == std::filesystem::perms::none);
    EXPECT_EQ(std::filesystem::status(PathOf("locked.kvr")).permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::none)
        << "locked again";
}

TEST_F(ShootingInformationTest, RecordsAreCopiedAndCachedByPath)
{
    const FString path = WriteJpeg("photo.jpg", 1u, 1);
    const std::unique_ptr<CTLM_Exif> source = CTLM_Exif::Create(path);
    CTLM_Exif copy;
    copy.CopyFrom(source.get());
    copy.SetMarkedFlag(false);
    EXPECT_TRUE(source->IsMarked()) << "a deep copy";
    EXPECT_EQ(copy.GetPath(), path);
    copy.CopyFrom(nullptr);
    EXPECT_FALSE(copy.HasEntry());
    EXPECT_EQ(copy.GetPath().GetLength(), 0);
    EXPECT_TRUE(copy.CanMark() && copy.HasOrientationTag()) << "the flags stay";

    CTLM_Exif_Manager cache;
    CTLM_Exif* cached = cache.FindOrCreate(path);
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cache.FindOrCreate(path), cached) << "read once";
    EXPECT_EQ(cache.Find(Native("PHOTO.jpg")), nullptr) << "paths are compared exactly";
    int index = -1;
    EXPECT_EQ(cache.Find(path, &index), cached);
    EXPECT_EQ(index, 0);

    CTLM_Exif changed;
    changed.CopyFrom(cached);
    changed.SetMarkedFlag(false);
    cache.Update(Native("other.jpg"), &changed);
    EXPECT_EQ(cache.GetCount(), 1) << "an update creates nothing";
    cache.Update(path, &changed);
    EXPECT_FALSE(cached->IsMarked());

    const FString png = Write("picture.png", std::string("not a picture"));
    const CTLM_Exif* empty = cache.FindOrCreate(png);
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->HasEntry());
    EXPECT_EQ(cache.GetCount(), 1) << "a file without information is not kept";

    cache.Remove(path);
    EXPECT_EQ(cache.Find(path), nullptr);
    cache.FindOrCreate(path);
    cache.RemoveAll();
    EXPECT_EQ(cache.GetCount(), 0);
}
