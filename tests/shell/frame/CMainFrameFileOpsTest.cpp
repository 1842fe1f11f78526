// The main frame's own part of the file operations, on a frame with a test
// thumbnail pane and test review windows: which file an open request opens
// and in which review window, and the hand-over of a second instance (the
// folder selected first, then the file opened when the browser lists it).

#include "shell/frame/CMainFrame.h"

#include "platform/testing/Headless.h"
#include "platform/win/WinUser.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/CET_ThumbnailData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Ascii(const FString& text) { return text.GetAscii(); }

// The thumbnail pane: a folder of listed files and a selection.
class TestThumbPane : public IThumbPane {
public:
    CWnd* GetPaneWnd() override { return &wnd; }
    FString GetFolder() const override { return folder; }
    void SetFolder(const FString& f) override
    {
        folder = f;
        calls.push_back("folder " + Ascii(f));
    }
    int GetAllPaths(std::vector<FString>* paths) const override
    {
        *paths = listed;
        return int(listed.size());
    }
    int GetSelectedPaths(std::vector<FString>* paths) const override
    {
        *paths = selected;
        return int(selected.size());
    }
    int GetSelectedCount() const override { return int(selected.size()); }
    BOOL GetAllItems(CET_ThumbnailDataManager* list) const override { return Fill(list, listed); }
    BOOL GetSelectedItems(CET_ThumbnailDataManager* list) const override { return Fill(list, selected); }
    BOOL CollectSelectedStills(CET_ThumbnailDataManager* list) const override { return Fill(list, selected); }
    CTLM_ThumbnailData* FindItem(const FString& path) const override
    {
        if (std::find(listed.begin(), listed.end(), path) == listed.end())
            return nullptr;
        auto* item = new CTLM_ThumbnailData;
        item->m_Path = path;
        return item;
    }
    FString GetFirstPath(BOOL inSelection) const override
    {
        const std::vector<FString>& from = inSelection ? selected : listed;
        return from.empty() ? FString() : from.front();
    }
    void GetImagePosition(const FString&, int* position, int* count) const override { *position = *count = 0; }
    FString GetNextImagePath(const FString&) const override { return FString(); }
    FString GetPrevImagePath(const FString&) const override { return FString(); }
    void RefreshItems(const std::vector<FString>*) override {}
    void UpdateItemInfo(const std::vector<FString>&) override {}
    void RotateItems(const std::vector<FString>&, BOOL, BOOL) override {}
    void StopLoader() override {}
    BOOL IsLoading() const override { return FALSE; }
    int GetStateFilter() const override { return 0; }
    void SetStateFilter(int) override {}
    int GetFormatFilter() const override { return 0; }
    void SetFormatFilter(int) override {}
    int GetSortMode() const override { return 0; }
    void SetSortMode(int) override {}
    BOOL IsSortInverted() const override { return FALSE; }
    void ToggleSortOrder() override {}
    int GetThumbSizeIndex() const override { return 0; }
    void SetThumbSizeIndex(int) override {}
    BOOL IsInfoView() const override { return FALSE; }
    void SetInfoView(BOOL) override {}
    void SelectAll() override {}
    void SelectMarked() override {}
    void SelectLocked() override {}
    void SelectNone() override {}
    void InvertSelection() override {}
    void UpdateSelectionInfo() override {}
    void UpdateButtons() override {}
    void UpdateFilterCaption() override {}

    CWnd wnd;
    FString folder;
    std::vector<FString> listed, selected;
    std::vector<std::string> calls;

private:
    static BOOL Fill(CET_ThumbnailDataManager* list, const std::vector<FString>& paths)
    {
        for (const FString& path : paths) {
            auto* item = new CTLM_ThumbnailData;
            item->m_Path = path;
            list->Add(item);
        }
        return TRUE;
    }
};

class TestFolderPane : public IFolderPane {
public:
    CWnd* GetPaneWnd() override { return &wnd; }
    void SelectPath(const FString& folder) override { selectedFolders.push_back(Ascii(folder)); }
    CWnd wnd;
    std::vector<std::string> selectedFolders;
};

// A review window that remembers what it was asked to show.
class TestReviewFrame : public IReviewFrame {
public:
    CWnd* GetFrameWnd() override { return &wnd; }
    BOOL IsClosing() const override { return closing; }
    void OpenImage(const CTLM_ThumbnailData* item) override { opened.push_back(Ascii(item->m_Path)); }
    void SetImageList(CET_ThumbnailDataManager* list) override { listCount = list->GetCount(); }
    void ApplyViewSettings() override { ++viewSettings; }
    void ToggleAdjustPalette() override {}
    FString GetImagePath() const override { return opened.empty() ? FString() : FString(opened.back().c_str()); }
    BOOL DestroyReviewFrame() override { return TRUE; }

    CWnd wnd;
    BOOL closing = FALSE;
    std::vector<std::string> opened;
    int listCount = 0;
    int viewSettings = 0;
};

