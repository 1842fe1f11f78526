// The program itself on an X server (and again under a window manager):
// started on a sample folder made by make_samples, its frame on the screen,
// it shows the folder's thumbnails (the screens are saved as PNGs in the test
// output), turns a raw file clicked in its grid with the tool bar's rotate
// button, marks it, renames it from the grid's context menu in a dialog that
// takes the keys and is drawn, answers a delete question's Escape, closes
// when the window system asks it to, and then has written its settings file. Then the program's application object, started in this process, shows
// on the X server exactly what the window layer composed, and opens a raw file
// double-clicked in its grid in a review window that develops it live.
#include "app/CLumitraBrowserApp.h"
#include "platform/testing/Display.h"
#include "review/frame/CReviewFormView.h"
#include "review/frame/CReviewFrame.h"
#include "review/palettes/CAdjustPalette.h"
#include "review/palettes/CPaletteToolAdjust.h"
#include "shell/browser/CThumbFormView.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_Manager.h"
#include "engine/colour/TransformColor.h"
#include "shell/app/AppFolders.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;
using testsupport::TempDir;

// A connection of the test's own to the X server: finds the program's window,
// clicks as the mouse does and asks the window to close, as a window
// manager's close button does.
class WindowSystem {
public:
    WindowSystem() : m_Connection(xcb_connect(nullptr, nullptr))
    {
        if (!xcb_connection_has_error(m_Connection))
            m_Root = xcb_setup_roots_iterator(xcb_get_setup(m_Connection)).data->root;
    }
    ~WindowSystem() { xcb_disconnect(m_Connection); }

