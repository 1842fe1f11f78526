// The main frame's file operations on files in a temporary folder, with a
// frame that records what the pane, the review windows and the palettes are
// told: deleting with write-protected files, locking and marking, the setting
// writes of raw files, rotating one file and a selection on the rotation
// worker, the dispatch of the file-operation message and the hand-over text.

#include "shell/fileops/CFrameFileOperations.h"

#include "platform/win/WinUser.h"
#include "shell/app/AppMessages.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/FacadeFileTestSupport.h"
#include "shell/facade/KVR_FileSettings.h"
#include "toolkit/CET_ExifData.h"
#include "FileOpsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

constexpr int kOk = 11, kCancel = 12, kYes = 13, kNo = 14;

class FrameFileOperationsTest : public FileOpsFolderTest {
protected:
    void SetUp() override { m_Data = std::make_unique<ScopedEnv>("XDG_DATA_HOME", (m_Dir.Path() / "data").string()); }

    SentMessage Sent(UINT message, const std::string& name, LPARAM lParam) const
    {
        return {message, Path(name), lParam};
    }
    std::string Property(const std::string& name, const char* key) const { return FileProperty(Path(name), key); }
    // The orientation tag of a JPEG; 0 without one.
    int Orientation(const std::string& name) const
    {
        CET_ExifData items;
        if (!items.ReadFile(Path(name)))
            return 0;
        const PropertyItem* item = items.FindItem(0x0112);
        return item && item->value ? *static_cast<const uint16_t*>(item->value) : 0;
    }

    std::unique_ptr<ScopedEnv> m_Data;
    FakeFrame m_Frame;
    CFrameFileOperations m_Ops{m_Frame};
};

// ---- Delete

TEST_F(FrameFileOperationsTest, DeleteAsksAboutWriteProtectedFilesAndAnnouncesOnlyTheDeleted)
{
    const FString a = Jpeg("a.jpg", true), b = Raw("b.kvr"), c = Jpeg("c.jpg", true);
    Protect(c, true);
    m_Frame.answers = {kOk};
    m_Ops.DeleteImages({a, b, c}, true);

    EXPECT_EQ(m_Frame.questions, std::vector<std::string>{"style 1 text 1049"});
    EXPECT_FALSE(Exists("a.jpg"));
    EXPECT_FALSE(Exists("b.kvr"));
    EXPECT_TRUE(Exists("c.jpg"));
    EXPECT_TRUE(std::filesystem::exists(m_Dir.Path() / "data/Trash/files/a.jpg"));
    EXPECT_EQ(m_Frame.reviewFrames, (std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.jpg", 0x40000),
                                                               Sent(WM_APP_FILE_OPERATION, "b.kvr", 0x40000)}));
    EXPECT_EQ(m_Frame.pane.Calls(), (std::vector<std::string>{"list", "buttons", "view-event-1"}));
    EXPECT_EQ(m_Frame.fileListChanged, 1);
}

TEST_F(FrameFileOperationsTest, DeleteQuestionsByConfirmationAndProtection)
{
    struct Case {
        bool confirm, protect;
        int answer;
        std::vector<std::string> questions;
        bool deleted;
    };
    const Case cases[] = {
        {true, false, kOk, {"style 1 text 1050"}, true},
        {true, false, kCancel, {"style 1 text 1050"}, false},
        {false, false, kCancel, {}, true}, // a review window's request asks nothing
        {false, true, kOk, {"style 1 text 1049"}, true},
        {false, true, kCancel, {"style 1 text 1049"}, false},
    };
    for (const Case& c : cases) {
        FakeFrame frame;
        frame.answers = {c.answer};
        const FString free = Jpeg("free.jpg", true), kept = Jpeg("kept.jpg", true);
        Protect(kept, c.protect);
        std::vector<FString> paths{free};
        if (c.protect)
            paths.push_back(kept);
        CFrameFileOperations(frame).DeleteImages(paths, c.confirm);
        EXPECT_EQ(frame.questions, c.questions) << c.confirm << c.protect << c.answer;
        EXPECT_EQ(!Exists("free.jpg"), c.deleted) << c.confirm << c.protect << c.answer;
        EXPECT_EQ(frame.reviewFrames.size(), c.deleted ? 1u : 0u);
        EXPECT_TRUE(Exists("kept.jpg"));
        Protect(kept, false);
    }
}

