// The Windows editor inside a top-level window of the test's own, opened
// through the module's dispatcher as a host opens it and driven with real
// window messages: pointer, wheel, keys, timer ticks, the text entry, popup
// menus, the window class's lifetime, open/close cycles, a host that closes
// or destroys things at awkward moments, and rendering on a second thread
// throughout. Modal dialogs answer through the dialog hook.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/Parameter.h"
#include "core/PluginFactory.h"
#include "editor/PanelLayout.h"
#include "editor/VornEditor.h"
#include "engine/dsp/ParameterIds.h"
#include "graphics/IKnobControl.h"
#include "graphics/win32/IGraphicsWin.h"

namespace {

std::vector<std::pair<int, VstIntPtr>> g_calls;  // opcode, index
std::vector<WPARAM> g_hostKeys;                  // keys the host's window received

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float)
{
    if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit) {
        g_calls.emplace_back(opcode, index);
    }
    return opcode == audioMasterVersion ? 2400 : 0;
}

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN) {
        g_hostKeys.push_back(wParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The host's top-level window.
struct HostWindow {
    HWND window = nullptr;
    HostWindow()
    {
        static const bool registered = [] {
            WNDCLASSW host{};
            host.lpfnWndProc = &HostProcedure;
            host.hInstance = GetModuleHandleW(nullptr);
            host.lpszClassName = L"VornTestHost";
            return RegisterClassW(&host) != 0;
        }();
        (void)registered;
        window = CreateWindowExW(0, L"VornTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1200,
                                 700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindow()
    {
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
    }
};

// Dispatches the thread's messages for the given time.
void Pump(int milliseconds)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

struct Plugin {
    std::unique_ptr<IPluginVST> plugin{CreatePluginInstance(&Host)};
    AEffect* effect = plugin->Effect();
    VornWithEditor& Vorn() { return dynamic_cast<VornWithEditor&>(*plugin); }
    IGraphicsWin& Graphics() { return dynamic_cast<IGraphicsWin&>(*Vorn().Graphics()); }
    HWND Window() { return static_cast<HWND>(Graphics().WindowHandle()); }
    VstIntPtr Dispatch(VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr)
    {
        return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
    }
    float Get(int index) { return effect->getParameter(effect, index); }
    // Opens the compact (or edit) layout in host and lets it paint.
    HWND Open(HostWindow& host, bool edit = false)
    {
        Vorn().SetEditLayout(edit);
        Vorn().BuildEditor();
        Vorn().PushParametersToEditor();
        Vorn().PressEnsembleButton(0, false);  // tweak mode: nothing greyed
        if (Dispatch(effEditOpen, 0, host.window) != 1) {
            return nullptr;
        }
        Pump(150);
        return Window();
    }
    // The topmost control of parameter index, or null.
    IControl* ControlOf(int index)
    {
        IGraphics& graphics = Graphics();
        for (int i = graphics.ControlCount() - 1; i >= 0; --i) {
            if (graphics.Control(i)->ParameterIndex() == index) {
                return graphics.Control(i);
            }
        }
        return nullptr;
    }
};

struct Knob : IKnobControl {
    using IKnobControl::IKnobControl;
    bool Draw(IGraphics&) override { return true; }
};

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

bool ClassRegistered()
{
    WNDCLASSW info{};
    return GetClassInfoW(GetModuleHandleW(nullptr), L"TaskelEditorWindow", &info) != 0;
}

// The pixel of a window as 0xRRGGBB.
unsigned PixelOf(HWND window, int x, int y)
{
    HDC context = GetDC(window);
    const COLORREF pixel = GetPixel(context, x, y);
    ReleaseDC(window, context);
    return GetRValue(pixel) << 16 | GetGValue(pixel) << 8 | GetBValue(pixel);
}

// The number of pixels in (0, 0, width, height) of the window that differ
// from the editor's draw bitmap, read back through the window's device
// context.
int DifferingPixels(HWND window, IGraphics& graphics, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, section);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    int differing = 0;
    for (int y = 0; y < height; ++y) {
        const auto* row = static_cast<const std::uint32_t*>(bits) + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            differing += (row[x] & 0xFFFFFF) != (graphics.DrawBitmap()->Row(y)[x] & 0xFFFFFF) ? 1 : 0;
        }
    }
    SelectObject(memory, old);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return differing;
}

unsigned BitmapPixel(IGraphics& graphics, int x, int y)
{
    return graphics.DrawBitmap()->Row(y)[x] & 0xFFFFFF;
}

// A thread timer's work inside a modal loop (menus): runs once.
std::function<void()> g_insideMenu;
void CALLBACK InsideMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (g_insideMenu) {
        auto work = std::move(g_insideMenu);
        g_insideMenu = nullptr;
        work();
    }
}
void WhenMenuOpens(std::function<void()> work)
{
    g_insideMenu = std::move(work);
    SetTimer(nullptr, 0, 60, &InsideMenu);
}

TEST(EditorWindow, OpensPaintsAndTakesThePointerWheelAndKeys)
{
    HostWindow host;
    ASSERT_NE(host.window, nullptr);
    Plugin plugin;
    ASSERT_NE(plugin.effect->flags & effFlagsHasEditor, 0);
    EXPECT_FALSE(ClassRegistered());
    const HWND editor = plugin.Open(host);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(ClassRegistered());
    wchar_t text[64] = {};
    GetWindowTextW(editor, text, 64);
    EXPECT_EQ(std::wstring(text), L"VORN");
    GetClassNameW(editor, text, 64);
    EXPECT_EQ(std::wstring(text), L"TaskelEditorWindow");
    EXPECT_EQ(GetParent(editor), host.window);
    EXPECT_NE(GetWindowLongW(editor, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_STREQ(plugin.Graphics().DrawingApiName(), "Windows GDI");

    // What the window shows is what the core drew.
    IGraphics& graphics = plugin.Graphics();
    for (const auto& [x, y] :
         {std::pair{300, 20}, std::pair{720, 40}, std::pair{250, 124}, std::pair{5, 190}}) {
        EXPECT_EQ(PixelOf(editor, x, y), BitmapPixel(graphics, x, y)) << x << "," << y;
    }

    // The "Bass" knob dragged up by 32 pixels: +0.25, in edit brackets.
    const float before = plugin.Get(kBass);
    g_calls.clear();
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(248, 124));
    EXPECT_EQ(GetCapture(), editor);
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, At(248, 108));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, At(248, 92));
    SendMessageW(editor, WM_LBUTTONUP, 0, At(248, 92));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_NEAR(plugin.Get(kBass), std::min(1.0f, before + 0.25f), 1e-6);
    ASSERT_GE(g_calls.size(), 2u);
    EXPECT_EQ(g_calls.front(), std::make_pair(static_cast<int>(audioMasterBeginEdit), VstIntPtr{kBass}));
    EXPECT_EQ(g_calls.back(), std::make_pair(static_cast<int>(audioMasterEndEdit), VstIntPtr{kBass}));

    // The timer repaints it.
    Pump(120);
    EXPECT_EQ(PixelOf(editor, 232 + 16, 108 + 4), BitmapPixel(graphics, 232 + 16, 108 + 4));

    // Wheel notches in screen coordinates; less than one notch moves nothing
    // but still arrives.
    RECT frame{};
    GetWindowRect(editor, &frame);
    const float wheeled = plugin.Get(kBass);
    SendMessageW(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), At(frame.left + 248, frame.top + 124));
    EXPECT_EQ(plugin.Get(kBass), wheeled);
    SendMessageW(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)),
                 At(frame.left + 248, frame.top + 124));
    EXPECT_LT(plugin.Get(kBass), wheeled);

    // A key the panel does not use goes on to the host's window.
    g_hostKeys.clear();
    SendMessageW(editor, WM_KEYDOWN, VK_F5, 0);
    EXPECT_EQ(g_hostKeys, std::vector<WPARAM>{VK_F5});

    // A host change shows within a few ticks.
    plugin.effect->setParameter(plugin.effect, kBass, 1.0f);
    Pump(150);
    EXPECT_EQ(PixelOf(editor, 232 + 16, 108 + 4), BitmapPixel(graphics, 232 + 16, 108 + 4));
    EXPECT_EQ(DifferingPixels(editor, graphics, 1100, 200), 0);

    // The edit switch: the window, and the host's frame with it, grow by
    // the change in size.
    RECT hostBefore{};
    GetWindowRect(host.window, &hostBefore);
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(940, 38));
    SendMessageW(editor, WM_LBUTTONUP, 0, At(940, 38));
    EXPECT_EQ(graphics.Height(), 512);
    RECT grown{};
    GetClientRect(editor, &grown);
    EXPECT_EQ(grown.bottom, 512);
    RECT hostAfter{};
    GetWindowRect(host.window, &hostAfter);
    EXPECT_EQ(hostAfter.bottom - hostAfter.top, hostBefore.bottom - hostBefore.top + 312);
    Pump(150);
    EXPECT_EQ(DifferingPixels(editor, graphics, 1100, 512), 0);
    EXPECT_EQ(plugin.Dispatch(effEditClose), 1);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_FALSE(ClassRegistered());
}