    // The program's mapped top-level windows, bottom to top: the windows the
    // root holds, or under a window manager the client window inside each
    // frame (the one with WM_STATE).
    std::vector<xcb_window_t> MappedTopLevels()
    {
        std::vector<xcb_window_t> mapped;
        for (xcb_window_t child : Children(m_Root)) {
            if (!Mapped(child))
                continue;
            const xcb_window_t window = ClientIn(child, 3).value_or(child);
            const RECT area = Geometry(window);
            if (area.right > 0 && area.bottom > 0) // not a window manager's hidden helper
                mapped.push_back(window);
        }
        return mapped;
    }
    std::optional<xcb_window_t> FindLargestWindow()
    {
        std::optional<xcb_window_t> found;
        long largest = 0;
        for (xcb_window_t window : MappedTopLevels()) {
            const RECT area = Geometry(window);
            const long size = long(area.right - area.left) * (area.bottom - area.top);
            if (size > largest) {
                largest = size;
                found = window;
            }
        }
        return found;
    }
    // The topmost mapped top-level window other than the given ones.
    std::optional<xcb_window_t> FindOtherWindow(std::initializer_list<xcb_window_t> known)
    {
        const std::vector<xcb_window_t> mapped = MappedTopLevels();
        for (auto it = mapped.rbegin(); it != mapped.rend(); ++it)
            if (std::find(known.begin(), known.end(), *it) == known.end())
                return *it;
        return std::nullopt;
    }
    // Where a window lies on the screen.
    RECT Geometry(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(m_Connection, xcb_get_geometry(m_Connection, window), nullptr), &std::free);
        std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
            xcb_translate_coordinates_reply(m_Connection,
                                            xcb_translate_coordinates(m_Connection, window, m_Root, 0, 0), nullptr),
            &std::free);
        if (!geometry || !origin)
            return {};
        return {origin->dst_x, origin->dst_y, origin->dst_x + geometry->width, origin->dst_y + geometry->height};
    }
    // The window with what the window manager put around it (its frame).
    RECT FrameGeometry(xcb_window_t window)
    {
        for (;;) {
            std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
                xcb_query_tree_reply(m_Connection, xcb_query_tree(m_Connection, window), nullptr), &std::free);
            if (!tree || tree->parent == m_Root || tree->parent == XCB_NONE)
                return Geometry(window);
            window = tree->parent;
        }
    }
    // How many colours the screen shows in a rectangle.
    int Colours(const RECT& area)
    {
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
            xcb_get_image_reply(m_Connection,
                                xcb_get_image(m_Connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_Root, int16_t(area.left),
                                              int16_t(area.top), uint16_t(area.right - area.left),
                                              uint16_t(area.bottom - area.top), ~0u),
                                nullptr),
            &std::free);
        if (!image)
            return 0;
        const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(image.get()));
        std::vector<uint32_t> colours(pixels, pixels + xcb_get_image_data_length(image.get()) / 4);
        for (uint32_t& c : colours)
            c &= 0xffffffu;
        std::sort(colours.begin(), colours.end());
        return int(std::unique(colours.begin(), colours.end()) - colours.begin());
    }
    void AskToClose(xcb_window_t window)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom("WM_PROTOCOLS");
        event.data.data32[0] = Atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_Connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        xcb_flush(m_Connection);
    }

    // A click at a point of the screen (button 1 left, 3 right).
    void Click(int x, int y, uint8_t button = 1)
    {
        xcb_warp_pointer(m_Connection, XCB_NONE, m_Root, 0, 0, 0, 0, static_cast<int16_t>(x), static_cast<int16_t>(y));
        xcb_test_fake_input(m_Connection, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(m_Connection, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_Connection);
    }
    // A key pressed and let go, by its key symbol (Latin-1 letters are their
    // own symbols).
    void Key(uint32_t symbol)
    {
        const uint8_t code = KeyCodeOf(symbol);
        xcb_test_fake_input(m_Connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(m_Connection, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_Connection);
    }
    void Type(const std::string& lowercase)
    {
        for (char c : lowercase)
            Key(static_cast<uint8_t>(c));
    }

private:
    xcb_atom_t Atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_Connection,
                                  xcb_intern_atom(m_Connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    std::vector<xcb_window_t> Children(xcb_window_t window)
    {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(m_Connection, xcb_query_tree(m_Connection, window), nullptr), &std::free);
        if (!tree)
            return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
    }
    // The client window a window manager's frame holds (it carries WM_STATE).
    std::optional<xcb_window_t> ClientIn(xcb_window_t window, int depth)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> state(
            xcb_get_property_reply(m_Connection,
                                   xcb_get_property(m_Connection, 0, window, Atom("WM_STATE"), XCB_ATOM_ANY, 0, 1),
                                   nullptr),
            &std::free);
        if (state && state->type != XCB_ATOM_NONE)
            return window;
        if (depth == 0)
            return std::nullopt;
        for (xcb_window_t child : Children(window))
            if (std::optional<xcb_window_t> client = ClientIn(child, depth - 1))
                return client;
        return std::nullopt;
    }
    bool Mapped(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(m_Connection, xcb_get_window_attributes(m_Connection, window), nullptr),
            &std::free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    uint8_t KeyCodeOf(uint32_t symbol)
    {
        const xcb_setup_t* setup = xcb_get_setup(m_Connection);
        const int first = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> mapping(
            xcb_get_keyboard_mapping_reply(
                m_Connection,
                xcb_get_keyboard_mapping(m_Connection, static_cast<xcb_keycode_t>(first), static_cast<uint8_t>(count)),
                nullptr),
            &std::free);
        if (!mapping)
            return 0;
        const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
        const int perCode = mapping->keysyms_per_keycode;
        for (int i = 0; i < count; ++i)
            for (int j = 0; j < perCode; ++j)
                if (symbols[i * perCode + j] == symbol)
                    return static_cast<uint8_t>(first + i);
        return 0;
    }

    xcb_connection_t* m_Connection;
    xcb_window_t m_Root = 0;
};

constexpr uint32_t kKeyDown = 0xff54;
constexpr uint32_t kKeyReturn = 0xff0d;

// Pictures of the sample JPEGs: their red quarters.
int RedPixels(const pt::PixelImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const COLORREF pixel = pt::PixelAt(image, x, y);
            if (GetRValue(pixel) > 200 && GetGValue(pixel) < 60 && GetBValue(pixel) < 60)
                ++count;
        }
    return count;
}

