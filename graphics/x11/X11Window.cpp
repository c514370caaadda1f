#include "graphics/x11/X11Window.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "graphics/PixBitmap.h"

int IGraphicsX11::IgnoredErrorCount()
{
    return x11::IgnoredErrors();
}

namespace x11 {
namespace {

std::mutex g_errorMutex;
std::vector<Display*> g_ourDisplays;
XErrorHandler g_previousHandler = nullptr;
int g_ignored = 0;

int OnXError(Display* display, XErrorEvent* event)
{
    {
        std::lock_guard<std::mutex> lock(g_errorMutex);
        if (std::find(g_ourDisplays.begin(), g_ourDisplays.end(), display) != g_ourDisplays.end()) {
            ++g_ignored;
            return 0;
        }
    }
    return g_previousHandler != nullptr ? g_previousHandler(display, event) : 0;
}

void AppendUtf8(std::string& text, char32_t c)
{
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

void Adopt(Display* display)
{
    std::lock_guard<std::mutex> lock(g_errorMutex);
    if (g_ourDisplays.empty()) {
        g_previousHandler = XSetErrorHandler(&OnXError);
    }
    g_ourDisplays.push_back(display);
}

int IgnoredErrors()
{
    std::lock_guard<std::mutex> lock(g_errorMutex);
    return g_ignored;
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

void PutBitmap(Display* display, ::Window window, GC gc, PixBitmap& bitmap, const IRectangle& rect)
{
    const IRectangle area = rect.Intersect({0, 0, bitmap.Width(), bitmap.Height()});
    if (area.Empty() || bitmap.Bits() == nullptr) {
        return;
    }
    const int screen = DefaultScreen(display);
    XImage* image =
        XCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, 0,
                     reinterpret_cast<char*>(bitmap.Bits()), static_cast<unsigned>(bitmap.Width()),
                     static_cast<unsigned>(bitmap.Height()), 32, bitmap.RowSpan() * 4);
    if (image == nullptr) {
        return;
    }
    XPutImage(display, window, gc, image, area.left, area.top, area.left, area.top,
              static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()));
    image->data = nullptr;  // the bitmap's memory is not the image's
    XDestroyImage(image);
}

void WaitForEvent(Display* display, int milliseconds)
{
    XFlush(display);
    if (XPending(display) > 0) {
        return;
    }
    pollfd watch{ConnectionNumber(display), POLLIN, 0};
    poll(&watch, 1, milliseconds);
}

char32_t CharacterOf(KeySym symbol)
{
    if ((symbol >= 0x20 && symbol <= 0x7E) || (symbol >= 0xA0 && symbol <= 0xFF)) {
        return static_cast<char32_t>(symbol);
    }
    if ((symbol & 0xFF000000) == 0x01000000) {
        return static_cast<char32_t>(symbol & 0x00FFFFFF);
    }
    if (symbol >= XK_KP_0 && symbol <= XK_KP_9) {
        return static_cast<char32_t>('0' + (symbol - XK_KP_0));
    }
    switch (symbol) {
        case XK_KP_Decimal:
            return '.';
        case XK_KP_Add:
            return '+';
        case XK_KP_Subtract:
            return '-';
        default:
            return 0;
    }
}

std::string TypedText(XKeyEvent& event, KeySym& symbol)
{
    char bytes[16] = {};
    symbol = NoSymbol;
    XLookupString(&event, bytes, sizeof bytes - 1, &symbol, nullptr);
    std::string text;
    if ((event.state & (ControlMask | Mod1Mask)) == 0) {
        if (const char32_t c = CharacterOf(symbol); c >= 0x20 && c < 0x10000) {
            AppendUtf8(text, c);
        }
    }
    return text;
}

::Window MakePopupWindow(Display* display, int x, int y, int width, int height, long events)
{
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.event_mask = events;
    const ::Window window =
        XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(std::max(width, 1)),
                      static_cast<unsigned>(std::max(height, 1)), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWEventMask, &attributes);
    XMapRaised(display, window);
    return window;
}

}  // namespace x11

void IGraphicsX11::Window::FreeImages()
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

bool IGraphicsX11::Window::MakeSharedImage(int width, int height)
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
