#include "graphics/x11/IGraphicsX11.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/EditorHost.h"
#include "graphics/GraphicsCaches.h"
#include "graphics/PixFont.h"
#include "graphics/PngImage.h"
#include "graphics/TextEntryBox.h"
#include "graphics/posix/FileChooser.h"
#include "graphics/x11/X11Window.h"
#include "platform/Folders.h"
#include "platform/Module.h"

#include <X11/Xatom.h>

namespace {

constexpr auto kTickPeriod = std::chrono::milliseconds(40);
constexpr auto kCaretBlink = std::chrono::milliseconds(500);
constexpr auto kTooltipDelay = std::chrono::milliseconds(600);

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

// The graphics core's key code of a key symbol, -1 for keys it does not
// know: space 0, arrows up, down, left, right 1..4, digits 5..14, letters
// 15..40 (either case).
int KeyCodeOf(KeySym symbol)
{
    switch (symbol) {
        case XK_space:
            return 0;
        case XK_Up:
            return 1;
        case XK_Down:
            return 2;
        case XK_Left:
            return 3;
        case XK_Right:
            return 4;
        default:
            break;
    }
    if (symbol >= XK_0 && symbol <= XK_9) {
        return 5 + static_cast<int>(symbol - XK_0);
    }
    if (symbol >= XK_A && symbol <= XK_Z) {
        return 15 + static_cast<int>(symbol - XK_A);
    }
    if (symbol >= XK_a && symbol <= XK_z) {
        return 15 + static_cast<int>(symbol - XK_a);
    }
    return -1;
}

}  // namespace

struct IGraphicsX11::TextEntry {
    TextEntryBox box;
    IControl* control;
    int parameter;
    ::Window previousFocus = 0;
    int previousRevert = RevertToParent;
    std::chrono::steady_clock::time_point blink{};
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
    x11::Adopt(display);
    auto window = std::make_unique<Window>();
    window->display = display;
    const ::Window parentWindow = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(parent));
    window->window = XCreateSimpleWindow(display, parentWindow, 0, 0, static_cast<unsigned>(WindowWidth()),
                                         static_cast<unsigned>(WindowHeight()), 0, 0, 0);
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = WindowWidth();
    hints.min_height = hints.max_height = WindowHeight();
    XSetWMNormalHints(display, window->window, &hints);
    // Embedded and mapped (XEmbed version 0, flag "mapped").
    const Atom xembed = XInternAtom(display, "_XEMBED_INFO", False);
    const long info[2] = {0, 1};
    XChangeProperty(display, window->window, xembed, xembed, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    XSelectInput(display, window->window,
                 ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                     KeyPressMask | FocusChangeMask | StructureNotifyMask);
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
    HideTooltip();
    m_fileDialog.reset();
    Display* display = m_window->display;
    m_window->FreeImages();
    if (m_window->gc != nullptr) {
        XFreeGC(display, m_window->gc);
    }
    XDestroyWindow(display, m_window->window);
    XSync(display, False);
    x11::Release(display);
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
        hints.min_width = hints.max_width = WindowWidth();
        hints.min_height = hints.max_height = WindowHeight();
        XSetWMNormalHints(display, m_window->window, &hints);
        XResizeWindow(display, m_window->window, static_cast<unsigned>(WindowWidth()),
                      static_cast<unsigned>(WindowHeight()));
        for (int i = 0; i < ControlCount(); ++i) {
            Control(i)->MarkDirty(false);
        }
        if (Host() != nullptr) {
            Host()->RequestWindowSize(WindowWidth(), WindowHeight());
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
        TooltipTick();
    }
    PollFileDialog();
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
    if (m_entry) {
        // Drawn over whatever was redrawn beneath it, and the caret blinks.
        const auto now = std::chrono::steady_clock::now();
        bool changed = !dirty.Empty() && dirty.Meets(m_entry->box.Rect());
        if (now - m_entry->blink >= kCaretBlink) {
            m_entry->blink = now;
            changed = m_entry->box.SetCaretShown(!m_entry->box.CaretShown()) || changed;
        }
        if (changed) {
            DrawTextEntry();
        }
    }
}

