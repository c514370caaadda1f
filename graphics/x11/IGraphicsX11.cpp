#include "graphics/x11/IGraphicsX11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/EditorHost.h"
#include "graphics/PngImage.h"
#include "platform/Folders.h"
#include "platform/Module.h"

namespace {

constexpr auto kTickPeriod = std::chrono::milliseconds(40);

// The displays the editors opened: X errors on them are ours and ignored
// (a parent destroyed before close, for example); others go to the handler
// that was there before.
std::mutex g_errorMutex;
std::vector<Display*> g_ourDisplays;
XErrorHandler g_previousHandler = nullptr;

int OnXError(Display* display, XErrorEvent* event)
{
    {
        std::lock_guard<std::mutex> lock(g_errorMutex);
        if (std::find(g_ourDisplays.begin(), g_ourDisplays.end(), display) != g_ourDisplays.end()) {
            return 0;
        }
    }
    return g_previousHandler != nullptr ? g_previousHandler(display, event) : 0;
}

void Adopt(Display* display)
{
    std::lock_guard<std::mutex> lock(g_errorMutex);
    if (g_ourDisplays.empty()) {
        g_previousHandler = XSetErrorHandler(&OnXError);
    }
    g_ourDisplays.push_back(display);
}

void Release(Display* display)
{
    std::lock_guard<std::mutex> lock(g_errorMutex);
    g_ourDisplays.erase(std::remove(g_ourDisplays.begin(), g_ourDisplays.end(), display),
                        g_ourDisplays.end());
    if (g_ourDisplays.empty()) {
        XSetErrorHandler(g_previousHandler);
        g_previousHandler = nullptr;
    }
}

IModifiers ModifiersOf(unsigned state, unsigned button = 0)
{
    IModifiers m;
    m.left = (state & Button1Mask) != 0 || button == Button1;
    m.right = (state & Button3Mask) != 0 || button == Button3;
    m.shift = (state & ShiftMask) != 0;
    m.control = (state & ControlMask) != 0;
    m.alt = (state & Mod1Mask) != 0;
    return m;
}

}  // namespace

struct IGraphicsX11::Window {
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;  // over the draw bitmap's memory (XPutImage)
    // MIT-SHM: an image in a shared-memory segment the dirty region is copied
    // into, on local displays that have the extension.
    bool shmUsable = false;
    XShmSegmentInfo shm{};
    XImage* shmImage = nullptr;

    void FreeImages()
    {
        if (image != nullptr) {
            image->data = nullptr;  // the draw bitmap's memory is not the image's
            XDestroyImage(image);
            image = nullptr;
        }
        if (shmImage != nullptr) {
            XShmDetach(display, &shm);
            XSync(display, False);
            XDestroyImage(shmImage);
            shmdt(shm.shmaddr);
            shmImage = nullptr;
            shm = {};
        }
    }
    // A shared image of width x height; false (and MIT-SHM off) when it
    // cannot be made.
    bool MakeSharedImage(int width, int height)
    {
        const int screen = DefaultScreen(display);
        shmImage = XShmCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, nullptr, &shm,
                                   static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (shmImage == nullptr || shmImage->bits_per_pixel != 32) {
            if (shmImage != nullptr) {
                XDestroyImage(shmImage);
                shmImage = nullptr;
            }
            shmUsable = false;
            return false;
        }
        shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(shmImage->bytes_per_line) * shmImage->height,
                           IPC_CREAT | 0600);
        void* address = shm.shmid >= 0 ? shmat(shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
        if (address == reinterpret_cast<void*>(-1)) {
            if (shm.shmid >= 0) {
                shmctl(shm.shmid, IPC_RMID, nullptr);
            }
            XDestroyImage(shmImage);
            shmImage = nullptr;
            shm = {};
            shmUsable = false;
            return false;
        }
        shm.shmaddr = shmImage->data = static_cast<char*>(address);
        shm.readOnly = False;
        XShmAttach(display, &shm);
        XSync(display, False);
        // Freed by the system once both sides have detached.
        shmctl(shm.shmid, IPC_RMID, nullptr);
        return true;
    }
    bool buttonHeld = false;
    IRectangle exposed;
};

IGraphicsX11::IGraphicsX11(EditorHost& host, int width, int height) : IGraphics(&host, width, height) {}

IGraphicsX11::~IGraphicsX11()
{
    CloseWindow();
}