TEST(EditorWindow, TooltipsClipboardFoldersAndImages)
{
    HostWindow host;
    Plugin plugin;
    const HWND editor = plugin.Open(host);
    ASSERT_NE(editor, nullptr);
    IGraphicsWin& graphics = plugin.Graphics();
    // The tooltip takes the hovered control's text.
    const HWND tooltip = static_cast<HWND>(graphics.TooltipWindow());
    ASSERT_NE(tooltip, nullptr);
    plugin.ControlOf(kBass)->SetTooltip("Bass level");
    SendMessageW(editor, WM_MOUSEMOVE, 0, At(248, 124));
    SendMessageW(editor, WM_MOUSEHOVER, 0, At(248, 124));
    wchar_t text[64] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = editor;
    tool.uId = reinterpret_cast<UINT_PTR>(editor);
    tool.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(text), L"Bass level");

    // Clipboard text arrives as UTF-8.
    ASSERT_TRUE(OpenClipboard(host.window));
    EmptyClipboard();
    const wchar_t copied[] = L"0.75 \u00e9";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof copied);
    std::memcpy(GlobalLock(memory), copied, sizeof copied);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    std::string pasted;
    EXPECT_TRUE(graphics.ClipboardText(pasted));
    EXPECT_EQ(pasted, "0.75 \xC3\xA9");

    std::string folder;
    graphics.ModuleFolder(folder);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    graphics.HostFolder(folder);
    EXPECT_EQ(folder.back(), '\\');
    graphics.AppDataFolder(folder, true);
    EXPECT_FALSE(folder.empty());

    // Images by the extension of their name.
    EXPECT_NE(graphics.LoadBitmapResource(kImageKnob, "img/knob.PNG"), nullptr);
    EXPECT_EQ(graphics.LoadBitmapResource(kImageKnob, "img/knob.bmp"), nullptr);
    EXPECT_EQ(graphics.LoadBitmapResource(kImageKnob, "png"), nullptr);
    EXPECT_EQ(graphics.LoadBitmapResource(9999, "missing.png"), nullptr);
    plugin.Dispatch(effEditClose);
}