void IGraphicsX11::HandleEvent(const void* raw)
{
    XEvent& event = *const_cast<XEvent*>(static_cast<const XEvent*>(raw));
    switch (event.type) {
        case Expose: {
            const IRectangle area =
                PanelArea(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
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
            HideTooltip();
            if (m_entry) {
                // Typing ends with a click anywhere but in the box (which
                // reaches no control) or with the wheel.
                const IRectangle box = m_entry->box.Rect();
                const int x = PanelX(event.xbutton.x);
                const int y = PanelY(event.xbutton.y);
                const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                if (!inside || event.xbutton.button == Button4 || event.xbutton.button == Button5) {
                    CloseTextEntry(false);
                }
                break;
            }
            if (event.xbutton.button == Button4 || event.xbutton.button == Button5) {
                HandleWheel(PanelX(event.xbutton.x), PanelY(event.xbutton.y),
                            ModifiersOf(event.xbutton.state), event.xbutton.button == Button4 ? 1 : -1);
            } else if (event.xbutton.button == Button1 || event.xbutton.button == Button3) {
                m_window->buttonHeld = true;
                HandleMouseDown(PanelX(event.xbutton.x), PanelY(event.xbutton.y),
                                ModifiersOf(event.xbutton.state, event.xbutton.button));
            }
            break;
        case ButtonRelease:
            if ((event.xbutton.button == Button1 || event.xbutton.button == Button3) &&
                m_window->buttonHeld) {
                m_window->buttonHeld = false;
                HandleMouseUp(PanelX(event.xbutton.x), PanelY(event.xbutton.y),
                              ModifiersOf(event.xbutton.state, event.xbutton.button));
            }
            break;
        case MotionNotify:
            if (m_window->buttonHeld) {
                HandleMouseDrag(PanelX(event.xmotion.x), PanelY(event.xmotion.y),
                                ModifiersOf(event.xmotion.state));
            } else {
                HandleMouseOver(PanelX(event.xmotion.x), PanelY(event.xmotion.y),
                                ModifiersOf(event.xmotion.state));
                if (MouseOverControl() != m_tooltipControl) {
                    HideTooltip();
                    m_tooltipControl = MouseOverControl();
                }
                m_restingSince = std::chrono::steady_clock::now();
                m_window->hoverX = event.xmotion.x;
                m_window->hoverY = event.xmotion.y;
            }
            break;
        case LeaveNotify:
            HideTooltip();
            m_tooltipControl = -1;
            HandleMouseOut();
            break;
        case KeyPress:
            HideTooltip();
            if (m_entry) {
                HandleEntryKey(&event.xkey);
            } else {
                HandleKey(&event.xkey);
            }
            break;
        case FocusOut:
            // Focus taken away while typing commits, as on Windows.
            if (m_entry && event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior &&
                event.xfocus.detail != NotifyPointer) {
                CloseTextEntry(true);
            }
            break;
        default:
            break;
    }
}

void IGraphicsX11::HandleKey(void* raw)
{
    XKeyEvent& event = *static_cast<XKeyEvent*>(raw);
    KeySym symbol = NoSymbol;
    x11::TypedText(event, symbol);
    const int key = KeyCodeOf(symbol);
    if (key >= 0) {
        HandleKeyDown(PanelX(event.x), PanelY(event.y), key);
    }
}

// ---- Text entry ----------------------------------------------------------------------

void IGraphicsX11::ShowTextEntry(IControl* control, const ITextStyle& style, const IRectangle& rect,
                                 const char* text, int parameter)
{
    if (control == nullptr || m_entry || !m_window || rect.Empty()) {
        return;
    }
    const Parameter* record = Host() != nullptr && parameter >= 0 ? Host()->GetParameter(parameter) : nullptr;
    const TextEntryBox::Filter filter =
        parameter >= 0 ? TextEntryBox::FilterFor(record) : TextEntryBox::Filter::Any;
    m_entry = std::make_unique<TextEntry>(
        TextEntry{TextEntryBox(style, rect, text, control->TextEntryLength(), filter), control, parameter});
    Display* display = m_window->display;
    XGetInputFocus(display, &m_entry->previousFocus, &m_entry->previousRevert);
    XSetInputFocus(display, m_window->window, RevertToParent, CurrentTime);
    m_entry->blink = std::chrono::steady_clock::now();
    DrawTextEntry();
}

void IGraphicsX11::CancelTextEntry()
{
    CloseTextEntry(false);
}

void IGraphicsX11::HandleEntryKey(void* raw)
{
    XKeyEvent& event = *static_cast<XKeyEvent*>(raw);
    KeySym symbol = NoSymbol;
    const std::string typed = x11::TypedText(event, symbol);
    TextEntryBox::Outcome outcome = TextEntryBox::Outcome::Editing;
    switch (symbol) {
        case XK_Return:
        case XK_KP_Enter:
            outcome = m_entry->box.Press(TextEntryBox::Key::Enter);
            break;
        case XK_Escape:
            outcome = m_entry->box.Press(TextEntryBox::Key::Escape);
            break;
        case XK_BackSpace:
            m_entry->box.Press(TextEntryBox::Key::Backspace);
            break;
        case XK_Delete:
        case XK_KP_Delete:
            m_entry->box.Press(TextEntryBox::Key::Delete);
            break;
        case XK_Left:
        case XK_KP_Left:
            m_entry->box.Press(TextEntryBox::Key::Left);
            break;
        case XK_Right:
        case XK_KP_Right:
            m_entry->box.Press(TextEntryBox::Key::Right);
            break;
        case XK_Home:
        case XK_KP_Home:
            m_entry->box.Press(TextEntryBox::Key::Home);
            break;
        case XK_End:
        case XK_KP_End:
            m_entry->box.Press(TextEntryBox::Key::End);
            break;
        default:
            if (!typed.empty()) {
                m_entry->box.Type(typed.c_str());
            }
            break;
    }
    if (outcome != TextEntryBox::Outcome::Editing) {
        CloseTextEntry(outcome == TextEntryBox::Outcome::Commit);
        return;
    }
    m_entry->blink = std::chrono::steady_clock::now();
    DrawTextEntry();
}

void IGraphicsX11::DrawTextEntry()
{
    if (!m_entry || DrawBitmap() == nullptr) {
        return;
    }
    m_entry->box.Draw(*DrawBitmap());
    PaintScreen(m_entry->box.Rect());
}

void IGraphicsX11::CloseTextEntry(bool commit)
{
    if (!m_entry) {
        return;
    }
    std::unique_ptr<TextEntry> entry = std::move(m_entry);
    if (m_window) {
        // The focus goes back where it was, when that window still exists
        // (errors on our connection are ignored).
        Display* display = m_window->display;
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus == m_window->window && entry->previousFocus != 0) {
            XSetInputFocus(display, entry->previousFocus, entry->previousRevert, CurrentTime);
        }
    }
    // What lay under the box is drawn again.
    const IRectangle box = entry->box.Rect();
    for (int i = 0; i < ControlCount(); ++i) {
        if (Control(i)->Rect().Meets(box)) {
            Control(i)->MarkDirty(false);
        }
    }
    if (commit) {
        CommitTextEntry(entry->control, entry->parameter, entry->box.Text().c_str());
    }
}

// ---- Tooltips ------------------------------------------------------------------------

void IGraphicsX11::UpdateTooltips()
{
    HideTooltip();
}

void IGraphicsX11::HideTooltip()
{
    if (m_window && m_window->tooltip != 0) {
        XDestroyWindow(m_window->display, m_window->tooltip);
        XFlush(m_window->display);
        m_window->tooltip = 0;
    }
}

void IGraphicsX11::TooltipTick()
{
    if (!Tooltips() || m_window->tooltip != 0 || m_entry || m_window->buttonHeld || m_tooltipControl < 0 ||
        m_tooltipControl >= ControlCount() ||
        std::chrono::steady_clock::now() - m_restingSince < kTooltipDelay) {
        return;
    }
    const std::string& text = Control(m_tooltipControl)->Tooltip();
    if (text.empty()) {
        return;
    }
    ITextStyle style("Arial", 12, IColour{255, 0, 0, 0}, ITextStyle::kNormal, ITextStyle::kNear);
    PixCachedFont* font = graphics_cache::FontFor(style);
    if (font == nullptr) {
        return;
    }
    PixRect size{0, 0, 0, 0};
    font->DrawString(nullptr, text.c_str(), -1, size, kTextMeasure);
    const int width = size.Width() + 8;
    const int height = size.Height() + 4;
    PixMemBitmap picture(width, height);
    FillRect(&picture, 0, 0, width, height, 0xFF767676u, 1.0f, kPixCopy);
    FillRect(&picture, 1, 1, width - 2, height - 2, 0xFFFFFFE1u, 1.0f, kPixCopy);
    font->SetTextColour(0xFF000000u);
    PixRect box{4, 2, width - 4, height - 2};
    font->DrawString(&picture, text.c_str(), -1, box, 0);
    // Below and right of the pointer, kept on the screen.
    Display* display = m_window->display;
    const int screen = DefaultScreen(display);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, m_window->window, RootWindow(display, screen), m_window->hoverX,
                          m_window->hoverY, &x, &y, &child);
    x = std::clamp(x + 12, 0, std::max(0, DisplayWidth(display, screen) - width));
    y = std::clamp(y + 20, 0, std::max(0, DisplayHeight(display, screen) - height));
    m_window->tooltip = x11::MakePopupWindow(display, x, y, width, height, 0);
    x11::PutBitmap(display, m_window->tooltip, m_window->gc, picture, {0, 0, width, height});
    XFlush(display);
}

