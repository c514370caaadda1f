#include "tests/support/graphics/HeadlessGraphics.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>

#include "graphics/PngImage.h"

HeadlessGraphics::HeadlessGraphics(EditorHost* host, int width, int height) : IGraphics(host, width, height)
{
}

bool HeadlessGraphics::Tick()
{
    IRectangle rect;
    if (!IsDirty(rect)) {
        return false;
    }
    Draw(rect);
    return true;
}

bool HeadlessGraphics::PaintScreen(const IRectangle& rect)
{
    painted.push_back(rect);
    return true;
}

void HeadlessGraphics::CancelTextEntry() {}

int HeadlessGraphics::ShowMessageBox(const char* text, const char* caption, int)
{
    prompts.push_back(
        {"message", text != nullptr ? text : "", caption != nullptr ? caption : "", {}, -1, {}});
    if (messageAnswers.empty()) {
        return 0;
    }
    const int answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

IMenu* HeadlessGraphics::ShowPopupMenu(IMenu& menu, const IRectangle& rect)
{
    Prompt prompt{"menu", "", "", {}, -1, rect};
    for (int i = 0; i < menu.Count(); ++i) {
        const IMenuItem* item = menu.Item(i);
        prompt.items.push_back(std::string((item->flags & IMenuItem::kGreyed) != 0 ? "~" : "") +
                               ((item->flags & IMenuItem::kChecked) != 0 ? "*" : "") + item->text +
                               (item->submenu != nullptr ? " >" : ""));
    }
    prompts.push_back(prompt);
    // A choice of an item with a submenu opens it; the next choice is made
    // there.
    IMenu* current = &menu;
    while (!menuChoices.empty()) {
        const int choice = menuChoices.front();
        menuChoices.pop_front();
        if (choice < 0 || choice >= current->Count()) {
            return nullptr;
        }
        IMenuItem* item = current->Item(choice);
        if (item->submenu == nullptr) {
            current->SetChosen(choice);
            return current;
        }
        current = item->submenu;
    }
    return nullptr;
}

void HeadlessGraphics::ShowTextEntry(IControl* control, const ITextStyle&, const IRectangle& rect,
                                     const char* text, int parameter)
{
    if (control == nullptr) {
        return;
    }
    prompts.push_back({"entry", text != nullptr ? text : "", "", {}, parameter, rect});
    if (typed.empty()) {
        return;
    }
    std::optional<std::string> answer = typed.front();
    typed.pop_front();
    if (answer) {
        // The entry takes no more characters than the control allows.
        const std::size_t limit = static_cast<std::size_t>(std::max(control->TextEntryLength(), 0));
        CommitTextEntry(control, parameter, answer->substr(0, limit).c_str());
    }
}

void HeadlessGraphics::PromptForFile(std::string& file, FileAction action, std::string& folderInOut,
                                     const char* extensions)
{
    prompts.push_back({"file",
                       file,
                       action == kFileSave ? "save" : "open",
                       {extensions != nullptr ? extensions : ""},
                       -1,
                       {}});
    if (fileAnswers.empty()) {
        file.clear();
        return;
    }
    file = fileAnswers.front();
    fileAnswers.pop_front();
    const std::size_t slash = file.find_last_of('/');
    if (!file.empty() && slash != std::string::npos) {
        folderInOut = file.substr(0, slash);
    }
}

bool HeadlessGraphics::PromptForColour(IColour&, const char* prompt)
{
    prompts.push_back({"colour", prompt != nullptr ? prompt : "", "", {}, -1, {}});
    return false;
}

bool HeadlessGraphics::OpenUrl(const char* url, const char* caption, const char*, const char*)
{
    prompts.push_back({"url", url != nullptr ? url : "", caption != nullptr ? caption : "", {}, -1, {}});
    return true;
}

void* HeadlessGraphics::OpenWindow(void*)
{
    m_open = true;
    for (int i = 0; i < ControlCount(); ++i) {
        Control(i)->MarkDirty(false);
    }
    return this;
}

void HeadlessGraphics::CloseWindow()
{
    CancelTextEntry();
    m_open = false;
}

bool HeadlessGraphics::ClipboardText(std::string& text)
{
    text = clipboard;
    return !clipboard.empty();
}

std::unique_ptr<PixBitmap> HeadlessGraphics::LoadBitmapResource(int id, const char*)
{
    return LoadPngResource(id);
}

std::uint32_t HeadlessGraphics::Checksum()
{
    PixSysBitmap* bitmap = DrawBitmap();
    if (bitmap == nullptr || bitmap->Bits() == nullptr) {
        return 0;
    }
    uLong crc = crc32(0, nullptr, 0);
    for (int y = 0; y < bitmap->Height(); ++y) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bitmap->Row(y)),
                    static_cast<uInt>(bitmap->Width()) * 4u);
    }
    return static_cast<std::uint32_t>(crc);
}

bool HeadlessGraphics::WritePng(const std::string& path)
{
    PixSysBitmap* bitmap = DrawBitmap();
    if (bitmap == nullptr || bitmap->Bits() == nullptr) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap->Width()),
                 static_cast<png_uint_32>(bitmap->Height()), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // Words a << 24 | r << 16 | g << 8 | b are the bytes b, g, r, a.
    png_set_bgr(png);
    for (int y = 0; y < bitmap->Height(); ++y) {
        png_write_row(png, reinterpret_cast<png_bytep>(bitmap->Row(y)));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