TEST(EditorWindow, TypedValueCommitsOnEnterAndRefusesLetters)
{
    HostWindow host;
    Plugin plugin;
    const HWND editor = plugin.Open(host);
    ASSERT_NE(editor, nullptr);
    IGraphicsWin& graphics = plugin.Graphics();
    // The panel's knobs keep their value prompt off; the framework's prompt
    // is switched on for this one. A right click opens the entry over it,
    // its text selected.
    plugin.ControlOf(kBass)->SetPromptDisabled(false);
    SendMessageW(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(248, 124));
    SendMessageW(editor, WM_RBUTTONUP, 0, At(248, 124));
    const HWND entry = static_cast<HWND>(graphics.EntryWindow());
    ASSERT_NE(entry, nullptr);
    wchar_t name[16] = {};
    GetClassNameW(entry, name, 16);
    EXPECT_EQ(_wcsicmp(name, L"Edit"), 0);
    EXPECT_EQ(GetFocus(), entry);
    EXPECT_EQ(graphics.EntryState(), IGraphicsWin::kEntryEditing);
    for (const wchar_t c : std::wstring(L"-7a.5x")) {
        SendMessageW(entry, WM_CHAR, c, 0);
    }
    wchar_t typed[32] = {};
    GetWindowTextW(entry, typed, 32);
    EXPECT_EQ(std::wstring(typed), L"-7.5");
    SendMessageW(entry, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(graphics.EntryState(), IGraphicsWin::kEntryCommit);
    Pump(120);
    EXPECT_EQ(graphics.EntryWindow(), nullptr);
    const Parameter* bass = plugin.plugin->GetParameter(kBass);
    EXPECT_NEAR(bass->Value(), -7.5, 1e-9);

    // Escape, and a click in the editor while typing, cancel; the click
    // reaches no control.
    for (const bool click : {false, true}) {
        SendMessageW(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(248, 124));
        SendMessageW(editor, WM_RBUTTONUP, 0, At(248, 124));
        const HWND again = static_cast<HWND>(graphics.EntryWindow());
        ASSERT_NE(again, nullptr);
        SendMessageW(again, WM_CHAR, L'9', 0);
        g_calls.clear();
        if (click) {
            SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(300, 124));
            EXPECT_TRUE(g_calls.empty());
        } else {
            SendMessageW(again, WM_KEYDOWN, VK_ESCAPE, 0);
        }
        EXPECT_EQ(graphics.EntryState(), IGraphicsWin::kEntryCancel);
        Pump(120);
        EXPECT_EQ(graphics.EntryWindow(), nullptr);
        EXPECT_NEAR(bass->Value(), -7.5, 1e-9);
    }

    // The program name takes any text, Enter's own character excepted.
    const int index = plugin.plugin->CurrentPresetIndex();
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kProgramNameBox.left + 20, kProgramNameBox.top + 8));
    SendMessageW(editor, WM_LBUTTONUP, 0, At(kProgramNameBox.left + 20, kProgramNameBox.top + 8));
    const HWND nameEntry = static_cast<HWND>(graphics.EntryWindow());
    ASSERT_NE(nameEntry, nullptr);
    for (const wchar_t c : std::wstring(L"Soft Pad 2\r")) {
        SendMessageW(nameEntry, WM_CHAR, c, 0);
    }
    SendMessageW(nameEntry, WM_KEYDOWN, VK_RETURN, 0);
    Pump(120);
    EXPECT_STREQ(plugin.plugin->PresetName(index), "Soft Pad 2");
    plugin.Dispatch(effEditClose);
}

