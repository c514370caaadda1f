// Message boxes, file dialogs and the clipboard of the X11 editor.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "graphics/EditorHost.h"
#include "graphics/MessageBoxView.h"
#include "graphics/posix/FileChooser.h"
#include "graphics/x11/X11Window.h"
#include "platform/Folders.h"

#include <X11/Xatom.h>

namespace {

constexpr const char* kNoFileDialog =
    "No file dialog is available.\nPlease install zenity (or kdialog) to load and save files.";

}  // namespace

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type)
{
    MessageBoxView box(text, caption, type, Width(), Height());
    if (!m_window || DrawBitmap() == nullptr || DrawBitmap()->Bits() == nullptr) {
        return box.CancelAnswer();
    }
    HideTooltip();
    CloseTextEntry(false);
    m_window->buttonHeld = false;
    m_captured = -1;
    Display* display = m_window->display;
    ::Window focus = 0;
    int revert = RevertToParent;
    XGetInputFocus(display, &focus, &revert);
    XSetInputFocus(display, m_window->window, RevertToParent, CurrentTime);
    // The panel as it is now, dimmed, with the box over it.
    IRectangle everything{0, 0, Width(), Height()};
    Draw(everything);
    box.Draw(*DrawBitmap());
    PaintScreen(everything);
    int answer = 0;
    while (answer == 0 && m_window) {
        while (answer == 0 && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            switch (event.type) {
                case Expose:
                    PaintScreen(PanelArea(event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                          event.xexpose.height));
                    break;
                case ButtonPress:
                    if (event.xbutton.button == Button1) {
                        answer = box.ButtonAt(PanelX(event.xbutton.x), PanelY(event.xbutton.y));
                    }
                    break;
                case KeyPress: {
                    KeySym symbol = NoSymbol;
                    const std::string typed = x11::TypedText(event.xkey, symbol);
                    const char32_t key = symbol == XK_Return || symbol == XK_KP_Enter
                                             ? MessageBoxView::kEnterKey
                                         : symbol == XK_Escape ? MessageBoxView::kEscapeKey
                                         : typed.size() == 1   ? static_cast<char32_t>(typed[0])
                                                               : 0;
                    answer = box.AnswerForKey(key);
                    break;
                }
                case DestroyNotify:
                    if (event.xdestroywindow.window == m_window->window) {
                        answer = box.CancelAnswer();
                    }
                    break;
                default:
                    break;
            }
        }
        if (answer == 0) {
            x11::WaitForEvent(display, 40);
        }
    }
    if (m_window) {
        if (focus != 0) {
            XSetInputFocus(display, focus, revert, CurrentTime);
        }
        for (int i = 0; i < ControlCount(); ++i) {
            Control(i)->MarkDirty(false);
        }
        Draw(everything);
    }
    return answer != 0 ? answer : box.CancelAnswer();
}

void IGraphicsX11::PromptForFile(std::string& file, FileAction action, std::string& folder,
                                 const char* extensions)
{
    const std::string wanted = extensions != nullptr ? extensions : "";
    if (!m_window) {
        file.clear();
        return;
    }
    if (!m_fileDialog) {
        m_fileDialog = std::make_unique<FileDialog>();
    }
    FileDialog& dialog = *m_fileDialog;
    // The answer of a dialog that ended goes to the same question asked
    // again; any other question drops it.
    if (dialog.answered) {
        dialog.answered = false;
        if (dialog.action == action && dialog.extensions == wanted) {
            // Cancelled (empty) answers end the command too.
            file = dialog.answer;
            if (!file.empty()) {
                folder = FolderOfPath(file);
            }
            return;
        }
    }
    const std::string proposed = file;
    file.clear();
    if (dialog.chooser.Running()) {
        return;
    }
    if (folder.empty()) {
        DesktopFolder(folder);
    }
    dialog.action = action;
    dialog.extensions = wanted;
    dialog.answer.clear();
    if (!dialog.chooser.Start(action == kFileSave, proposed, folder, wanted)) {
        ShowMessageBox(kNoFileDialog, "Error", MessageBoxView::kOk | MessageBoxView::kError);
    }
}

bool IGraphicsX11::FilePromptPending() const
{
    return m_fileDialog && m_fileDialog->chooser.Running();
}

void IGraphicsX11::PollFileDialog()
{
    if (!m_fileDialog || !m_fileDialog->chooser.Running()) {
        return;
    }
    FileDialog& dialog = *m_fileDialog;
    std::string path;
    if (!dialog.chooser.Poll(path)) {
        return;
    }
    // A file saved without an extension gets the first one offered.
    const std::string first = dialog.extensions.substr(0, dialog.extensions.find(' '));
    const std::size_t slash = path.find_last_of('/');
    if (dialog.action == kFileSave && !path.empty() && !first.empty() &&
        path.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) {
        path += "." + first;
    }
    dialog.answer = path;
    dialog.answered = true;
    if (Host() != nullptr) {
        Host()->OnFileChosen();
    }
    dialog.answered = false;  // unused answers are not kept for later questions
}

bool IGraphicsX11::ClipboardText(std::string& text)
{
    text.clear();
    if (!m_window) {
        return false;
    }
    Display* display = m_window->display;
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom target = XInternAtom(display, "VORN_CLIPBOARD", False);
    if (XGetSelectionOwner(display, clipboard) == 0) {
        return false;
    }
    XConvertSelection(display, clipboard, utf8, target, m_window->window, CurrentTime);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    XEvent event;
    bool notified = false;
    while (!notified && std::chrono::steady_clock::now() < end) {
        notified = XCheckTypedWindowEvent(display, m_window->window, SelectionNotify, &event) != 0;
        if (!notified) {
            x11::WaitForEvent(display, 10);
        }
    }
    if (!notified || event.xselection.property == 0) {
        return false;
    }
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const bool read = XGetWindowProperty(display, m_window->window, target, 0, 1 << 16, True, AnyPropertyType,
                                         &type, &format, &count, &remaining, &data) == Success;
    // Text only: UTF-8 or Latin-1 strings; incremental transfers are refused.
    const bool ok = read && data != nullptr && format == 8 && (type == utf8 || type == XA_STRING);
    if (ok) {
        text.assign(reinterpret_cast<const char*>(data), count);
        text.erase(std::min(text.find('\0'), text.size()));
    }
    if (data != nullptr) {
        XFree(data);
    }
    return ok;
}
