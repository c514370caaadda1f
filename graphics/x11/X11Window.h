// What the parts of the X11 editor share: the editor window's record, the
// error filter for the editor's own display connections, pictures put into
// windows from pixel-layer bitmaps, waiting for events with a time limit and
// the characters of key events.
#pragma once

#include <string>

#include "graphics/IRectangle.h"
#include "graphics/PixBitmap.h"
#include "graphics/posix/FileChooser.h"
#include "graphics/x11/IGraphicsX11.h"

// Last: Xlib defines macros (None, Bool, Status) that other headers use as
// names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

class PixBitmap;

namespace x11 {

// X errors on adopted displays are ignored (a parent destroyed before close,
// a focus window gone); others go to the handler that was there before.
void Adopt(Display* display);
void Release(Display* display);
int IgnoredErrors();

// Copies rect of bitmap to (rect.left, rect.top) of window, through an
// image over the bitmap's memory.
void PutBitmap(Display* display, ::Window window, GC gc, PixBitmap& bitmap, const IRectangle& rect);

// Waits until the display has an event or milliseconds have passed.
void WaitForEvent(Display* display, int milliseconds);

// The text a key press types as UTF-8 (empty for keys that type nothing)
// and its key symbol.
std::string TypedText(XKeyEvent& event, KeySym& symbol);

// Unicode character of a key symbol (Latin-1 and the 0x01000000 plane), 0
// for none.
char32_t CharacterOf(KeySym symbol);

// An override-redirect window on the root at (x, y) of the given size, for
// menus and tooltips, mapped and raised.
::Window MakePopupWindow(Display* display, int x, int y, int width, int height, long events);

}  // namespace x11

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
    bool buttonHeld = false;
    IRectangle exposed;
    // The window's picture at a display scale other than 1 (without MIT-SHM).
    PixMemBitmap scaled;
    // The tooltip's window, when shown, and where the pointer rests.
    ::Window tooltip = 0;
    int hoverX = 0;
    int hoverY = 0;

    void FreeImages();
    // A shared image of width x height; false (and MIT-SHM off) when it
    // cannot be made.
    bool MakeSharedImage(int width, int height);
};

// The file dialog running without blocking, and its answer once it has
// ended.
struct IGraphicsX11::FileDialog {
    FileChooser chooser;
    FileAction action = kFileOpen;
    std::string extensions;
    bool answered = false;
    std::string answer;
};