TEST(EditorWindow, EnumerationMenuOpensOnARightClickAndChooses)
{
    HostWindow host;
    Plugin plugin;
    const HWND editor = plugin.Open(host, true);
    ASSERT_NE(editor, nullptr);
    // A plain control bound to the enumeration, with the framework's prompt
    // on (the panel's own switches step instead).
    auto knob = std::make_unique<Knob>(plugin.Graphics().Host(), IRectangle{1040, 440, 1072, 472}, kVcfType);
    knob->SetPromptDisabled(false);
    plugin.Graphics().AttachControl(std::move(knob));
    const IRectangle r{1040, 440, 1072, 472};
    const int x = (r.left + r.right) / 2;
    const int y = (r.top + r.bottom) / 2;
    const Parameter* record = plugin.plugin->GetParameter(kVcfType);
    plugin.effect->setParameter(plugin.effect, kVcfType, 0.0f);
    Pump(60);
    // Down twice and Enter: the second item, value 1.
    bool opened = false;
    WhenMenuOpens([&] {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        opened = menu != nullptr && IsWindowVisible(menu);
        for (const WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
            PostMessageW(menu != nullptr ? menu : editor, WM_KEYDOWN, key, 0);
        }
    });
    SendMessageW(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(x, y));
    SendMessageW(editor, WM_RBUTTONUP, 0, At(x, y));
    EXPECT_TRUE(opened);
    EXPECT_EQ(record->Value(), 1.0);

    // Escape chooses nothing.
    WhenMenuOpens([&] { PostMessageW(FindWindowW(L"#32768", nullptr), WM_KEYDOWN, VK_ESCAPE, 0); });
    SendMessageW(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(x, y));
    SendMessageW(editor, WM_RBUTTONUP, 0, At(x, y));
    EXPECT_EQ(record->Value(), 1.0);
    plugin.Dispatch(effEditClose);
}