void* IGraphicsX11::OpenWindow(void* parent)
{
    if (m_window) {
        return WindowHandle();
    }
    if (parent == nullptr) {
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    Adopt(display);
    auto window = std::make_unique<Window>();
    window->display = display;
    const ::Window parentWindow = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(parent));
    window->window = XCreateSimpleWindow(display, parentWindow, 0, 0, static_cast<unsigned>(Width()),
                                         static_cast<unsigned>(Height()), 0, 0, 0);
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = Width();
    hints.min_height = hints.max_height = Height();
    XSetWMNormalHints(display, window->window, &hints);
    // Embedded and mapped (XEmbed version 0, flag "mapped").
    const Atom xembed = XInternAtom(display, "_XEMBED_INFO", False);
    const long info[2] = {0, 1};
    XChangeProperty(display, window->window, xembed, xembed, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    XSelectInput(display, window->window,
                 ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                     KeyPressMask | StructureNotifyMask);
    window->gc = XCreateGC(display, window->window, 0, nullptr);
    // Shared memory only reaches a server on this machine.
    const char* name = DisplayString(display);
    window->shmUsable = XShmQueryExtension(display) && name != nullptr && name[0] == ':' &&
                        std::getenv("VORN_X11_NO_SHM") == nullptr;
    XMapWindow(display, window->window);
    XFlush(display);
    m_window = std::move(window);
    for (int i = 0; i < ControlCount(); ++i) {
        Control(i)->MarkDirty(false);
    }
    m_lastTick = {};
    return WindowHandle();
}

void IGraphicsX11::CloseWindow()
{
    if (!m_window) {
        return;
    }
    CancelTextEntry();
    Display* display = m_window->display;
    m_window->FreeImages();
    if (m_window->gc != nullptr) {
        XFreeGC(display, m_window->gc);
    }
    XDestroyWindow(display, m_window->window);
    XSync(display, False);
    Release(display);
    XCloseDisplay(display);
    m_window.reset();
}

void* IGraphicsX11::WindowHandle()
{
    return m_window ? reinterpret_cast<void*>(static_cast<std::uintptr_t>(m_window->window)) : nullptr;
}

void IGraphicsX11::Resize(int width, int height)
{
    const bool changed = width != Width() || height != Height();
    IGraphics::Resize(width, height);
    if (m_window) {
        // The images have the old size (and wrap the old draw bitmap).
        m_window->FreeImages();
        m_resizePending = m_resizePending || changed;
    }
}

void IGraphicsX11::Idle()
{
    if (!m_window) {
        return;
    }
    Display* display = m_window->display;
    if (m_resizePending) {
        m_resizePending = false;
        XSizeHints hints{};
        hints.flags = PMinSize | PMaxSize;
        hints.min_width = hints.max_width = Width();
        hints.min_height = hints.max_height = Height();
        XSetWMNormalHints(display, m_window->window, &hints);
        XResizeWindow(display, m_window->window, static_cast<unsigned>(Width()),
                      static_cast<unsigned>(Height()));
        if (Host() != nullptr) {
            Host()->RequestWindowSize(Width(), Height());
        }
    }
    // Every waiting event; pointer motion coalesced to its last position.
    XEvent motion{};
    bool moved = false;
    while (m_window && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MotionNotify) {
            motion = event;
            moved = true;
            continue;
        }
        if (moved) {
            HandleEvent(&motion);
            moved = false;
        }
        HandleEvent(&event);
    }
    if (moved && m_window) {
        HandleEvent(&motion);
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_window && now - m_lastTick >= kTickPeriod) {
        m_lastTick = now;
        RedrawTick();
    }
}

void IGraphicsX11::RedrawTick()
{
    IRectangle dirty = m_window->exposed;
    m_window->exposed = {};
    IRectangle more;
    if (IsDirty(more)) {
        dirty = dirty.Union(more);
    }
    if (!dirty.Empty()) {
        Draw(dirty);
    }
}

