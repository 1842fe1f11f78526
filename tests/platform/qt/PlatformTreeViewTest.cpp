// The layer's tree view: lazy expansion (the notification comes before the
// children exist; the button shows from the child count or the parent's
// answer), sorted insertion and sorting, the caret and the drop highlight,
// hit tests, label editing, and deletion with its notifications and stale
// handles.

#include "platform/afx/AfxTreeCtrl.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pt = platform::testing;

namespace {

// Records the tree's notifications; adds two children when an item first expands.
class Owner : public CWnd {
public:
  CTreeCtrl* tree = nullptr;
  std::vector<std::string> log;
  int callbackChildren = 1;
  LRESULT endEditAnswer = TRUE;
  std::u16string editedText;

protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(lParam);
    switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
      const bool once = nm->itemNew.state & TVIS_EXPANDEDONCE;
      log.push_back("expanding " + Name(nm->itemNew.hItem) + (once ? " again" : ""));
      if (nm->action == TVE_EXPAND && !once && !tree->GetChildItem(nm->itemNew.hItem)) {
        tree->InsertItem(u"zeta", nm->itemNew.hItem, TVI_SORT);
        tree->InsertItem(u"Alpha", nm->itemNew.hItem, TVI_SORT);
      }
      *result = 0;
      return TRUE;
    }
    case TVN_ITEMEXPANDEDW: log.push_back("expanded " + Name(nm->itemNew.hItem)); break;
    case TVN_SELCHANGEDW: log.push_back("selected " + Name(nm->itemNew.hItem)); break;
    case TVN_DELETEITEMW: log.push_back("deleted " + std::to_string(nm->itemOld.lParam)); break;
    case TVN_GETDISPINFOW:
      reinterpret_cast<NMTVDISPINFOW*>(lParam)->item.cChildren = callbackChildren;
      break;
    case TVN_ENDLABELEDITW: {
      const auto* info = reinterpret_cast<const NMTVDISPINFOW*>(lParam);
      editedText = info->item.pszText ? info->item.pszText : u"<cancelled>";
      *result = endEditAnswer;
      return TRUE;
    }
    default: break;
    }
    return CWnd::OnNotify(wParam, lParam, result);
  }

  std::string Name(HTREEITEM item) const {
    std::string name;
    for (char16_t c : tree->GetItemText(item)) name += static_cast<char>(c);
    return name;
  }
};

class PlatformTreeView : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(owner.CreateEx(0, u"Owner", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 300), nullptr, 0));
    owner.tree = &tree;
    ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, CRect(0, 0, 300, 300), &owner, 7));
  }
  void TearDown() override {
    if (IsWindow(owner.m_hWnd)) owner.DestroyWindow();
    pt::Pump();
  }

  HTREEITEM Add(const char16_t* text, HTREEITEM parent, int children, LPARAM data) {
    TVINSERTSTRUCTW insert;
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
    insert.item.pszText = const_cast<LPWSTR>(text);
    insert.item.cChildren = children;
    insert.item.lParam = data;
    return tree.InsertItem(&insert);
  }

  Owner owner;
  CTreeCtrl tree;
};

TEST_F(PlatformTreeView, ExpansionAsksBeforeTheChildrenExistAndOnlyTheFirstTimeAddsThem) {
  HTREEITEM root = Add(u"root", TVI_ROOT, 1, 1);
  CRect rect;
  ASSERT_TRUE(tree.GetItemRect(root, rect, TRUE));
  UINT flags = 0;
  EXPECT_EQ(tree.HitTest(CPoint(rect.left - 8, rect.CenterPoint().y), &flags), root);
  EXPECT_EQ(flags, TVHT_ONITEMBUTTON) << "the child count shows the button before any child exists";
  tree.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rect.left - 8, rect.CenterPoint().y));
  EXPECT_EQ(owner.log, (std::vector<std::string>{"expanding root", "expanded root"}));
  EXPECT_EQ(tree.GetItemState(root, TVIS_EXPANDED | TVIS_EXPANDEDONCE), TVIS_EXPANDED | TVIS_EXPANDEDONCE);
  HTREEITEM first = tree.GetChildItem(root);
  EXPECT_EQ(tree.GetItemText(first), u"Alpha") << "sorted insertion ignores case";
  EXPECT_EQ(tree.GetItemText(tree.GetNextSiblingItem(first)), u"zeta");
  EXPECT_EQ(tree.GetNextItem(first, TVGN_NEXTVISIBLE), tree.GetNextSiblingItem(first));

  owner.log.clear();
  tree.Expand(root, TVE_COLLAPSE);
  tree.Expand(root, TVE_EXPAND);
  EXPECT_EQ(tree.GetCount(), 3u) << "children are enumerated once";
  EXPECT_EQ(owner.log[2], "expanding root again");

  tree.Expand(root, TVE_COLLAPSE | TVE_COLLAPSERESET);
  EXPECT_EQ(tree.GetChildItem(root), nullptr) << "a reset forgets the children";
  EXPECT_EQ(tree.GetItemState(root, TVIS_EXPANDEDONCE), 0u);
  EXPECT_EQ(tree.GetItemData(first), 0u) << "a deleted item's handle is refused";
}

TEST_F(PlatformTreeView, ACallbackChildCountIsAskedOfTheParent) {
  HTREEITEM item = Add(u"ask", TVI_ROOT, I_CHILDRENCALLBACK, 1);
  CRect rect;
  ASSERT_TRUE(tree.GetItemRect(item, rect, TRUE));
  const CPoint button(rect.left - 8, rect.CenterPoint().y);
  UINT flags = 0;
  tree.HitTest(button, &flags);
  EXPECT_EQ(flags, TVHT_ONITEMBUTTON);
  owner.callbackChildren = 0;
  tree.HitTest(button, &flags);
  EXPECT_EQ(flags, TVHT_ONITEMINDENT) << "no children, no button";
}