// Answers dialogs from a script and records what they were asked.
struct ScriptedDialogs : IGraphicsWin::DialogHook {
    std::vector<int> answers;
    std::vector<std::string> captions;
    std::string path;
    IGraphicsWin::FileRequest request;
    int MessageBox(const char*, const char* caption, int) override
    {
        captions.emplace_back(caption);
        const int answer = answers.empty() ? IDNO : answers.front();
        if (!answers.empty()) {
            answers.erase(answers.begin());
        }
        return answer;
    }
    bool FileDialog(const IGraphicsWin::FileRequest& asked, std::string& chosen) override
    {
        request = asked;
        chosen = path;
        return !path.empty();
    }
    bool ColourDialog(IColour& colour, const char*) override
    {
        colour.red = 1;
        return true;
    }
    bool OpenUrl(const char*) override { return false; }
};

TEST(EditorWindow, DialogsThroughTheHook)
{
    HostWindow host;
    Plugin plugin;
    ASSERT_NE(plugin.Open(host), nullptr);
    ScriptedDialogs dialogs;
    IGraphicsWin::SetDialogHook(&dialogs);
    plugin.effect->setParameter(plugin.effect, kBass, 0.125f);
    dialogs.answers = {IDNO, IDYES};
    plugin.Vorn().RunOptionCommand(Synth::kInitProgram);
    EXPECT_FLOAT_EQ(plugin.Get(kBass), 0.125f);
    plugin.Vorn().RunOptionCommand(Synth::kInitProgram);
    const Parameter* bass = plugin.plugin->GetParameter(kBass);
    EXPECT_EQ(bass->Value(), bass->Default());
    EXPECT_EQ(dialogs.captions, (std::vector<std::string>{"Initialize Program", "Initialize Program"}));

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    char folder[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, temp, -1, folder, sizeof folder, nullptr, nullptr);
    dialogs.path = std::string(folder) + "vorn-dialog-test.fxb";
    plugin.Vorn().RunOptionCommand(Synth::kSaveBank);
    EXPECT_TRUE(dialogs.request.save);
    EXPECT_EQ(dialogs.request.file, "VORN");
    EXPECT_EQ(dialogs.request.patterns, "*.fxb");
    EXPECT_EQ(dialogs.request.defaultExtension, "fxb");
    WIN32_FILE_ATTRIBUTE_DATA info{};
    EXPECT_TRUE(GetFileAttributesExA(dialogs.path.c_str(), GetFileExInfoStandard, &info));
    EXPECT_GT(info.nFileSizeLow, 1000u);
    DeleteFileA(dialogs.path.c_str());

    // Long extension lists are cut at the dialog's buffers.
    std::string file = "x";
    std::string start = folder;
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "ext" + std::to_string(i) + " ";
    }
    plugin.Graphics().PromptForFile(file, IGraphics::kFileOpen, start,
                                    ("averyveryverylongextension " + many).c_str());
    EXPECT_LE(dialogs.request.patterns.size(), 126u);
    EXPECT_EQ(dialogs.request.defaultExtension, "averyveryverylo");

    // A web page: confirmed or not, and the error shown when the shell
    // cannot open it.
    dialogs.captions.clear();
    dialogs.answers = {IDNO};
    EXPECT_FALSE(plugin.Graphics().OpenUrl("https://example.org/", "Visit", "Open it?", "Failed"));
    dialogs.answers = {IDYES, IDOK};
    EXPECT_FALSE(plugin.Graphics().OpenUrl("https://example.org/", "Visit", "Open it?", "Failed"));
    EXPECT_EQ(dialogs.captions.size(), 3u) << "the question twice and the error once";

    IColour colour{255, 10, 20, 30};
    EXPECT_TRUE(plugin.Graphics().PromptForColour(colour, "Colour"));
    EXPECT_EQ(colour.red, 1);
    EXPECT_EQ(colour.alpha, 255);
    IGraphicsWin::SetDialogHook(nullptr);
    plugin.Dispatch(effEditClose);
}

TEST(EditorWindow, ClassLivesWhileAnyEditorIsOpen)
{
    HostWindow first;
    HostWindow second;
    Plugin a;
    Plugin b;
    ASSERT_NE(a.Open(first), nullptr);
    ASSERT_NE(b.Open(second), nullptr);
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 2);
    a.Dispatch(effEditClose);
    EXPECT_TRUE(ClassRegistered());
    b.Dispatch(effEditClose);
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
}