TEST_F(FrameFileOperationsTest, DeleteTellsTheSingleSelectionOnlyAndDropsTheRecords)
{
    const FString gone = Jpeg("gone.jpg", true), stays = Jpeg("stays.jpg", true);
    CTLM_Exif record;
    m_Frame.GetExif(gone, &record);
    m_Frame.infoPaletteOpen = true;
    m_Frame.pane.selected = {stays};
    m_Ops.DeleteImages({gone}, false);
    EXPECT_FALSE(m_Frame.cache.IsCached(gone));
    EXPECT_EQ(m_Frame.infoPalette, std::vector<SentMessage>{Sent(WM_APP_SHOW_INFO, "stays.jpg", 0)});
    EXPECT_EQ(m_Frame.pane.Calls().back(), "view-event-1 stays.jpg");

    FakeFrame several;
    several.infoPaletteOpen = true;
    several.pane.selected = {stays, Jpeg("other.jpg", true)};
    CFrameFileOperations(several).DeleteImages({Jpeg("again.jpg", true)}, false);
    EXPECT_TRUE(several.infoPalette.empty());
    EXPECT_EQ(several.pane.Calls().back(), "buttons");
}

// ---- Lock and mark

TEST_F(FrameFileOperationsTest, LockSetsAndClearsTheWriteProtectionAndTheCache)
{
    const FString raw = Raw("a.kvr"), jpeg = Jpeg("b.jpg", true);
    m_Ops.LockImages({raw, jpeg}, true);
    EXPECT_TRUE(IsProtected(raw));
    EXPECT_TRUE(IsProtected(jpeg));
    EXPECT_TRUE(m_Frame.cache.CachedLocked(raw));
    m_Ops.LockImages({raw}, false);
    EXPECT_FALSE(IsProtected(raw));
    EXPECT_FALSE(m_Frame.cache.CachedLocked(raw));
    EXPECT_EQ(m_Frame.reviewFrames, (std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x30002),
                                                               Sent(WM_APP_FILE_OPERATION, "b.jpg", 0x30002),
                                                               Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x30001)}));
    EXPECT_EQ(m_Frame.fileListChanged, 2);
}

TEST_F(FrameFileOperationsTest, AFileWithoutShootingInformationIsNeitherLockedNorMarked)
{
    const FString bare = Write("bare.jpg", QuarterJpeg(16, 16)); // no EXIF block
    m_Ops.LockImages({bare}, true);
    m_Ops.MarkImages({bare}, true);
    EXPECT_FALSE(IsProtected(bare));
    EXPECT_TRUE(m_Frame.reviewFrames.empty());
}

TEST_F(FrameFileOperationsTest, ThePaneListsAgainOnlyWhenItsStateFilterDependsOnTheChange)
{
    struct Case {
        bool lock;
        int filter;
        std::string expected;
    };
    const Case cases[] = {
        {true, 0, "reread a.kvr"}, {true, 3, "list"}, {true, 4, "list"}, {true, 1, "reread a.kvr"},
        {false, 1, "list"},        {false, 2, "list"}, {false, 3, "reread a.kvr"},
    };
    const FString raw = Raw("a.kvr");
    for (const Case& c : cases) {
        FakeFrame frame;
        frame.pane.stateFilter = c.filter;
        frame.infoPaletteOpen = true;
        if (c.lock)
            CFrameFileOperations(frame).LockImages({raw}, false);
        else
            CFrameFileOperations(frame).MarkImages({raw}, false);
        EXPECT_EQ(frame.pane.Calls(), (std::vector<std::string>{c.expected, "buttons"})) << c.lock << c.filter;
        EXPECT_EQ(frame.infoPalette, (std::vector<SentMessage>{{WM_APP_SHOW_INFO, FString(), 0}}));
    }
}

