// What the X11 editor suites share: a host callback that records edit
// brackets and size requests, the host's parent window, the plug-in with its
// dispatcher and idle loop, pixel read-back, and a helper that drives the
// editor's menus and boxes from a second connection while the editor's
// thread sits in them.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/PluginFactory.h"
#include "editor/VornEditor.h"
#include "graphics/IGraphics.h"

// Last: Xlib defines macros (None, Bool, Status) that other headers use as
// names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace x11_test {

inline std::vector<std::pair<int, VstIntPtr>> g_calls;  // opcode, index

inline VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float)
{
    if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit || opcode == audioMasterSizeWindow) {
        g_calls.emplace_back(opcode, index);
    }
    return opcode == audioMasterVersion ? 2400 : opcode == audioMasterSizeWindow ? 1 : 0;
}

// The virtual server sometimes refuses a connection for a moment right after
// others closed; a host would try again too.
inline Display* OpenDisplay()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            return display;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

struct HostWindow {
    Display* display = OpenDisplay();
    Window window = 0;
    HostWindow()
    {
        if (display == nullptr) {
            return;
        }
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1100, 512, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
    }
    ~HostWindow()
    {
        if (display != nullptr) {
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }
};

struct Plugin {
    std::unique_ptr<IPluginVST> plugin{CreatePluginInstance(&Host)};
    AEffect* effect = plugin->Effect();
    VornWithEditor& Vorn() { return dynamic_cast<VornWithEditor&>(*plugin); }
    VstIntPtr Dispatch(VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr)
    {
        return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
    }
    // The compact layout (whatever the user's settings say) opened in host
    // and painted; the editor's window, 0 when it did not open.
    Window OpenCompact(Window host)
    {
        Vorn().SetEditLayout(false);
        Vorn().BuildEditor();
        Vorn().PushParametersToEditor();
        if (Dispatch(effEditOpen, 0, reinterpret_cast<void*>(host)) != 1) {
            return 0;
        }
        IdleFor(150, 60);
        return static_cast<Window>(reinterpret_cast<std::uintptr_t>(Vorn().Graphics()->WindowHandle()));
    }
    // Host idle for the given time at the given rate.
    void IdleFor(int milliseconds, int hertz = 25)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            Dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000 / hertz));
        }
    }
};

// The pixel at (x, y) of a window, as 0xRRGGBB.
inline unsigned long PixelAt(Display* display, Window window, int x, int y)
{
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0xFFFFFFFF;
    }
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// A checksum of a window's pixels in a rectangle.
inline unsigned long RegionSum(Display* display, Window window, int x, int y, int w, int h)
{
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0;
    }
    unsigned long sum = 0;
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            sum = sum * 31 + (XGetPixel(image, i, j) & 0xFFFFFF);
        }
    }
    XDestroyImage(image);
    return sum;
}

// The same checksum over the editor's draw bitmap.
inline unsigned long BitmapSum(PixBitmap& bitmap, int x, int y, int w, int h)
{
    unsigned long sum = 0;
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            sum = sum * 31 + (bitmap.Row(y + j)[x + i] & 0xFFFFFF);
        }
    }
    return sum;
}

// A configuration folder of the test's own while it lives, so that what a
// test writes there reaches no other suite.
class PrivateConfiguration {
public:
    PrivateConfiguration()
    {
        char pattern[] = "/tmp/vorn-config-XXXXXX";
        m_folder = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
        const char* saved = std::getenv("XDG_DATA_HOME");
        m_had = saved != nullptr;
        m_previous = m_had ? saved : "";
        setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
    }
    ~PrivateConfiguration()
    {
        if (m_had) {
            setenv("XDG_DATA_HOME", m_previous.c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
        std::filesystem::remove_all(m_folder);
    }
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_previous;
    bool m_had = false;
};

// Runs script on a thread of its own with a display connection of its own,
// so that it can drive the screen while the test's thread sits in the
// editor's menus and boxes (inside idle calls).
class Driver {
public:
    explicit Driver(std::function<void(Display*)> script)
        : m_thread([script = std::move(script)] {
              if (Display* display = OpenDisplay()) {
                  script(display);
                  XCloseDisplay(display);
              }
          })
    {
    }
    ~Driver() { m_thread.join(); }

private:
    std::thread m_thread;
};

// The mapped override-redirect windows on the root (menus, tooltips),
// bottom to top.
inline std::vector<XWindowAttributes> PopupWindows(Display* display)
{
    std::vector<XWindowAttributes> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return found;
    }
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.override_redirect &&
            attributes.map_state == IsViewable) {
            found.push_back(attributes);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// Waits (at most 5 s) until count popup windows are shown.
inline std::vector<XWindowAttributes> WaitForPopups(Display* display, std::size_t count)
{
    std::vector<XWindowAttributes> found;
    for (int attempt = 0; attempt < 500 && (found = PopupWindows(display)).size() < count; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return found;
}

inline void MoveTo(Display* display, int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, 0);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

inline void Click(Display* display, int x, int y, unsigned button = 1)
{
    MoveTo(display, x, y);
    XTestFakeButtonEvent(display, button, True, 0);
    XTestFakeButtonEvent(display, button, False, 0);
    XSync(display, False);
}

inline void PressKey(Display* display, KeySym symbol)
{
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Types lower-case letters, digits, blanks and points.
inline void TypeText(Display* display, const char* text)
{
    for (; *text != '\0'; ++text) {
        PressKey(display, *text == ' ' ? XK_space : *text == '.' ? XK_period : static_cast<KeySym>(*text));
    }
}

// Waits (at most 5 s) until the pixel at (x, y) of window is no longer
// was.
inline bool WaitForPixelChange(Display* display, Window window, int x, int y, unsigned long was)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (PixelAt(display, window, x, y) != was) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace x11_test