// The extent of what the grid's first cell shows below its badge row: the
// picture, told from the cell's white.
SIZE FirstPictureExtent(const pt::PixelImage& image)
{
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = 128; y < 229 && y < image.height; ++y)
        for (int x = 276; x < 385 && x < image.width; ++x) {
            const COLORREF pixel = pt::PixelAt(image, x, y);
            if (GetRValue(pixel) > 240 && GetGValue(pixel) > 240 && GetBValue(pixel) > 240)
                continue;
            box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                   std::max<LONG>(box.bottom, y + 1)};
        }
    if (box.right < box.left)
        return SIZE{0, 0};
    return SIZE{box.right - box.left, box.bottom - box.top};
}

// ---- What a desktop asks of the program, with or without a window manager

// The main window's frame, title bar included, lies on the screen.
void ExpectFrameOnScreen(WindowSystem& server, xcb_window_t window)
{
    const RECT frame = server.FrameGeometry(window);
    EXPECT_GE(frame.left, 0);
    EXPECT_GE(frame.top, 0) << "the title bar is on the screen";
    EXPECT_LE(frame.right, 1920);
    EXPECT_LE(frame.bottom, 1080);
}

// A dialog that opened shows its controls: its area is not one colour.
void ExpectControlsDrawn(WindowSystem& server, xcb_window_t dialog, const char* what)
{
    EXPECT_GT(server.Colours(server.Geometry(dialog)), 2) << what << " is drawn";
}

// The keys reach a message box that opened, wherever the pointer is: Return
// leaves it open (a message box takes no Enter, so a key meant for the window
// below never answers it), Escape answers it with cancel. The question is
// whether to delete the selected file, which stays.
void AnswerADeleteQuestionWithReturnAndEscape(pt::ProgramRun& program, WindowSystem& server, xcb_window_t window,
                                              const fs::path& file)
{
    constexpr uint32_t kKeyDelete = 0xffff;
    constexpr uint32_t kKeyEscape = 0xff1b;
    server.Key(kKeyDelete);
    std::optional<xcb_window_t> box;
    for (int i = 0; i < 40 && !box; ++i) {
        program.WaitFor("\x01", 250);
        box = server.FindOtherWindow({window});
    }
    ASSERT_TRUE(box) << "no question before deleting";
    program.WaitFor("\x01", 500);
    ExpectControlsDrawn(server, *box, "the message box");
    server.Key(kKeyReturn);
    program.WaitFor("\x01", 1000);
    EXPECT_EQ(server.FindOtherWindow({window}), box) << "Return leaves the question open";
    server.Key(kKeyEscape);
    for (int i = 0; i < 40 && server.FindOtherWindow({window}); ++i)
        program.WaitFor("\x01", 250);
    EXPECT_FALSE(server.FindOtherWindow({window})) << "Escape answers the question";
    EXPECT_TRUE(fs::exists(file)) << "cancelled: nothing deleted";
}

// A home of the test's own (settings and the instance lock) with a sample
// folder made by make_samples.
struct SampleHome {
    TempDir home;
    fs::path samples = home.Path() / "samples";
    bool made = false;
    std::string output;

    SampleHome()
    {
        fs::create_directories(home.Path() / "config");
        fs::create_directories(home.Path() / "runtime");
        ::chmod((home.Path() / "runtime").c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home.Path() / "runtime").c_str(), 1);
        pt::ProgramRun make({MAKE_SAMPLES_PROGRAM, samples.string(), "small"});
        made = make.Finish(120000) == 0;
        output = make.Output();
    }
};