TEST_F(FrameFileOperationsTest, MarkWritesTheFileAndKeepsItsLock)
{
    const FString raw = Raw("a.kvr"), marked = Jpeg("m.jpg", true, true), plain = Jpeg("p.jpg", true, false);
    Protect(raw, true);
    m_Ops.MarkImages({raw, marked, plain}, true);
    EXPECT_EQ(Property("a.kvr", "MARKBITS"), "1");
    EXPECT_TRUE(IsProtected(raw));
    CTLM_Exif record;
    m_Frame.GetExif(marked, &record);
    EXPECT_TRUE(record.IsMarked());
    // A JPEG without the maker note's mark entry cannot carry a mark: nothing happens.
    EXPECT_EQ(m_Frame.reviewFrames, (std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x20002),
                                                               Sent(WM_APP_FILE_OPERATION, "m.jpg", 0x20002)}));
}

// ---- The setting writes of raw files

TEST_F(FrameFileOperationsTest, NoiseStepsAreWrittenFromIso400OnlyAndTheLockIsRestored)
{
    for (const auto& [speed, written] : {std::pair{u"200", false}, std::pair{u"400", true}}) {
        std::vector<uint8_t> bytes = s_RawIso800->file.bytes;
        const std::u16string key = u"ISO", old = u"800";
        const auto at = std::search(bytes.begin(), bytes.end(), reinterpret_cast<const uint8_t*>(key.data()),
                                    reinterpret_cast<const uint8_t*>(key.data() + key.size()));
        const auto value = std::search(at, bytes.end(), reinterpret_cast<const uint8_t*>(old.data()),
                                       reinterpret_cast<const uint8_t*>(old.data() + old.size()));
        ASSERT_NE(value, bytes.end());
        std::copy_n(reinterpret_cast<const uint8_t*>(speed), 6, value);
        const std::string name = "iso" + Utf8FromWide(FString(speed)) + ".kvr";
        const FString path = Write(name, bytes);
        ASSERT_EQ(Property(name, "ISO"), Utf8FromWide(FString(speed)));
        FakeFrame frame;
        CFrameFileOperations(frame).OnNoiseChanged(reinterpret_cast<WPARAM>(&path), 2 | (2 << 16));
        EXPECT_EQ(Property(name, "rpChromaNoise") == "0.5000", written) << name;
        EXPECT_EQ(frame.reviewFrames.size(), written ? 1u : 0u) << name;
    }

    const FString low = Raw("iso100.kvr"), high = Raw("iso800.kvr", true);
    Protect(high, true);
    m_Frame.infoPaletteOpen = true;
    const LPARAM steps = 3 | (1 << 16);
    m_Ops.OnNoiseChanged(reinterpret_cast<WPARAM>(&low), steps);
    EXPECT_TRUE(m_Frame.reviewFrames.empty());
    EXPECT_TRUE(m_Frame.infoPalette.empty());
    EXPECT_TRUE(m_Frame.pane.Calls().empty());

    m_Ops.OnNoiseChanged(reinterpret_cast<WPARAM>(&high), steps);
    EXPECT_EQ(Property("iso800.kvr", "rpChromaNoise"), "0.7500");
    EXPECT_EQ(Property("iso800.kvr", "rpLumaNoise"), "0.2500");
    EXPECT_TRUE(IsProtected(high));
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_NOISE_CHANGED, "iso800.kvr", steps)});
    EXPECT_EQ(m_Frame.infoPalette, std::vector<SentMessage>{Sent(WM_APP_NOISE_CHANGED, "iso800.kvr", 0)});
    EXPECT_EQ(m_Frame.pane.Calls(), (std::vector<std::string>{"reread iso800.kvr", "selection-info"}));
}