TEST(EditorWindow, FiftyOpenCloseCyclesLeakNothing)
{
    HostWindow host;
    Plugin plugin;
    auto usage = [] {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters);
        // Under Wine the private bytes are not reported; the page-file use
        // (committed memory) is.
        const SIZE_T committed = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
        return std::make_pair(committed, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    };
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(plugin.Open(host), nullptr);
        plugin.Dispatch(effEditClose);
    }
    const auto before = usage();
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, host.window), 1) << i;
        Pump(45);  // a timer tick paints
        plugin.ControlOf(kBass)->SetPromptDisabled(false);
        // The entry and its font, made and closed once per cycle.
        SendMessageW(plugin.Window(), WM_RBUTTONDOWN, MK_RBUTTON, At(248, 124));
        SendMessageW(plugin.Window(), WM_RBUTTONUP, 0, At(248, 124));
        plugin.Dispatch(effEditClose);
    }
    const auto after = usage();
    std::printf("50 open/close cycles: committed memory %lld -> %lld KiB, GDI objects %lu -> %lu\n",
                static_cast<long long>(before.first) / 1024, static_cast<long long>(after.first) / 1024,
                before.second, after.second);
    EXPECT_LE(after.second, before.second);
    EXPECT_LT(static_cast<long long>(after.first) - static_cast<long long>(before.first), 4 << 20);
}

TEST(EditorWindow, HostsThatCloseOrDestroyAtAwkwardMoments)
{
    Plugin plugin;
    // Idle before any open, close without open.
    plugin.Dispatch(effEditIdle);
    EXPECT_EQ(plugin.Dispatch(effEditClose), 1);
    {
        // Opened twice: one window, in the same place.
        HostWindow host;
        ASSERT_NE(plugin.Open(host), nullptr);
        ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, host.window), 1);
        EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);
        plugin.ControlOf(kBass)->SetPromptDisabled(false);
        // Closed while typing.
        SendMessageW(plugin.Window(), WM_RBUTTONDOWN, MK_RBUTTON, At(248, 124));
        SendMessageW(plugin.Window(), WM_RBUTTONUP, 0, At(248, 124));
        ASSERT_NE(plugin.Graphics().EntryWindow(), nullptr);
        plugin.Dispatch(effEditClose);
        EXPECT_EQ(plugin.Graphics().EntryWindow(), nullptr);
        Pump(60);
        plugin.Dispatch(effEditIdle);
    }
    {
        // Closed while a menu is open (the host's own timer does it).
        HostWindow host;
        const HWND editor = plugin.Open(host);
        ASSERT_NE(editor, nullptr);
        WhenMenuOpens([&] {
            plugin.Dispatch(effEditClose);
            EndMenu();
        });
        SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON,
                     At(kProgramNumberBox.left + 8, kProgramNumberBox.top + 8));
        EXPECT_EQ(plugin.Window(), nullptr);
        EXPECT_FALSE(IsWindow(editor));
        Pump(60);
    }
    {
        // The host destroys its window first.
        HostWindow host;
        ASSERT_NE(plugin.Open(host), nullptr);
        DestroyWindow(host.window);
        EXPECT_EQ(plugin.Window(), nullptr);
        EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
        plugin.Dispatch(effEditIdle);
        EXPECT_FALSE(ClassRegistered()) << "gone at the host's next call";
        plugin.Dispatch(effEditClose);
    }
}

TEST(EditorWindow, AudioKeepsRenderingWhileTheEditorOpensPaintsAndCloses)
{
    HostWindow host;
    Plugin plugin;
    plugin.Dispatch(effSetSampleRate, 0, nullptr);
    plugin.effect->dispatcher(plugin.effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    plugin.effect->dispatcher(plugin.effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
    plugin.effect->dispatcher(plugin.effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> left(256);
        std::vector<float> right(256);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop) {
            plugin.effect->processReplacing(plugin.effect, nullptr, outputs, 256);
            ++blocks;
        }
    });
    for (int i = 0; i < 20; ++i) {
        ASSERT_NE(plugin.Open(host, (i & 1) != 0), nullptr);
        plugin.effect->setParameter(plugin.effect, kBass, static_cast<float>(i) / 20.0f);
        Pump(50);
        plugin.Dispatch(effEditClose);
    }
    const int during = blocks;
    stop = true;
    audio.join();
    EXPECT_GT(during, 100);
    plugin.effect->dispatcher(plugin.effect, effMainsChanged, 0, 0, nullptr, 0.0f);
}

}  // namespace