TEST(Lumitra4Smoke, ShowsASampleFolderTurnsMarksAndRenamesARawFileAndWritesItsSettingsWhenClosed)
{
    if (const std::string why = pt::StartOnDisplay(false); !why.empty())
        GTEST_SKIP() << why;
    SampleHome home;
    ASSERT_TRUE(home.made) << home.output;
    const fs::path& samples = home.samples;

    pt::ProgramRun program({LUMITRA_PROGRAM, "-Embedding", samples.string()});
    WindowSystem server;
    std::optional<xcb_window_t> window;
    for (int i = 0; i < 600 && !window; ++i) {
        program.WaitFor("\x01", 100); // serves the window system meanwhile
        window = server.FindLargestWindow();
    }
    ASSERT_TRUE(window) << program.Output();
    program.WaitFor("\x01", 500); // framed by a window manager, when there is one
    const RECT area = server.Geometry(*window);
    ExpectFrameOnScreen(server, *window);
    pt::PixelImage screen;
    for (int i = 0; i < 60; ++i) { // until the JPEGs' thumbnails are in
        program.WaitFor("\x01", 500);
        screen = pt::GrabScreen(area);
        if (RedPixels(screen) > 3 * 500)
            break;
    }
    pt::SavePng(screen, "lumitra4-browser.png");
    EXPECT_GT(RedPixels(screen), 3 * 500) << "the thumbnails of the sample JPEGs";

    // Select the first raw file (the grid's first picture, sorted by name)
    // and turn it: it turns in place under the progress dialog.
    fs::path raw;
    for (const auto& entry : fs::directory_iterator(samples))
        if (entry.path().extension() == ".kvr" && entry.path().filename().string().rfind("daylight-iso100-", 0) == 0)
            raw = entry.path();
    ASSERT_FALSE(raw.empty());
    const std::string before = testsupport::ReadFileBytes(raw);
    // Points in the window, as the browser lays out its grid and tool bar.
    constexpr POINT kFirstPicture{330, 165};
    constexpr POINT kRotateButton{323, 53};
    server.Click(area.left + kFirstPicture.x, area.top + kFirstPicture.y);
    program.WaitFor("\x01", 500);
    server.Click(area.left + kRotateButton.x, area.top + kRotateButton.y);
    bool turned = false;
    for (int i = 0; i < 120 && !turned; ++i) {
        program.WaitFor("\x01", 500);
        turned = testsupport::ReadFileBytes(raw) != before;
    }
    EXPECT_TRUE(turned) << "the raw file was not turned";
    for (int i = 0; i < 6; ++i) // the browser brings the turned file's item up to date
        program.WaitFor("\x01", 500);
    const pt::PixelImage rotated = pt::GrabScreen(area);
    pt::SavePng(rotated, "lumitra4-rotated.png");
    const SIZE wide = FirstPictureExtent(screen);
    const SIZE tall = FirstPictureExtent(rotated);
    EXPECT_GT(wide.cx, wide.cy) << "the raw file's thumbnail before it turns";
    EXPECT_GT(tall.cy, tall.cx) << "the grid shows the turned thumbnail";

    // Mark it: the mark is written into the file.
    constexpr POINT kMarkButton{441, 53};
    const std::string unmarked = testsupport::ReadFileBytes(raw);
    server.Click(area.left + kMarkButton.x, area.top + kMarkButton.y);
    bool marked = false;
    for (int i = 0; i < 60 && !marked; ++i) {
        program.WaitFor("\x01", 500);
        marked = testsupport::ReadFileBytes(raw) != unmarked;
    }
    EXPECT_TRUE(marked) << "the raw file was not marked";
    program.WaitFor("\x01", 500);
    pt::SavePng(pt::GrabScreen(area), "lumitra4-marked.png");

    // Rename it from the grid's context menu: its third item, after the two
    // that open it in a review window, is "Rename...", whose dialog offers
    // the name without its extension, all of it selected, so typing replaces it.
    const std::string markedBytes = testsupport::ReadFileBytes(raw);
    server.Click(area.left + kFirstPicture.x, area.top + kFirstPicture.y, 3);
    std::optional<xcb_window_t> menu;
    for (int i = 0; i < 40 && !menu; ++i) {
        program.WaitFor("\x01", 250);
        menu = server.FindOtherWindow({*window});
    }
    ASSERT_TRUE(menu) << "no context menu";
    for (int item = 0; item < 3; ++item)
        server.Key(kKeyDown);
    server.Key(kKeyReturn);
    std::optional<xcb_window_t> dialog;
    for (int i = 0; i < 40 && !dialog; ++i) {
        program.WaitFor("\x01", 250);
        dialog = server.FindOtherWindow({*window, *menu});
    }
    ASSERT_TRUE(dialog) << "no rename dialog";
    program.WaitFor("\x01", 500);
    ExpectControlsDrawn(server, *dialog, "the rename dialog");
    server.Type("alpine"); // sorts first among the raw files
    server.Key(kKeyReturn);
    const fs::path renamed = samples / "alpine.kvr";
    for (int i = 0; i < 40 && !fs::exists(renamed); ++i)
        program.WaitFor("\x01", 250);
    EXPECT_TRUE(fs::exists(renamed)) << "the raw file was not renamed";
    EXPECT_FALSE(fs::exists(raw));
    if (fs::exists(renamed)) {
        EXPECT_EQ(testsupport::ReadFileBytes(renamed), markedBytes) << "a rename changes no byte";
    }
    for (int i = 0; i < 4; ++i) // the folder listed again, its pictures in
        program.WaitFor("\x01", 500);
    const pt::PixelImage afterRename = pt::GrabScreen(area);
    pt::SavePng(afterRename, "lumitra4-renamed.png");
    EXPECT_GT(FirstPictureExtent(afterRename).cy, FirstPictureExtent(afterRename).cx)
        << "the renamed file, first by name, shows turned";

    server.Click(area.left + kFirstPicture.x, area.top + kFirstPicture.y);
    program.WaitFor("\x01", 500);
    AnswerADeleteQuestionWithReturnAndEscape(program, server, *window, renamed);

    server.AskToClose(*window);
    EXPECT_EQ(program.Finish(60000), 0) << program.Output();
    EXPECT_TRUE(fs::exists(home.home.Path() / "config" / "Lumitra" / "TLumitra.ini"));
}