TEST_F(FrameFileOperationsTest, WhiteBalanceIsWrittenThroughTheLockAndTheFileIsReadAgain)
{
    const FString raw = Raw("a.kvr");
    CTLM_Exif before;
    m_Frame.GetExif(raw, &before);
    Protect(raw, true);
    m_Frame.cache.RemoveExif(raw); // the cache knows the lock
    m_Frame.GetExif(raw, &before);
    ASSERT_TRUE(before.IsLocked());

    CKVR_Data_FileList<CKVR_WBData> list;
    ASSERT_EQ(KVR_FillWhiteBalanceList(raw.GetText(), &list), 1);
    // Another camera choice than the file's own.
    int shade = -1;
    const std::string own = Property("a.kvr", "WB_DESC");
    for (int i = 0; i < list.GetCount() && shade < 0; ++i) {
        const std::string descriptor = list.GetAt(i)->m_szDesc;
        if (descriptor != own && descriptor != "Original" && descriptor != "Auto" && descriptor != "Monochrome")
            shade = i;
    }
    ASSERT_GE(shade, 0);
    m_Ops.OnWBChanged(reinterpret_cast<WPARAM>(&raw), shade);
    EXPECT_EQ(Property("a.kvr", "WB_DESC"), std::string(list.GetAt(shade)->m_szDesc));
    EXPECT_TRUE(IsProtected(raw));
    EXPECT_TRUE(m_Frame.cache.IsCached(raw));
    EXPECT_EQ(m_Frame.cache.settingsDropped, std::vector<FString>{raw});
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_WB_CHANGED, "a.kvr", shade)});
}

TEST_F(FrameFileOperationsTest, SettingsAreWrittenIntoRawFilesOnly)
{
    const FString raw = Raw("a.kvr"), jpeg = Jpeg("b.jpg", true);
    CKVR_FilterData settings;
    settings.m_nExposure = 150;
    m_Ops.OnSettingsWritten(reinterpret_cast<WPARAM>(&jpeg), reinterpret_cast<LPARAM>(&settings));
    EXPECT_TRUE(m_Frame.reviewFrames.empty());

    m_Ops.OnSettingsWritten(reinterpret_cast<WPARAM>(&raw), reinterpret_cast<LPARAM>(&settings));
    EXPECT_EQ(Property("a.kvr", "rpExposureCompensation"), "1.5000");
    const LPARAM record = reinterpret_cast<LPARAM>(&settings);
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_SAVE_SETTINGS, "a.kvr", record)});
    EXPECT_EQ(m_Frame.adjustPalette, std::vector<SentMessage>{Sent(WM_APP_SAVE_SETTINGS, "a.kvr", record)});
    EXPECT_EQ(m_Frame.pane.Calls(), std::vector<std::string>{"reread a.kvr"});
}

// ---- Rotation

TEST_F(FrameFileOperationsTest, ReviewWindowRotationTurnsRawFilesAndTaggedPicturesInPlace)
{
    const FString raw = Raw("a.kvr"), tagged = Jpeg("t.jpg", true);
    const FString rawPair[2] = {raw, raw}, taggedPair[2] = {tagged, tagged};
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(rawPair), 0x10002);
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(taggedPair), 0x10001);
    EXPECT_EQ(Property("a.kvr", "ROTATION"), "90");
    EXPECT_EQ(Orientation("t.jpg"), 8);
    EXPECT_EQ(m_Frame.reviewFrames, (std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x10002),
                                                               Sent(WM_APP_FILE_OPERATION, "t.jpg", 0x10001)}));
    EXPECT_EQ(m_Frame.pane.Calls(), (std::vector<std::string>{"rotate-cw a.kvr", "rotate-ccw t.jpg"}));
}