TEST_F(PlatformTreeView, SortingByCallbackCaretAndDropHighlight) {
  HTREEITEM root = Add(u"root", TVI_ROOT, 0, 0);
  Add(u"c", root, 0, 3);
  Add(u"a", root, 0, 1);
  HTREEITEM b = Add(u"b", root, 0, 2);
  TVSORTCB sort;
  sort.hParent = root;
  sort.lpfnCompare = [](LPARAM x, LPARAM y, LPARAM descending) {
    return static_cast<int>(descending ? y - x : x - y);
  };
  sort.lParam = 1;
  ASSERT_TRUE(tree.SortChildrenCB(&sort));
  EXPECT_EQ(tree.GetItemText(tree.GetChildItem(root)), u"c");

  ASSERT_TRUE(tree.SelectItem(b));
  EXPECT_EQ(tree.GetSelectedItem(), b);
  EXPECT_NE(tree.GetItemState(root, TVIS_EXPANDED), 0u) << "selecting shows the item";
  EXPECT_EQ(tree.GetItemState(b, TVIS_SELECTED), TVIS_SELECTED);
  EXPECT_EQ(owner.log.back(), "selected b");
  tree.SelectDropTarget(root);
  EXPECT_EQ(tree.GetDropHilightItem(), root);
  EXPECT_EQ(tree.GetItemState(root, TVIS_DROPHILITED), TVIS_DROPHILITED);
  tree.SelectDropTarget(nullptr);
  EXPECT_EQ(tree.GetDropHilightItem(), nullptr);

  // Deleting the selected item moves the caret to a sibling.
  owner.log.clear();
  tree.DeleteItem(b);
  EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), u"a");
  EXPECT_EQ(owner.log, (std::vector<std::string>{"selected a", "deleted 2"})) << "the caret leaves first";
}

TEST_F(PlatformTreeView, ArrowKeysMoveTheCaretAndOpenAndCloseBranches) {
  HTREEITEM root = Add(u"root", TVI_ROOT, 1, 1);
  Add(u"next", TVI_ROOT, 0, 2);
  tree.SelectItem(root);
  struct Step {
    int key;
    const char16_t* caret;
    bool rootOpen;
  };
  const Step steps[] = {{VK_RIGHT, u"root", true},  {VK_RIGHT, u"Alpha", true}, {VK_DOWN, u"zeta", true},
                        {VK_LEFT, u"root", true},   {VK_LEFT, u"root", false}, {VK_DOWN, u"next", false},
                        {VK_END, u"next", false},   {VK_HOME, u"root", false}};
  for (const Step& step : steps) {
    tree.SendMessage(WM_KEYDOWN, static_cast<WPARAM>(step.key));
    EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), step.caret) << step.key;
    EXPECT_EQ(tree.GetItemState(root, TVIS_EXPANDED) != 0, step.rootOpen) << step.key;
  }
}

TEST_F(PlatformTreeView, ALabelEditEndsWithTheTextOrCancelledAndTheAnswerKeepsIt) {
  HTREEITEM item = Add(u"old", TVI_ROOT, 0, 1);
  CEdit* edit = tree.EditLabel(item);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(tree.GetEditControl()->m_hWnd, edit->m_hWnd);
  edit->SetWindowText(u"new");
  owner.endEditAnswer = FALSE;
  edit->SendMessage(WM_KEYDOWN, VK_RETURN);
  pt::Pump();
  EXPECT_EQ(owner.editedText, u"new");
  EXPECT_EQ(tree.GetItemText(item), u"old") << "a zero answer keeps the label";
  EXPECT_EQ(tree.GetEditControl(), nullptr);

  edit = tree.EditLabel(item);
  ASSERT_NE(edit, nullptr);
  edit->SendMessage(WM_KEYDOWN, VK_ESCAPE);
  pt::Pump();
  EXPECT_EQ(owner.editedText, u"<cancelled>");

  owner.endEditAnswer = TRUE;
  edit = tree.EditLabel(item);
  edit->SetWindowText(u"kept");
  tree.EndEditLabelNow(FALSE);
  EXPECT_EQ(tree.GetItemText(item), u"kept");
}

TEST_F(PlatformTreeView, DestroyingTheTreeDeletesEveryItemWithItsNotification) {
  HTREEITEM root = Add(u"root", TVI_ROOT, 0, 10);
  Add(u"x", root, 0, 11);
  Add(u"y", TVI_ROOT, 0, 12);
  owner.log.clear();
  tree.DestroyWindow();
  std::sort(owner.log.begin(), owner.log.end());
  EXPECT_EQ(owner.log, (std::vector<std::string>{"deleted 10", "deleted 11", "deleted 12"}));
}

TEST_F(PlatformTreeView, ItemsAreDrawnWithTheirButtonAndTheSelectionHighlighted) {
  HTREEITEM root = Add(u"Pictures", TVI_ROOT, 1, 1);
  tree.Expand(root, TVE_EXPAND);
  tree.SetFocus();
  tree.SelectItem(tree.GetChildItem(root));
  pt::Pump();
  const auto picture = pt::GrabClient(tree.m_hWnd);
  pt::SavePng(picture, "PlatformTreeView.png");
  CRect rect;
  ASSERT_TRUE(tree.GetItemRect(tree.GetChildItem(root), rect, TRUE));
  EXPECT_EQ(pt::PixelAt(picture, rect.right - 1, rect.top + 1), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(pt::PixelAt(picture, rect.right + 5, rect.top + 1), RGB(255, 255, 255));
}

} // namespace
