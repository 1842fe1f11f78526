// The program itself on an X server: started on a sample folder made by
// make_samples, it shows the folder's thumbnails (the screen is saved as a PNG
// in the test output), turns a raw file clicked in its grid with the tool
// bar's rotate button, closes when the window system asks it to, and then has
// written its settings file.
#include "platform/testing/Display.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

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

    // The largest mapped top-level window (the window layer leaves the X
    // window's name unset).
    std::optional<xcb_window_t> FindLargestWindow()
    {
        std::optional<xcb_window_t> found;
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(m_Connection, xcb_query_tree(m_Connection, m_Root), nullptr), &std::free);
        if (!tree)
            return found;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        long largest = 0;
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const RECT area = Geometry(children[i]);
            const long size = long(area.right - area.left) * (area.bottom - area.top);
            if (Mapped(children[i]) && size > largest) {
                largest = size;
                found = children[i];
            }
        }
        return found;
    }
    RECT Geometry(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(m_Connection, xcb_get_geometry(m_Connection, window), nullptr), &std::free);
        if (!geometry)
            return {};
        return {geometry->x, geometry->y, geometry->x + geometry->width, geometry->y + geometry->height};
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

    // A left click at a point of the screen.
    void Click(int x, int y)
    {
        xcb_warp_pointer(m_Connection, XCB_NONE, m_Root, 0, 0, 0, 0, static_cast<int16_t>(x), static_cast<int16_t>(y));
        xcb_test_fake_input(m_Connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(m_Connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_Connection);
    }

private:
    xcb_atom_t Atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_Connection,
                                  xcb_intern_atom(m_Connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : XCB_ATOM_NONE;
    }
    bool Mapped(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(m_Connection, xcb_get_window_attributes(m_Connection, window), nullptr),
            &std::free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    xcb_connection_t* m_Connection;
    xcb_window_t m_Root = 0;
};

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

TEST(Lumitra4Smoke, ShowsASampleFolderTurnsAndMarksARawFileAndWritesItsSettingsWhenClosed)
{
    if (const std::string why = pt::StartOnDisplay(false); !why.empty())
        GTEST_SKIP() << why;
    TempDir home;
    fs::create_directories(home.Path() / "config");
    fs::create_directories(home.Path() / "runtime");
    ::chmod((home.Path() / "runtime").c_str(), 0700);
    ::setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home.Path() / "runtime").c_str(), 1);
    const fs::path samples = home.Path() / "samples";
    {
        pt::ProgramRun make({MAKE_SAMPLES_PROGRAM, samples.string(), "small"});
        ASSERT_EQ(make.Finish(120000), 0) << make.Output();
    }

    pt::ProgramRun program({LUMITRA_PROGRAM, "-Embedding", samples.string()});
    WindowSystem server;
    std::optional<xcb_window_t> window;
    for (int i = 0; i < 600 && !window; ++i) {
        program.WaitFor("\x01", 100); // serves the window system meanwhile
        window = server.FindLargestWindow();
    }
    ASSERT_TRUE(window) << program.Output();
    const RECT area = server.Geometry(*window);
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

    server.AskToClose(*window);
    EXPECT_EQ(program.Finish(60000), 0) << program.Output();
    EXPECT_TRUE(fs::exists(home.Path() / "config" / "Lumitra" / "TLumitra.ini"));
}

} // namespace
