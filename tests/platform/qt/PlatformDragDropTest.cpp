// Drag and drop, headless: scripted drags hand the drop target enter, over
// and drop notifications with the key states (Ctrl, Shift, the right
// button) and return the effect the target chose; a refusing window gives
// none; the dropped file list reads with DragQueryFileW; other programs'
// drops arrive through the window system's drag events, where something
// that is not a file list gives no files.

#include "ClipboardBlocks.h"
#include "TestDialogs.h"
#include "platform/afx/AfxOle.h"
#include "platform/testing/Headless.h"

#include <cstring>

namespace pt = platform::testing;

namespace {

struct Call {
  std::string what;
  DWORD keys = 0;
  CPoint point;
  DROPEFFECT proposed = 0;
  DROPEFFECT allowed = 0;
};

// Reads the dropped files as the toolkit's drop target does, and picks the
// effect by the keys: Ctrl copies, otherwise a move; `refuse` takes nothing.
class Target : public COleDropTarget {
public:
  std::vector<Call> calls;
  std::vector<std::u16string> files;
  bool refuse = false;
  bool useDropEx = true;

  DROPEFFECT OnDragEnter(CWnd*, COleDataObject* data, DWORD keys, CPoint point) override {
    calls.push_back({"enter", keys, point});
    ReadFiles(data);
    return Choose(keys);
  }
  DROPEFFECT OnDragOver(CWnd*, COleDataObject*, DWORD keys, CPoint point) override {
    calls.push_back({"over", keys, point});
    return Choose(keys);
  }
  void OnDragLeave(CWnd*) override { calls.push_back({"leave", 0, {}}); }
  DROPEFFECT OnDropEx(CWnd*, COleDataObject*, DROPEFFECT proposed, DROPEFFECT allowed, CPoint point) override {
    if (!useDropEx) return static_cast<DROPEFFECT>(-1);
    calls.push_back({"drop-ex", 0, point, proposed, allowed});
    return proposed;
  }
  BOOL OnDrop(CWnd*, COleDataObject*, DROPEFFECT proposed, CPoint point) override {
    calls.push_back({"drop", 0, point, proposed});
    return TRUE;
  }

private:
  DROPEFFECT Choose(DWORD keys) const {
    if (refuse) return DROPEFFECT_NONE;
    return (keys & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
  }
  void ReadFiles(COleDataObject* data) {
    files.clear();
    STGMEDIUM medium;
    FORMATETC format;
    format.cfFormat = CF_HDROP;
    if (!data->GetData(CF_HDROP, &medium, &format)) return;
    files = NamesOf(reinterpret_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
  }
};

class PlatformDragDrop : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(source.Make({0, 0, 200, 200}));
    ASSERT_TRUE(window.Make({300, 0, 600, 300}));
    ASSERT_TRUE(child.Create(u"Child", u"", WS_CHILD | WS_VISIBLE, CRect(50, 50, 150, 150), &window, 3));
    ASSERT_TRUE(target.Register(&window));
    pt::Pump();
  }
  void Offer(COleDataSource& data) {
    const std::vector<std::uint8_t> list = FileList({u"/photos/a.kvr", u"/photos/b.jpg"});
    const HGLOBAL block = GlobalAlloc(GHND, list.size());
    std::memcpy(GlobalLock(block), list.data(), list.size());
    GlobalUnlock(block);
    data.CacheGlobalData(CF_HDROP, block);
  }
  Owner source, window;
  CWnd child;
  Target target;
};

} // namespace

TEST_F(PlatformDragDrop, AScriptedDragGivesTheTargetItsKeyStatesAndReturnsItsEffect) {
  COleDataSource data;
  Offer(data);
  pt::ScriptDrag({{window, {10, 10}, MK_LBUTTON},
                  {child, {5, 5}, MK_LBUTTON | MK_SHIFT},
                  {window, {20, 30}, MK_RBUTTON | MK_CONTROL}});
  EXPECT_EQ(data.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE), DROPEFFECT_COPY) << "Ctrl copies";
  ASSERT_EQ(target.calls.size(), 4u);
  EXPECT_EQ(target.calls[0].what, "enter");
  EXPECT_EQ(target.calls[0].keys, MK_LBUTTON);
  EXPECT_EQ(target.calls[1].what, "over") << "the child is inside the target's window";
  EXPECT_EQ(target.calls[1].keys, MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(target.calls[1].point, CPoint(55, 55)) << "in the target window's client coordinates";
  EXPECT_EQ(target.calls[2].keys, MK_RBUTTON | MK_CONTROL);
  EXPECT_EQ(target.calls[3].what, "drop-ex");
  EXPECT_EQ(target.calls[3].proposed, DROPEFFECT_COPY);
  EXPECT_EQ(target.calls[3].allowed, DROPEFFECT_COPY | DROPEFFECT_MOVE);
  EXPECT_EQ(target.files, (std::vector<std::u16string>{u"/photos/a.kvr", u"/photos/b.jpg"}))
      << "DragQueryFileW counts and reads the names";
}

TEST_F(PlatformDragDrop, WithoutDropExTheDropDecidesAndARefusingWindowTakesNothing) {
  COleDataSource data;
  Offer(data);
  target.useDropEx = false;
  pt::ScriptDrag({{window, {10, 10}, MK_LBUTTON}});
  EXPECT_EQ(data.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE), DROPEFFECT_MOVE);
  EXPECT_EQ(target.calls.back().what, "drop");

  target.calls.clear();
  target.refuse = true;
  pt::ScriptDrag({{window, {10, 10}, MK_LBUTTON}, {window, {12, 10}, MK_LBUTTON}});
  EXPECT_EQ(data.DoDragDrop(), DROPEFFECT_NONE);
  ASSERT_FALSE(target.calls.empty());
  EXPECT_EQ(target.calls.back().what, "leave") << "refused: no drop, the drag just leaves";

  target.calls.clear();
  target.refuse = false;
  pt::ScriptDrag({{source, {10, 10}, MK_LBUTTON}});
  EXPECT_EQ(data.DoDragDrop(), DROPEFFECT_NONE) << "a window without a target";
  EXPECT_TRUE(target.calls.empty());

  pt::ScriptDrag({{window, {10, 10}, MK_LBUTTON}}, false);
  EXPECT_EQ(data.DoDragDrop(), DROPEFFECT_NONE) << "cancelled";
  EXPECT_EQ(target.calls.back().what, "leave");
}

TEST_F(PlatformDragDrop, OtherProgramsDropsComeThroughTheWindowSystem) {
  POINT at{10, 10};
  window.ClientToScreen(&at);
  const DWORD effect =
      pt::SystemDrop(at, {{"text/uri-list", "file:///photos/x.kvr\r\nfile:///photos/y%20z.jpg\r\n"}}, MK_LBUTTON | MK_CONTROL);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(target.files, (std::vector<std::u16string>{u"/photos/x.kvr", u"/photos/y z.jpg"}))
      << "a foreign URI list reads as a file list";
  EXPECT_EQ(target.calls.front().keys, MK_LBUTTON | MK_CONTROL);
  EXPECT_EQ(target.calls.back().what, "drop-ex");

  target.calls.clear();
  target.files = {u"stale"};
  pt::SystemDrop(at, {{"text/plain", "just words"}});
  EXPECT_TRUE(target.files.empty()) << "something that is not a file list gives no files";

  target.Revoke();
  target.calls.clear();
  EXPECT_EQ(pt::SystemDrop(at, {{"text/uri-list", "file:///photos/x.kvr\r\n"}}), DROPEFFECT_NONE);
  EXPECT_TRUE(target.calls.empty()) << "revoked";
}
