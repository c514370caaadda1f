// vornhost edit and snapshot: the plug-in's editor in a window of the host's
// own on the current X display, driven by idle calls as a host does.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "tools/vornhost/Commands.h"
#include "tools/vornhost/WaveformImage.h"

// Last: Xlib's macros clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

// A top-level window of the editor's size, titled "VORN".
struct EditorFrame {
    Display* display = nullptr;
    Window window = 0;
    Atom closeAtom = 0;

    bool Open(int width, int height)
    {
        display = XOpenDisplay(nullptr);
        if (display == nullptr) {
            std::fprintf(stderr, "vornhost: cannot open the X display (is DISPLAY set?)\n");
            return false;
        }
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, 0, 0);
        XStoreName(display, window, "VORN");
        closeAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window, &closeAtom, 1);
        XSelectInput(display, window, StructureNotifyMask);
        XMapWindow(display, window);
        XSync(display, False);
        return true;
    }
    ~EditorFrame()
    {
        if (display != nullptr) {
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }
    // False once the user closed the window.
    bool Pump()
    {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == closeAtom) {
                return false;
            }
        }
        return true;
    }
};

// Opens the editor of the loaded plug-in inside frame; false after saying why.
bool OpenEditor(PluginHost& host, EditorFrame& frame)
{
    AEffect* effect = host.Effect();
    if ((effect->flags & effFlagsHasEditor) == 0) {
        std::fprintf(stderr, "vornhost: the plug-in has no editor\n");
        return false;
    }
    ERect* rect = nullptr;
    if (host.Dispatch(effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr) {
        std::fprintf(stderr, "vornhost: the plug-in gives no editor size\n");
        return false;
    }
    if (!frame.Open(rect->right - rect->left, rect->bottom - rect->top)) {
        return false;
    }
    if (host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(frame.window)) == 0) {
        std::fprintf(stderr, "vornhost: the plug-in did not open its editor\n");
        return false;
    }
    return true;
}

void IdleFor(PluginHost& host, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        host.Dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

int RunEdit(const EditOptions& options)
{
    PluginHost host;
    host.SetVerbose(options.verbose);
    if (!StartPlugin(host, options.modulePath, 48000, 512, ProcessMode::Replacing, options.program)) {
        return 1;
    }
    EditorFrame frame;
    if (!OpenEditor(host, frame)) {
        return 1;
    }
    std::signal(SIGINT, &OnSignal);
    std::signal(SIGTERM, &OnSignal);
    std::printf("vornhost: the editor is open; close its window or press Ctrl-C to end\n");
    std::vector<float> values(static_cast<std::size_t>(host.Effect()->numParams));
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = host.Effect()->getParameter(host.Effect(), static_cast<VstInt32>(i));
    }
    while (g_stop == 0 && frame.Pump()) {
        host.Dispatch(effEditIdle);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const float now = host.Effect()->getParameter(host.Effect(), static_cast<VstInt32>(i));
            if (now != values[i]) {
                values[i] = now;
                const std::string name = host.DispatchText(effGetParamName, static_cast<VstInt32>(i));
                const std::string display = host.DispatchText(effGetParamDisplay, static_cast<VstInt32>(i));
                const std::string label = host.DispatchText(effGetParamLabel, static_cast<VstInt32>(i));
                std::printf("%2zu %-32s %s %s\n", i, name.c_str(), display.c_str(), label.c_str());
                std::fflush(stdout);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    host.Dispatch(effEditClose);
    return 0;
}

int RunSnapshot(const SnapshotOptions& options)
{
    PluginHost host;
    if (!StartPlugin(host, options.modulePath, 48000, 512, ProcessMode::Replacing, options.program)) {
        return 1;
    }
    EditorFrame frame;
    if (!OpenEditor(host, frame)) {
        return 1;
    }
    IdleFor(host, 300);
    if (options.editLayout) {
        // A click on the panel's edit switch, sent to the editor's window.
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(frame.display, frame.window, &root, &parent, &children, &count);
        if (count > 0) {
            XEvent event{};
            event.xbutton.display = frame.display;
            event.xbutton.window = children[0];
            event.xbutton.x = 940;
            event.xbutton.y = 38;
            event.xbutton.button = Button1;
            event.type = ButtonPress;
            XSendEvent(frame.display, children[0], False, ButtonPressMask, &event);
            event.type = ButtonRelease;
            XSendEvent(frame.display, children[0], False, ButtonReleaseMask, &event);
            XFlush(frame.display);
        }
        if (children != nullptr) {
            XFree(children);
        }
        IdleFor(host, 300);
        ERect* rect = nullptr;
        if (host.Dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr) {
            XResizeWindow(frame.display, frame.window, static_cast<unsigned>(rect->right),
                          static_cast<unsigned>(rect->bottom));
            XSync(frame.display, False);
        }
        IdleFor(host, 300);
    }
    XSync(frame.display, False);
    XWindowAttributes attributes{};
    XGetWindowAttributes(frame.display, frame.window, &attributes);
    XImage* image = XGetImage(frame.display, frame.window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        std::fprintf(stderr, "vornhost: cannot read the window's pixels\n");
        return 1;
    }
    RgbImage picture(attributes.width, attributes.height, 0, 0, 0);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            picture.Set(x, y, static_cast<unsigned char>((pixel >> 16) & 0xFF),
                        static_cast<unsigned char>((pixel >> 8) & 0xFF),
                        static_cast<unsigned char>(pixel & 0xFF));
        }
    }
    XDestroyImage(image);
    host.Dispatch(effEditClose);
    std::string error;
    if (!WritePng(options.outputPath, picture, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    std::printf("vornhost: %s (%d x %d)\n", options.outputPath.c_str(), attributes.width, attributes.height);
    return 0;
}