class TestReviewWindows : public IReviewWindows {
public:
    IReviewFrame* CreateReviewFrame() override
    {
        frames.push_back(std::make_unique<TestReviewFrame>());
        return frames.back().get();
    }
    BOOL CanCreateReviewFrame() const override { return TRUE; }
    BOOL HasInfoPalette() const override { return FALSE; }
    CWnd* GetInfoPalette() override { return nullptr; }
    CWnd* OpenInfoPalette() override { return nullptr; }
    void CloseInfoPalette() override {}
    CWnd* GetAdjustPalette() override { return nullptr; }
    void CloseAdjustPalette() override {}

    std::vector<std::unique_ptr<TestReviewFrame>> frames;
};

class TestFrame : public CMainFrame {
public:
    IThumbPane* GetThumbPane() override { return &pane; }
    IFolderPane* GetFolderPane() override { return &folders; }
    TestThumbPane pane;
    TestFolderPane folders;
};

class MainFrameOpenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::testing::Init(); }
    void SetUp() override
    {
        m_Frame.SetReviewWindows(&m_Windows);
        m_Frame.pane.folder = u"/photos";
        m_Frame.pane.listed = {u"/photos/a.kvr", u"/photos/b.jpg"};
    }
    void TearDown() override
    {
        while (m_Frame.GetReviewFrameCount() > 0)
            m_Frame.ReorderReviewFrame(m_Frame.GetReviewFrame(0), 2);
        m_Frame.SetReviewWindows(nullptr);
    }

    TestReviewWindows m_Windows;
    TestFrame m_Frame;
};

TEST_F(MainFrameOpenTest, AnEmptyPathOpensTheFirstSelectedElseTheFirstListedFile)
{
    m_Frame.OpenImage(FString(), FALSE);
    ASSERT_EQ(m_Windows.frames.size(), 1u);
    EXPECT_EQ(m_Windows.frames[0]->opened, std::vector<std::string>{"/photos/a.kvr"});
    EXPECT_EQ(m_Windows.frames[0]->listCount, 2);
    EXPECT_EQ(m_Windows.frames[0]->viewSettings, 1);

    m_Frame.pane.selected = {u"/photos/b.jpg"};
    m_Frame.OpenImage(FString(), FALSE);
    ASSERT_EQ(m_Windows.frames.size(), 1u); // reused
    EXPECT_EQ(m_Windows.frames[0]->opened.back(), "/photos/b.jpg");
    EXPECT_EQ(m_Frame.GetReviewFrameCount(), 1);
}

TEST_F(MainFrameOpenTest, AClosingWindowIsNotReusedAndANewWindowIsAskedFor)
{
    m_Frame.OpenImage(u"/photos/a.kvr", FALSE);
    m_Windows.frames[0]->closing = TRUE;
    m_Frame.OpenImage(u"/photos/b.jpg", FALSE);
    ASSERT_EQ(m_Windows.frames.size(), 2u);
    EXPECT_EQ(m_Windows.frames[1]->opened, std::vector<std::string>{"/photos/b.jpg"});
    m_Windows.frames[0]->closing = FALSE;
    m_Frame.OpenImage(u"/photos/a.kvr", TRUE);
    EXPECT_EQ(m_Windows.frames.size(), 3u);
    EXPECT_EQ(m_Frame.GetReviewFrameCount(), 3);
}

TEST_F(MainFrameOpenTest, AFileTheBrowserDoesNotListOpensNothing)
{
    m_Frame.OpenImage(u"/photos/filtered-out.jpg", FALSE);
    EXPECT_TRUE(m_Windows.frames.empty());
}

TEST_F(MainFrameOpenTest, TheHandOverSelectsTheFolderFirstThenOpensTheFile)
{
    const char16_t handed[] = u"/photos/a.kvr";
    COPYDATASTRUCT data;
    data.lpData = const_cast<char16_t*>(handed);
    data.cbData = sizeof handed;
    m_Frame.OnCopyData(nullptr, &data);
    EXPECT_EQ(m_Frame.folders.selectedFolders, std::vector<std::string>{"/photos"});
    ASSERT_EQ(m_Windows.frames.size(), 1u);
    EXPECT_EQ(m_Windows.frames[0]->opened, std::vector<std::string>{"/photos/a.kvr"});

    // A path the browser does not list there: its folder is selected, nothing opens.
    const char16_t elsewhere[] = u"/elsewhere/c.jpg";
    data.lpData = const_cast<char16_t*>(elsewhere);
    data.cbData = sizeof elsewhere;
    m_Frame.OnCopyData(nullptr, &data);
    EXPECT_EQ(m_Frame.folders.selectedFolders.back(), "/elsewhere");
    EXPECT_EQ(m_Windows.frames[0]->opened.size(), 1u);

    // An empty hand-over does nothing.
    data.cbData = 0;
    m_Frame.OnCopyData(nullptr, &data);
    EXPECT_EQ(m_Frame.folders.selectedFolders.size(), 2u);
}

} // namespace