// The program's application object in this process, so that the window
// layer's own composite of its main window can be set beside what the X
// server shows.
class BrowserApp : public CLumitraBrowserApp {
public:
    CMainFrame* Frame() { return static_cast<CMainFrame*>(m_pMainWnd); }
    IThumbPane* Pane() { return Frame() ? Frame()->GetThumbPane() : nullptr; }
    // The frame goes before the application ends, as when the user closes it.
    void CloseFrame()
    {
        CMainFrame* frame = Frame();
        if (!frame)
            return;
        if (IThumbPane* pane = frame->GetThumbPane())
            pane->StopLoader();
        m_pMainWnd = nullptr;
        frame->DestroyWindow();
        pt::Pump();
    }
};

// The pixels that differ by more than a step of rounding in some channel;
// the difference picture shows them in magenta over the dimmed screen.
int CountDifferences(const pt::PixelImage& screen, const pt::PixelImage& composite, pt::PixelImage* picture)
{
    if (screen.width != composite.width || screen.height != composite.height)
        return screen.width * screen.height;
    *picture = screen;
    int differing = 0;
    for (size_t i = 0; i < screen.argb.size(); ++i) {
        const uint32_t a = screen.argb[i];
        const uint32_t b = composite.argb[i];
        bool differs = false;
        for (int shift = 0; shift < 24; shift += 8)
            differs = differs || std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 1;
        differing += differs ? 1 : 0;
        picture->argb[i] = differs ? 0xffff00ffu : 0xff000000u | ((a >> 1) & 0x7f7f7fu);
    }
    return differing;
}

