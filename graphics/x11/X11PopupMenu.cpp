// Popup menus of the X11 editor: each level an override-redirect window
// showing a PopupMenuView, with the pointer and keyboard grabbed while the
// menu is open. The editor's window keeps repainting meanwhile.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "graphics/PixBitmap.h"
#include "graphics/PopupMenuView.h"
#include "graphics/x11/X11Window.h"

namespace {

constexpr long kMenuEvents = ExposureMask;
constexpr unsigned kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

class MenuSession {
public:
    explicit MenuSession(Display* display) : m_display(display), m_gc(XCreateGC(display, Root(), 0, nullptr))
    {
    }
    ~MenuSession()
    {
        CloseFrom(0);
        if (m_grabbed) {
            XUngrabPointer(m_display, CurrentTime);
            XUngrabKeyboard(m_display, CurrentTime);
        }
        XFreeGC(m_display, m_gc);
        XFlush(m_display);
    }

    // Opens menu as the next level with its top-left at (x, y) on the
    // screen, moved to stay on it.
    void Open(IMenu& menu, int x, int y)
    {
        auto level = std::make_unique<Level>(menu);
        const int screen = DefaultScreen(m_display);
        const int width = level->view.Width();
        const int height = level->view.Height();
        if (x + width > DisplayWidth(m_display, screen)) {
            // A submenu flips to the left of its parent.
            x = m_levels.empty() ? DisplayWidth(m_display, screen) - width : m_levels.back()->x - width + 2;
        }
        level->x = std::max(0, x);
        level->y = std::max(0, std::min(y, DisplayHeight(m_display, screen) - height));
        level->bitmap.SetSize(width, height);
        level->window = x11::MakePopupWindow(m_display, level->x, level->y, width, height, kMenuEvents);
        m_levels.push_back(std::move(level));
        Paint(*m_levels.back());
    }