bool IGraphicsX11::SetScale(double scale)
{
    if (!std::isfinite(scale) || scale < 1.0 || scale > 4.0) {
        return false;
    }
    if (scale != m_scale) {
        m_scale = scale;
        if (m_window) {
            m_window->FreeImages();
            m_resizePending = true;
        }
    }
    return true;
}

int IGraphicsX11::PanelX(int x) const
{
    return m_scale == 1.0 ? x : static_cast<int>(std::floor(x / m_scale));
}

int IGraphicsX11::PanelY(int y) const
{
    return m_scale == 1.0 ? y : static_cast<int>(std::floor(y / m_scale));
}

IRectangle IGraphicsX11::PanelArea(int x, int y, int width, int height) const
{
    return {PanelX(x), PanelY(y), static_cast<int>(std::ceil((x + width) / m_scale)),
            static_cast<int>(std::ceil((y + height) / m_scale))};
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
    if (m_scale != 1.0) {
        PaintScaled(area);
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

void IGraphicsX11::PaintScaled(const IRectangle& area)
{
    // Each window pixel takes the panel pixel under its centre: edges stay
    // sharp (whole pixels repeated, at 150 % alternately once and twice).
    PixSysBitmap& bitmap = *DrawBitmap();
    Display* display = m_window->display;
    const int width = WindowWidth();
    const int height = WindowHeight();
    const int left = std::max(0, static_cast<int>(std::floor(area.left * m_scale)));
    const int top = std::max(0, static_cast<int>(std::floor(area.top * m_scale)));
    const int right = std::min(width, static_cast<int>(std::ceil(area.right * m_scale)));
    const int bottom = std::min(height, static_cast<int>(std::ceil(area.bottom * m_scale)));
    if (right <= left || bottom <= top) {
        return;
    }
    auto source = [this](int window, int limit) {
        return std::min(static_cast<int>((window + 0.5) / m_scale), limit - 1);
    };
    const bool shared =
        m_window->shmUsable && (m_window->shmImage != nullptr || m_window->MakeSharedImage(width, height));
    if (!shared && (m_window->scaled.Width() != width || m_window->scaled.Height() != height)) {
        m_window->scaled.SetSize(width, height);
    }
    // The source column of each window column, worked out once per paint.
    std::vector<int> columns(static_cast<std::size_t>(right - left));
    for (int x = left; x < right; ++x) {
        columns[static_cast<std::size_t>(x - left)] = source(x, bitmap.Width());
    }
    for (int y = top; y < bottom; ++y) {
        const std::uint32_t* from = bitmap.Row(source(y, bitmap.Height()));
        auto* to = shared ? reinterpret_cast<std::uint32_t*>(m_window->shmImage->data +
                                                             static_cast<std::ptrdiff_t>(y) *
                                                                 m_window->shmImage->bytes_per_line)
                          : m_window->scaled.Row(y);
        for (int x = left; x < right; ++x) {
            to[x] = from[columns[static_cast<std::size_t>(x - left)]];
        }
    }
    if (shared) {
        XShmPutImage(display, m_window->window, m_window->gc, m_window->shmImage, left, top, left, top,
                     static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top), False);
    } else {
        x11::PutBitmap(display, m_window->window, m_window->gc, m_window->scaled, {left, top, right, bottom});
    }
    XFlush(display);
}

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