void IGraphicsX11::HandleEvent(const void* raw)
{
    const XEvent& event = *static_cast<const XEvent*>(raw);
    switch (event.type) {
        case Expose: {
            const IRectangle area{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                  event.xexpose.y + event.xexpose.height};
            m_window->exposed = m_window->exposed.Union(area);
            // Whatever covers the area is drawn again.
            for (int i = 0; i < ControlCount(); ++i) {
                if (Control(i)->Rect().Meets(area)) {
                    Control(i)->MarkDirty(false);
                }
            }
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button4 || event.xbutton.button == Button5) {
                HandleWheel(event.xbutton.x, event.xbutton.y, ModifiersOf(event.xbutton.state),
                            event.xbutton.button == Button4 ? 1 : -1);
            } else if (event.xbutton.button == Button1 || event.xbutton.button == Button3) {
                m_window->buttonHeld = true;
                HandleMouseDown(event.xbutton.x, event.xbutton.y,
                                ModifiersOf(event.xbutton.state, event.xbutton.button));
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 || event.xbutton.button == Button3) {
                m_window->buttonHeld = false;
                HandleMouseUp(event.xbutton.x, event.xbutton.y,
                              ModifiersOf(event.xbutton.state, event.xbutton.button));
            }
            break;
        case MotionNotify:
            if (m_window->buttonHeld) {
                HandleMouseDrag(event.xmotion.x, event.xmotion.y, ModifiersOf(event.xmotion.state));
            } else {
                HandleMouseOver(event.xmotion.x, event.xmotion.y, ModifiersOf(event.xmotion.state));
            }
            break;
        case LeaveNotify:
            HandleMouseOut();
            break;
        default:
            break;
    }
}

bool IGraphicsX11::PaintScreen(const IRectangle& rect)
{
    PixSysBitmap* bitmap = DrawBitmap();
    if (!m_window || bitmap == nullptr || bitmap->Bits() == nullptr) {
        return true;
    }
    Display* display = m_window->display;
    const IRectangle area = rect.Intersect({0, 0, bitmap->Width(), bitmap->Height()});
    if (area.Empty()) {
        return true;
    }
    if (m_window->shmUsable &&
        (m_window->shmImage != nullptr || m_window->MakeSharedImage(bitmap->Width(), bitmap->Height()))) {
        XImage* image = m_window->shmImage;
        for (int y = area.top; y < area.bottom; ++y) {
            std::memcpy(image->data + static_cast<std::ptrdiff_t>(y) * image->bytes_per_line + area.left * 4,
                        bitmap->Row(y) + area.left, static_cast<std::size_t>(area.Width()) * 4);
        }
        XShmPutImage(display, m_window->window, m_window->gc, image, area.left, area.top, area.left, area.top,
                     static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()), False);
        XFlush(display);
        return true;
    }
    if (m_window->image == nullptr) {
        const int screen = DefaultScreen(display);
        m_window->image =
            XCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, 0,
                         reinterpret_cast<char*>(bitmap->Bits()), static_cast<unsigned>(bitmap->Width()),
                         static_cast<unsigned>(bitmap->Height()), 32, bitmap->RowSpan() * 4);
        if (m_window->image == nullptr) {
            return false;
        }
    }
    XPutImage(display, m_window->window, m_window->gc, m_window->image, area.left, area.top, area.left,
              area.top, static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()));
    XFlush(display);
    return true;
}

namespace {

std::string FolderOfPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

void IGraphicsX11::HostFolder(std::string& folder)
{
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    folder = length > 0 ? FolderOfPath(std::string(path, static_cast<std::size_t>(length))) : std::string();
}

void IGraphicsX11::ModuleFolder(std::string& folder)
{
    folder = FolderOfPath(ThisModulePath());
}

void IGraphicsX11::DesktopFolder(std::string& folder)
{
    const char* desktop = std::getenv("XDG_DESKTOP_DIR");
    const char* home = std::getenv("HOME");
    folder = desktop != nullptr && desktop[0] != '\0' ? desktop
             : home != nullptr                        ? JoinPath(home, "Desktop")
                                                      : std::string();
}

void IGraphicsX11::AppDataFolder(std::string& folder, bool common)
{
    folder = common ? std::string("/usr/local/share") : LocalAppDataFolder();
}

void IGraphicsX11::UserAppDataFolder(std::string& folder)
{
    folder = LocalAppDataFolder();
}

bool IGraphicsX11::OpenUrl(const char* url, const char*, const char*, const char*)
{
    if (url == nullptr || url[0] == '\0') {
        return false;
    }
    // A grandchild runs xdg-open, so that nothing is left to reap and the
    // host's thread does not wait for the browser.
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", url, static_cast<char*>(nullptr));
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return true;
}

std::unique_ptr<PixBitmap> IGraphicsX11::LoadBitmapResource(int id, const char*)
{
    return LoadPngResource(id);
}