TEST(Lumitra4Smoke, TheScreenShowsWhatTheWindowLayerComposed)
{
    if (const std::string why = pt::StartOnDisplay(false); !why.empty())
        GTEST_SKIP() << why;
    SampleHome home;
    ASSERT_TRUE(home.made) << home.output;
    SetAppProgramPath(testsupport::BuildTreeProgramPath());

    BrowserApp app;
    app.SetArguments({"-Embedding", home.samples.string()});
    ASSERT_TRUE(app.InitInstance());
    IThumbPane* pane = app.Pane();
    ASSERT_NE(pane, nullptr);
    const HWND frame = app.Frame()->GetSafeHwnd();
    ASSERT_TRUE(pt::WaitUntilExposed(frame));
    for (int i = 0; i < 600 && pane->IsLoading(); ++i) {
        pt::Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(pane->IsLoading()) << "the thumbnails did not come";

    RECT client{};
    ::GetClientRect(frame, &client);
    POINT origin{0, 0};
    ::ClientToScreen(frame, &origin);
    const RECT onScreen{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    pt::PixelImage screen, composite, difference;
    int differing = -1;
    for (int attempt = 0; attempt < 50 && differing != 0; ++attempt) { // until Qt has presented the last paint
        pt::Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        screen = pt::GrabScreen(onScreen);
        composite = pt::GrabClient(frame);
        differing = CountDifferences(screen, composite, &difference);
    }
    pt::SavePng(screen, "lumitra4-screen.png");
    pt::SavePng(composite, "lumitra4-composite.png");
    pt::SavePng(difference, "lumitra4-difference.png");
    EXPECT_GT(RedPixels(composite), 3 * 500) << "the composite shows the sample JPEGs";
    EXPECT_EQ(differing, 0) << "of " << screen.width << "x" << screen.height << " pixels";

    app.CloseFrame();
    app.ExitInstance();
}

// The part of a screen grab a client rectangle of a window covers.
RECT ScreenRectOf(HWND hwnd, const RECT& client)
{
    POINT topLeft{client.left, client.top};
    ::ClientToScreen(hwnd, &topLeft);
    return {topLeft.x, topLeft.y, topLeft.x + (client.right - client.left), topLeft.y + (client.bottom - client.top)};
}

// The mean of a grab's red, green and blue levels.
double MeanLevel(const pt::PixelImage& image)
{
    double sum = 0;
    for (uint32_t pixel : image.argb)
        sum += ((pixel >> 16) & 0xff) + ((pixel >> 8) & 0xff) + (pixel & 0xff);
    return image.argb.empty() ? 0 : sum / (3.0 * image.argb.size());
}

// The mean difference of each channel between a grab and a bottom-up 24-bit
// picture of the same size (a pixel more or less at the edges from rounding).
double MeanDifference(const pt::PixelImage& screen, const CET_Dib& picture)
{
    if (std::abs(screen.width - picture.GetWidth()) > 1 || std::abs(screen.height - picture.GetHeight()) > 1)
        return 255;
    const int width = std::min(screen.width, picture.GetWidth()) - 1;
    const int height = std::min(screen.height, picture.GetHeight()) - 1;
    double sum = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF a = pt::PixelAt(screen, x, y);
            const int b = picture.GetPixel(x, y);
            sum += std::abs(int(GetRValue(a)) - int(GetRValue(b))) + std::abs(int(GetGValue(a)) - int(GetGValue(b))) +
                   std::abs(int(GetBValue(a)) - int(GetBValue(b)));
        }
    return sum / (3.0 * width * height);
}

bool PumpUntil(const std::function<bool()>& done, int seconds = 60)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < until) {
        pt::Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pt::Pump();
    return done();
}