TEST_F(FrameFileOperationsTest, ReviewWindowRotationNeverLiftsALockAndAnnouncesNoFailure)
{
    const FString tagged = Jpeg("t.jpg", true);
    Protect(tagged, true);
    const FString pair[2] = {tagged, tagged};
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(pair), 0x10002);
    EXPECT_EQ(Orientation("t.jpg"), 1);
    EXPECT_TRUE(IsProtected(tagged));
    EXPECT_TRUE(m_Frame.reviewFrames.empty());

    // A picture without orientation tag is turned into the destination.
    const FString plain = Jpeg("p.jpg", false), turned = Path("p-turned.jpg");
    const FString into[2] = {plain, turned};
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(into), 0x10002);
    EXPECT_TRUE(Exists("p-turned.jpg"));
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "p-turned.jpg", 0x10002)});
}

TEST_F(FrameFileOperationsTest, RotatingThreeFilesPostsProgressAndKeepsLocks)
{
    m_Frame.pane.selected = {Raw("a.kvr"), Raw("b.kvr"), Jpeg("c.jpg", true)};
    Protect(m_Frame.pane.selected[1], true);
    m_Frame.infoPaletteOpen = true;
    m_Ops.RotateSelection(true);

    EXPECT_EQ(m_Frame.progress.posted,
              (std::vector<std::pair<int, int>>{{0, -1}, {33, 0}, {66, 0}, {100, 0}, {100, 1}}));
    EXPECT_EQ(Property("a.kvr", "ROTATION"), "90");
    EXPECT_EQ(Property("b.kvr", "ROTATION"), "90");
    EXPECT_TRUE(IsProtected(m_Frame.pane.selected[1]));
    EXPECT_EQ(Orientation("c.jpg"), 6);
    EXPECT_EQ(m_Frame.pane.Calls(),
              (std::vector<std::string>{"stop-loader", "rotate-cw a.kvr", "rotate-cw b.kvr", "rotate-cw c.jpg", "redraw",
                                        "rotate-cw"}));
    EXPECT_EQ(m_Frame.reviewFrames, (std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x10002),
                                                               Sent(WM_APP_FILE_OPERATION, "b.kvr", 0x10002),
                                                               Sent(WM_APP_FILE_OPERATION, "c.jpg", 0x10002)}));
    EXPECT_TRUE(m_Frame.infoPalette.empty()); // several selected
}

TEST_F(FrameFileOperationsTest, PicturesWithoutTagAskForDestinationsAndOverwrites)
{
    const FString first = Jpeg("one.jpg", false), second = Jpeg("two.jpg", false);
    Jpeg("one-turned.jpg", false); // exists: the overwrite question comes
    m_Frame.pane.selected = {first, second, Jpeg("three.jpg", false)};
    m_Frame.destinations = {{"one.jpg", Path("one-turned.jpg")}, {"two.jpg", Path("two-turned.jpg")}};
    m_Frame.answers = {kNo};
    m_Ops.RotateSelection(false);

    EXPECT_EQ(m_Frame.questions, std::vector<std::string>{"style 10 one-turned.jpg"});
    EXPECT_TRUE(Exists("two-turned.jpg"));
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "two-turned.jpg", 0x10001)});
    EXPECT_EQ(m_Frame.progress.posted, (std::vector<std::pair<int, int>>{{0, -1}, {100, 0}, {100, 1}}));

    // Nothing left to turn: no worker, no dialog.
    FakeFrame none;
    none.pane.selected = {first};
    CFrameFileOperations(none).RotateSelection(true);
    EXPECT_EQ(none.rotationRuns, 0);
    EXPECT_TRUE(none.pane.Calls().empty());
}