    // Takes pointer and keyboard; false when the server refuses.
    bool Grab()
    {
        const ::Window window = m_levels.front()->window;
        for (int attempt = 0; attempt < 50; ++attempt) {
            XSync(m_display, False);
            if (XGrabPointer(m_display, window, False, kPointerEvents, GrabModeAsync, GrabModeAsync, 0, 0,
                             CurrentTime) == GrabSuccess) {
                XGrabKeyboard(m_display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
                m_grabbed = true;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Feeds one event; true when the menu is done (Result() tells how).
    bool Handle(XEvent& event)
    {
        switch (event.type) {
            case Expose:
                for (const auto& level : m_levels) {
                    if (level->window == event.xexpose.window && event.xexpose.count == 0) {
                        Paint(*level);
                    }
                }
                return false;
            case MotionNotify:
                Point(event.xmotion.x_root, event.xmotion.y_root);
                return false;
            case ButtonPress: {
                int item = -1;
                if (LevelAt(event.xbutton.x_root, event.xbutton.y_root, item) < 0) {
                    return true;  // a click outside dismisses
                }
                m_pressed = true;
                Point(event.xbutton.x_root, event.xbutton.y_root);
                return false;
            }
            case ButtonRelease: {
                // The release of the click that opened the menu chooses
                // nothing unless the pointer went over an item since.
                int item = -1;
                const int at = LevelAt(event.xbutton.x_root, event.xbutton.y_root, item);
                if (at >= 0 && (m_pressed || m_moved)) {
                    return Choose(at, item);
                }
                return false;
            }
            case KeyPress:
                return Key(XLookupKeysym(&event.xkey, 0));
            default:
                return false;
        }
    }

    // The menu holding the choice, or null.
    IMenu* Result() const { return m_result; }
    bool Owns(::Window window) const
    {
        for (const auto& level : m_levels) {
            if (level->window == window) {
                return true;
            }
        }
        return false;
    }

private:
    struct Level {
        explicit Level(IMenu& menu) : view(menu) {}
        PopupMenuView view;
        PixMemBitmap bitmap;
        ::Window window = 0;
        int x = 0;
        int y = 0;
    };

    ::Window Root() const { return RootWindow(m_display, DefaultScreen(m_display)); }

    void Paint(Level& level)
    {
        level.view.Draw(level.bitmap);
        x11::PutBitmap(m_display, level.window, m_gc, level.bitmap,
                       {0, 0, level.view.Width(), level.view.Height()});
    }

    void CloseFrom(std::size_t index)
    {
        while (m_levels.size() > index) {
            XDestroyWindow(m_display, m_levels.back()->window);
            m_levels.pop_back();
        }
    }

    // The deepest level under the screen point and the item there.
    int LevelAt(int x, int y, int& item) const
    {
        for (int i = static_cast<int>(m_levels.size()) - 1; i >= 0; --i) {
            const Level& level = *m_levels[static_cast<std::size_t>(i)];
            if (x >= level.x && x < level.x + level.view.Width() && y >= level.y &&
                y < level.y + level.view.Height()) {
                item = level.view.ItemAt(x - level.x, y - level.y);
                return i;
            }
        }
        item = -1;
        return -1;
    }

    // The pointer at a screen point: highlight there, open or close
    // submenus to follow it.
    void Point(int x, int y)
    {
        int item = -1;
        const int at = LevelAt(x, y, item);
        if (at < 0) {
            return;
        }
        Level& level = *m_levels[static_cast<std::size_t>(at)];
        m_moved = m_moved || item >= 0;
        if (level.view.Highlighted() == item && m_levels.size() > static_cast<std::size_t>(at) + 1) {
            return;
        }
        if (level.view.SetHighlighted(item)) {
            Paint(level);
        }
        if (level.view.Highlighted() == item) {
            OpenSubmenuOf(static_cast<std::size_t>(at));
        }
    }

    // Closes the levels below index and opens the submenu of its highlighted
    // item, if it has one.
    void OpenSubmenuOf(std::size_t index)
    {
        CloseFrom(index + 1);
        Level& level = *m_levels[index];
        const int item = level.view.Highlighted();
        if (IMenu* submenu = level.view.SubmenuOf(item)) {
            const IRectangle row = level.view.ItemRect(item);
            Open(*submenu, level.x + level.view.Width() - 2, level.y + row.top - 2);
        }
    }

    bool Choose(int at, int item)
    {
        const Level& level = *m_levels[static_cast<std::size_t>(at)];
        if (!level.view.Selectable(item) || level.view.SubmenuOf(item) != nullptr) {
            return false;
        }
        level.view.Menu().SetChosen(item);
        m_result = &level.view.Menu();
        return true;
    }

    bool Key(KeySym symbol)
    {
        Level& level = *m_levels.back();
        const std::size_t index = m_levels.size() - 1;
        switch (symbol) {
            case XK_Up:
            case XK_Down:
                level.view.MoveHighlight(symbol == XK_Up ? -1 : 1);
                Paint(level);
                return false;
            case XK_Right:
            case XK_Return:
            case XK_KP_Enter:
            case XK_space:
                if (level.view.SubmenuOf(level.view.Highlighted()) != nullptr) {
                    OpenSubmenuOf(index);
                    m_levels.back()->view.MoveHighlight(1);
                    Paint(*m_levels.back());
                    return false;
                }
                return symbol != XK_Right && Choose(static_cast<int>(index), level.view.Highlighted());
            case XK_Left:
            case XK_Escape:
                if (index > 0) {
                    CloseFrom(index);
                    return false;
                }
                return symbol == XK_Escape;
            default:
                return false;
        }
    }

    Display* m_display;
    GC m_gc;
    std::vector<std::unique_ptr<Level>> m_levels;
    IMenu* m_result = nullptr;
    bool m_grabbed = false;
    bool m_pressed = false;
    bool m_moved = false;
};

}  // namespace

IMenu* IGraphicsX11::ShowPopupMenu(IMenu& menu, const IRectangle& rect)
{
    m_captured = -1;
    m_lastMouseX = m_lastMouseY = -1;
    if (!m_window || menu.Count() == 0) {
        return nullptr;
    }
    HideTooltip();
    m_window->buttonHeld = false;
    Display* display = m_window->display;
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, m_window->window, RootWindow(display, DefaultScreen(display)),
                          static_cast<int>(rect.left * Scale()), static_cast<int>(rect.bottom * Scale()), &x,
                          &y, &child);
    IMenu* result = nullptr;
    {
        MenuSession session(display);
        session.Open(menu, x, y);
        if (session.Grab()) {
            auto lastTick = std::chrono::steady_clock::now();
            bool done = false;
            while (!done && m_window) {
                while (!done && XPending(display) > 0) {
                    XEvent event;
                    XNextEvent(display, &event);
                    if (event.type == Expose && !session.Owns(event.xexpose.window)) {
                        HandleEvent(&event);  // the editor's window
                    } else if (event.type == DestroyNotify &&
                               event.xdestroywindow.window == m_window->window) {
                        done = true;  // the host took the window away
                    } else {
                        done = session.Handle(event);
                    }
                }
                if (!done) {
                    const auto now = std::chrono::steady_clock::now();
                    if (now - lastTick >= std::chrono::milliseconds(40)) {
                        lastTick = now;
                        RedrawTick();
                    }
                    x11::WaitForEvent(display, 40);
                }
            }
            result = session.Result();
        }
    }
    // The whole panel is drawn again, as after a native menu.
    for (int i = 0; i < ControlCount(); ++i) {
        Control(i)->MarkDirty(false);
    }
    return result;
}