// A child control's centre on the screen.
POINT CentreOf(HWND control)
{
    RECT client{};
    ::GetClientRect(control, &client);
    const RECT screen = ScreenRectOf(control, client);
    return {(screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2};
}

TEST(Lumitra4Smoke, ARawFileDoubleClickedOpensInAReviewWindowThatDevelopsItLive)
{
    if (const std::string why = pt::StartOnDisplay(false); !why.empty())
        GTEST_SKIP() << why;
    SampleHome home;
    ASSERT_TRUE(home.made) << home.output;
    // The program's data folder (texts, pictures, colour profiles) as the program finds it.
    SetAppProgramPath(testsupport::BuildTreeProgramPath());
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    BrowserApp app;
    app.SetArguments({"-Embedding", home.samples.string()});
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* main = app.Frame();
    auto* browser = dynamic_cast<CThumbFormView*>(app.Pane()->GetPaneWnd());
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(pt::WaitUntilExposed(main->GetSafeHwnd()));
    ASSERT_TRUE(PumpUntil([&] { return !app.Pane()->IsLoading(); })) << "the thumbnails did not come";

    // Double-click the first raw file's picture in the grid.
    CTLM_ThumbnailWnd& grid = browser->GetGrid();
    const std::string first = "daylight-iso100-480x360.kvr";
    const std::string second = "daylight-iso800-auto-480x360.kvr";
    int index = -1;
    for (int i = 0; i < grid.GetItemCount(); ++i)
        if (grid.GetItem(i)->m_FileName.GetAscii() == first)
            index = i;
    ASSERT_GE(index, 0);
    const RECT cell = ScreenRectOf(grid.GetSafeHwnd(), grid.GetItemPictRect(index));
    WindowSystem server;
    server.Click((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    server.Click((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(PumpUntil([&] { return main->GetReviewFrameCount() == 1; })) << "no review window";
    auto* frame = dynamic_cast<CReviewFrame*>(main->GetReviewFrame(0)->GetFrameWnd());
    ASSERT_NE(frame, nullptr);
    CReviewFormView* view = frame->GetView();
    ASSERT_TRUE(PumpUntil([&] { return view->IsImageReady() && !view->Develop().IsWorkerRunning(); }))
        << "the picture was not developed";
    EXPECT_EQ(frame->GetImagePath().GetAscii(), (home.samples / first).string());
    ASSERT_TRUE(pt::WaitUntilExposed(frame->GetSafeHwnd()));

    // The pane shows what the facade develops of the file at the same size.
    CReviewImageWnd& pane = view->GetPane();
    const auto shownPicture = [&] {
        const CRect shown = pane.ImageToClient(pane.GetImageRect());
        PumpUntil([] { return false; }, 1); // Qt presents the last paint
        return pt::GrabScreen(ScreenRectOf(pane.GetSafeHwnd(), shown));
    };
    const ReviewDevelopParam& job = view->Develop().Job();
    ASSERT_NE(job.developedPicture, nullptr);
    const int width = job.developedPicture->GetWidth(), height = job.developedPicture->GetHeight();
    std::unique_ptr<CET_Dib> reference;
    {
        std::unique_ptr<CET_FilterData> slot(frame->GetSlotSettings(frame->GetCurrentSlot()));
        KVREngineLockScope engine;
        CKVR_ImageHandle* handle = KVR_OpenHandle(frame->GetImagePath().GetText());
        ASSERT_NE(handle, nullptr);
        KVR_SetColorSpace(handle, 2);
        BITMAPINFOHEADER header{};
        BYTE* bits = KVR_DevelopRegionToDIB(handle, &header, width, height, RECT{0, 0, width, height},
                                            dynamic_cast<CKVR_FilterData*>(slot.get()), nullptr, nullptr);
        reference.reset(KVR_WrapInBitmap(header, bits));
        KVR_CloseHandle(handle);
    }
    ASSERT_NE(reference, nullptr);
    pt::PixelImage developed = shownPicture();
    pt::SavePng(developed, "lumitra4-review-picture.png");
    EXPECT_LT(MeanDifference(developed, *reference), 2.0)
        << "the window shows the facade's development (" << width << " x " << height << ")";
    RECT frameClient{};
    ::GetClientRect(frame->GetSafeHwnd(), &frameClient);
    pt::SavePng(pt::GrabScreen(ScreenRectOf(frame->GetSafeHwnd(), frameClient)), "lumitra4-review.png");

    // The adjustment palette opens from the view's button and follows the window.
    const POINT paletteButton = CentreOf(::GetDlgItem(view->GetSafeHwnd(), ReviewView::kAdjustPalette));
    server.Click(paletteButton.x, paletteButton.y);
    ASSERT_TRUE(PumpUntil([] { return CAdjustPalette::GetInstance() != nullptr; })) << "no adjustment palette";
    CAdjustPalette* palette = CAdjustPalette::GetInstance();
    ASSERT_TRUE(pt::WaitUntilExposed(palette->GetSafeHwnd()));
    EXPECT_EQ(palette->GetPath(), frame->GetImagePath());
    // Beside the review window, as the user would put it, so that clicks reach the window.
    palette->SetWindowPos(nullptr, 1000, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    pt::Pump();

    // A page step of the exposure slider (a click right of its thumb) makes
    // the picture brighter.
    const double before = MeanLevel(developed);
    CWnd* tone = palette->GetPanel(CAdjustPalette::kTonePanel);
    ASSERT_NE(tone, nullptr);
    const HWND exposure = ::GetDlgItem(tone->GetSafeHwnd(), CPaletteToolAdjust::kFirstSliderId);
    RECT track{};
    ::GetClientRect(exposure, &track);
    const RECT trackOnScreen = ScreenRectOf(exposure, track);
    server.Click(trackOnScreen.right - (trackOnScreen.right - trackOnScreen.left) / 5,
                 (trackOnScreen.top + trackOnScreen.bottom) / 2);
    ASSERT_TRUE(PumpUntil([&] { return frame->GetCurrentSlot() == 3; })) << "the slider sent no settings";
    ASSERT_TRUE(PumpUntil([&] { return view->IsImageReady() && !view->Develop().IsWorkerRunning(); }));
    std::unique_ptr<CET_FilterData> custom(frame->GetSlotSettings(3));
    EXPECT_GT(custom->m_nExposure, 0);
    const pt::PixelImage brighter = shownPicture();
    pt::SavePng(brighter, "lumitra4-review-brighter.png");
    EXPECT_GT(MeanLevel(brighter), before + 10) << "exposure " << custom->m_nExposure;
    RECT paletteClient{};
    ::GetClientRect(palette->GetSafeHwnd(), &paletteClient);
    pt::SavePng(pt::GrabScreen(ScreenRectOf(palette->GetSafeHwnd(), paletteClient)), "lumitra4-review-palette.png");

    // The loupe: a magnified region under the pointer.
    const POINT loupeButton = CentreOf(::GetDlgItem(view->GetSafeHwnd(), ReviewView::kLoupe));
    server.Click(loupeButton.x, loupeButton.y);
    ASSERT_TRUE(PumpUntil([&] { return view->GetLoupe(nullptr) != FALSE; }));
    const CRect shown = pane.ImageToClient(pane.GetImageRect());
    const RECT shownOnScreen = ScreenRectOf(pane.GetSafeHwnd(), shown);
    const POINT over{(shownOnScreen.left + shownOnScreen.right) / 2, (shownOnScreen.top + shownOnScreen.bottom) / 2};
    const RECT around{over.x - 80, over.y - 80, over.x + 80, over.y + 80};
    const pt::PixelImage withoutLoupe = pt::GrabScreen(around);
    pt::MovePointerOnServer(POINT{over.x - 1, over.y});
    pt::MovePointerOnServer(over);
    ASSERT_TRUE(PumpUntil([&] { return pane.IsMouseInside() != FALSE; }, 10)) << "the pane saw no pointer";
    PumpUntil([] { return false; }, 1);
    const pt::PixelImage withLoupe = pt::GrabScreen(around);
    pt::SavePng(withLoupe, "lumitra4-review-loupe.png");
    RECT paneClient{};
    ::GetClientRect(pane.GetSafeHwnd(), &paneClient);
    pt::SavePng(pt::GrabScreen(ScreenRectOf(pane.GetSafeHwnd(), paneClient)), "lumitra4-review-loupe-pane.png");
    int changed = 0;
    for (size_t i = 0; i < withLoupe.argb.size() && i < withoutLoupe.argb.size(); ++i)
        changed += withLoupe.argb[i] != withoutLoupe.argb[i] ? 1 : 0;
    EXPECT_GT(changed, 160 * 160 / 4) << "the loupe shows a region of its own";

    // The next image: the next raw file, and the palette follows.
    const POINT next = CentreOf(::GetDlgItem(view->GetSafeHwnd(), ReviewView::kNext));
    server.Click(next.x, next.y);
    ASSERT_TRUE(PumpUntil([&] {
        return frame->GetImagePath().GetAscii() == (home.samples / second).string() && view->IsImageReady() &&
               !view->Develop().IsWorkerRunning();
    })) << frame->GetImagePath().GetAscii();
    EXPECT_EQ(palette->GetPath(), frame->GetImagePath()) << "the palette follows the window";
    PumpUntil([] { return false; }, 1);
    pt::SavePng(pt::GrabScreen(ScreenRectOf(frame->GetSafeHwnd(), frameClient)), "lumitra4-review-next.png");

    frame->PostMessage(WM_CLOSE);
    ASSERT_TRUE(PumpUntil([&] { return main->GetReviewFrameCount() == 0; }));
    EXPECT_EQ(CAdjustPalette::GetInstance(), nullptr) << "the last review window closes the palette";
    app.CloseFrame();
    app.ExitInstance();
}

} // namespace