TEST_F(FrameFileOperationsTest, AFileDeletedByAnotherProgramIsSkippedWithoutAskingForADestination)
{
    const FString gone = Jpeg("gone.jpg", false);
    m_Frame.pane.selected = {Raw("a.kvr"), gone, Jpeg("plain.jpg", false)};
    m_Frame.destinations = {{"gone.jpg", Path("gone-turned.jpg")}, {"plain.jpg", Path("plain-turned.jpg")}};
    std::filesystem::remove(PathOf("gone.jpg"));
    m_Ops.RotateSelection(true);
    EXPECT_EQ(m_Frame.askedDestinations, std::vector<std::string>{"plain.jpg"});
    EXPECT_FALSE(Exists("gone-turned.jpg"));
    EXPECT_EQ(m_Frame.reviewFrames, (std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x10002),
                                                               Sent(WM_APP_FILE_OPERATION, "plain-turned.jpg", 0x10002)}));
}

TEST_F(FrameFileOperationsTest, CancellingStopsAfterTheFileInHandAndAnnouncesWhatWasTurned)
{
    m_Frame.pane.selected = {Raw("a.kvr"), Raw("b.kvr"), Raw("c.kvr")};
    m_Frame.progress.cancelAfter = 1;
    m_Ops.RotateSelection(true);
    EXPECT_EQ(m_Frame.progress.posted, (std::vector<std::pair<int, int>>{{0, -1}, {33, 0}, {100, 1}}));
    EXPECT_EQ(Property("b.kvr", "ROTATION"), "0");
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "a.kvr", 0x10002)});
}

TEST_F(FrameFileOperationsTest, AFileWithoutInformationIsSkippedWithoutProgressAndAFailureIsNotAnnounced)
{
    // A picture without EXIF block has no shooting information at all; a raw
    // file that does not open has an empty one, and its turn fails.
    m_Frame.pane.selected = {Write("bare.jpg", QuarterJpeg(16, 16)), Write("broken.kvr", {'P', 'D', 'X', 'b'}),
                             Raw("b.kvr")};
    m_Frame.destinations = {{"bare.jpg", Path("bare-turned.jpg")}};
    m_Ops.RotateSelection(true);
    EXPECT_EQ(m_Frame.progress.posted, (std::vector<std::pair<int, int>>{{0, -1}, {66, 0}, {100, 0}, {100, 1}}));
    EXPECT_FALSE(Exists("bare-turned.jpg"));
    EXPECT_EQ(m_Frame.reviewFrames, std::vector<SentMessage>{Sent(WM_APP_FILE_OPERATION, "b.kvr", 0x10002)});
}

// ---- Dispatch and hand-over

TEST_F(FrameFileOperationsTest, FileOperationMessagesDispatchByTheirHighWord)
{
    const FString raw = Raw("a.kvr");
    const FString pair[2] = {raw, raw};
    for (const LPARAM unknown : {LPARAM(0), LPARAM(0x50002), LPARAM(0x00002)})
        m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(pair), unknown);
    EXPECT_TRUE(m_Frame.reviewFrames.empty());
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(pair), 0x30002);
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(pair), 0x20002);
    EXPECT_TRUE(IsProtected(raw));
    EXPECT_EQ(Property("a.kvr", "MARKBITS"), "1");
    m_Ops.OnFileOperation(reinterpret_cast<WPARAM>(pair), 0x40000);
    EXPECT_TRUE(Exists("a.kvr")); // locked: asked about and kept
    EXPECT_EQ(m_Frame.questions, std::vector<std::string>{"style 1 text 1049"});
}

TEST(CopyDataPathTest, TheTextEndsAtItsTerminatorOrTheDataSize)
{
    const char16_t text[] = u"/photos/a.kvr\0rest";
    COPYDATASTRUCT data;
    data.lpData = const_cast<char16_t*>(text);
    data.cbData = sizeof text;
    EXPECT_EQ(PathFromCopyData(&data), FString(u"/photos/a.kvr"));
    data.cbData = 7 * 2 + 1; // no terminator inside the data: read no further
    EXPECT_EQ(PathFromCopyData(&data), FString(u"/photos"));
    data.cbData = 0;
    EXPECT_EQ(PathFromCopyData(&data), FString());
    EXPECT_EQ(PathFromCopyData(nullptr), FString());
}

} // namespace
