// The X11 editor's menus, text entry, message boxes, file dialogs, clipboard
// and tooltips, driven with synthetic pointer and key events as a user
// would, with a stub zenity on the path for the file dialog.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "editor/PanelLayout.h"
#include "engine/dsp/ParameterIds.h"
#include "graphics/MessageBoxView.h"
#include "graphics/x11/IGraphicsX11.h"
#include "tests/graphics/x11/X11TestHost.h"

namespace {

using namespace x11_test;

// The editor open in the host's window with the compact layout.
struct OpenEditor {
    HostWindow host;
    Plugin plugin;
    Window child = 0;
    int errorsBefore = IGraphicsX11::IgnoredErrorCount();

    OpenEditor()
    {
        if (host.display == nullptr) {
            return;
        }
        child = plugin.OpenCompact(host.window);
    }
    ~OpenEditor()
    {
        plugin.Dispatch(effEditClose);
        EXPECT_EQ(IGraphicsX11::IgnoredErrorCount(), errorsBefore) << "X errors on the editor's connection";
        EXPECT_TRUE(PopupWindows(host.display).empty()) << "a menu or tooltip window was left behind";
    }
    IGraphics& Graphics() { return *plugin.Vorn().Graphics(); }
    // Idles until done() holds, at most 5 s.
    template <typename Done>
    bool IdleUntil(Done done)
    {
        for (int i = 0; i < 250 && !done(); ++i) {
            plugin.IdleFor(20, 50);
        }
        return done();
    }
};

// The programs' submenus hold 16 programs; rows are 20 pixels from y = 3.
int RowCentre(int row)
{
    return 3 + 20 * row + 10;
}

TEST(EditorDialogs, ProgramMenuChosenWithKeysAndWithThePointer)
{
    OpenEditor editor;
    ASSERT_NE(editor.host.display, nullptr);
    const int numberX = kProgramNumberBox.left + 8;
    const int numberY = kProgramNumberBox.top + 8;
    {
        // Down to "16 - 31", into it, down twice, Enter: program 18.
        Driver driver([](Display* display) {
            ASSERT_EQ(WaitForPopups(display, 1).size(), 1u);
            for (const KeySym key : {XK_Down, XK_Down, XK_Right, XK_Down, XK_Down, XK_Return}) {
                PressKey(display, key);
            }
        });
        Click(editor.host.display, numberX, numberY);
        EXPECT_TRUE(editor.IdleUntil([&] { return editor.plugin.plugin->CurrentPresetIndex() == 18; }));
    }
    {
        // The pointer onto "32 - 47", into its submenu, a click on its
        // second row: program 33.
        Driver driver([](Display* display) {
            const auto menus = WaitForPopups(display, 1);
            ASSERT_EQ(menus.size(), 1u);
            MoveTo(display, menus[0].x + 30, menus[0].y + RowCentre(2));
            const auto both = WaitForPopups(display, 2);
            ASSERT_EQ(both.size(), 2u);
            const XWindowAttributes& sub = both.back();
            EXPECT_GE(sub.x, menus[0].x + menus[0].width - 4);
            Click(display, sub.x + 30, sub.y + RowCentre(1));
        });
        Click(editor.host.display, numberX, numberY);
        EXPECT_TRUE(editor.IdleUntil([&] { return editor.plugin.plugin->CurrentPresetIndex() == 33; }));
    }
    {
        // Escape and a click outside choose nothing.
        Driver driver([&](Display* display) {
            ASSERT_EQ(WaitForPopups(display, 1).size(), 1u);
            PressKey(display, XK_Escape);
            for (int i = 0; i < 100 && !PopupWindows(display).empty(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            Click(display, numberX, numberY);
            ASSERT_EQ(WaitForPopups(display, 1).size(), 1u);
            Click(display, 1000, 600);
        });
        Click(editor.host.display, numberX, numberY);
        editor.plugin.IdleFor(300, 50);
    }
    EXPECT_EQ(editor.plugin.plugin->CurrentPresetIndex(), 33);
}

TEST(EditorDialogs, TypedProgramNameRenamesAndEscapeKeepsIt)
{
    OpenEditor editor;
    ASSERT_NE(editor.host.display, nullptr);
    Display* display = editor.host.display;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const int index = editor.plugin.plugin->CurrentPresetIndex();
    const int nameX = kProgramNameBox.left + 20;
    const int nameY = kProgramNameBox.top + 8;
    Click(display, nameX, nameY);
    editor.plugin.IdleFor(100, 50);
    // The box shows the name selected; typing replaces it.
    TypeText(display, "warm choir 2");
    editor.plugin.IdleFor(100, 50);
    PressKey(display, XK_Return);
    EXPECT_TRUE(editor.IdleUntil(
        [&] { return std::string(editor.plugin.plugin->PresetName(index)) == "warm choir 2"; }));
    Window after = 0;
    XGetInputFocus(display, &after, &revert);
    EXPECT_EQ(after, focus) << "the keyboard focus is given back";

    Click(display, nameX, nameY);
    editor.plugin.IdleFor(100, 50);
    TypeText(display, "gone");
    PressKey(display, XK_Escape);
    editor.plugin.IdleFor(100, 50);
    // A click elsewhere cancels too, and reaches no control.
    Click(display, nameX, nameY);
    editor.plugin.IdleFor(100, 50);
    TypeText(display, "gone too");
    const double bass = editor.plugin.plugin->GetParameter(kBass)->Normalized();
    Click(display, 248, 124);
    editor.plugin.IdleFor(100, 50);
    EXPECT_EQ(std::string(editor.plugin.plugin->PresetName(index)), "warm choir 2");
    EXPECT_EQ(editor.plugin.plugin->GetParameter(kBass)->Normalized(), bass);
    // The panel shows the name again, as the core draws it.
    editor.plugin.IdleFor(100, 50);
    XSync(display, False);
    EXPECT_EQ(RegionSum(display, editor.child, 560, 28, 260, 24),
              BitmapSum(*editor.Graphics().DrawBitmap(), 560, 28, 260, 24));
}

TEST(EditorDialogs, MessageBoxIsModalAndAnswers)
{
    OpenEditor editor;
    ASSERT_NE(editor.host.display, nullptr);
    auto& plugin = *editor.plugin.plugin;
    const char* question = "Do you really want to initialize the current program?";
    MessageBoxView layout(question, "Initialize Program", MessageBoxView::kYesNo, 1100, 200);
    const unsigned long corner = PixelAt(editor.host.display, editor.child, 3, 3);
    for (const bool yes : {false, true}) {
        editor.plugin.effect->setParameter(editor.plugin.effect, kBass, 0.123f);
        Driver driver([&](Display* display) {
            ASSERT_TRUE(WaitForPixelChange(display, editor.child, 3, 3, corner)) << "the panel is dimmed";
            if (yes) {
                const IRectangle box = layout.Rect();
                for (int x = box.left; x < box.right; x += 4) {
                    if (layout.ButtonAt(x, box.bottom - 20) == MessageBoxView::kAnswerYes) {
                        Click(display, x + 4, box.bottom - 20);
                        return;
                    }
                }
                ADD_FAILURE() << "no Yes button";
            } else {
                PressKey(display, XK_n);
            }
        });
        editor.plugin.Vorn().RunOptionCommand(Synth::kInitProgram);
        const Parameter* bass = plugin.GetParameter(kBass);
        if (yes) {
            EXPECT_EQ(bass->Value(), bass->Default());
        } else {
            EXPECT_NEAR(bass->Normalized(), 0.123, 1e-6);
        }
    }
    editor.plugin.IdleFor(100, 50);
    XSync(editor.host.display, False);
    EXPECT_EQ(PixelAt(editor.host.display, editor.child, 3, 3), corner) << "the panel is whole again";
}

TEST(EditorDialogs, FileDialogRunsWithoutBlockingTheHost)
{
    OpenEditor editor;
    ASSERT_NE(editor.host.display, nullptr);
    char pattern[] = "/tmp/vorn-zenity-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string saved = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    {
        // The stub records its arguments and answers a file without an
        // extension after a moment.
        std::ofstream stub(folder + "/zenity");
        stub << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << folder << "/arguments'\nsleep 1\necho '" << folder
             << "/my bank'\n";
    }
    chmod((folder + "/zenity").c_str(), 0755);
    setenv("PATH", (folder + ":" + saved).c_str(), 1);
    // The command returns while the dialog still runs.
    editor.plugin.Vorn().RunOptionCommand(Synth::kSaveBank);
    EXPECT_TRUE(editor.Graphics().FilePromptPending());
    const std::string bank = folder + "/my bank.fxb";
    struct stat info {};
    EXPECT_TRUE(editor.IdleUntil([&] { return stat(bank.c_str(), &info) == 0 && info.st_size > 1000; }));
    EXPECT_FALSE(editor.Graphics().FilePromptPending());
    std::ifstream recorded(folder + "/arguments");
    std::stringstream arguments;
    arguments << recorded.rdbuf();
    EXPECT_NE(arguments.str().find("--save"), std::string::npos) << arguments.str();
    EXPECT_NE(arguments.str().find("--file-filter=*.fxb"), std::string::npos) << arguments.str();

    // A cancelled dialog ends the command: it is not asked again.
    {
        std::ofstream stub(folder + "/zenity");
        stub << "#!/bin/sh\necho run >> '" << folder << "/runs'\nexit 1\n";
    }
    editor.plugin.Vorn().RunOptionCommand(Synth::kLoadBank);
    EXPECT_TRUE(editor.IdleUntil([&] { return !editor.Graphics().FilePromptPending(); }));
    editor.plugin.IdleFor(300, 50);
    std::ifstream runs(folder + "/runs");
    std::string runLines((std::istreambuf_iterator<char>(runs)), std::istreambuf_iterator<char>());
    EXPECT_EQ(runLines, "run\n");
    unlink((folder + "/runs").c_str());

    // With no dialog program at all, a message says so.
    setenv("PATH", folder.c_str(), 1);
    unlink((folder + "/zenity").c_str());
    const unsigned long corner = PixelAt(editor.host.display, editor.child, 3, 3);
    {
        Driver driver([&](Display* display) {
            ASSERT_TRUE(WaitForPixelChange(display, editor.child, 3, 3, corner));
            PressKey(display, XK_Return);
        });
        editor.plugin.Vorn().RunOptionCommand(Synth::kLoadBank);
    }
    EXPECT_FALSE(editor.Graphics().FilePromptPending());
    setenv("PATH", saved.c_str(), 1);
    unlink((folder + "/arguments").c_str());
    unlink(bank.c_str());
    rmdir(folder.c_str());
}

TEST(EditorDialogs, ClipboardTextAndTooltips)
{
    OpenEditor editor;
    ASSERT_NE(editor.host.display, nullptr);
    std::string text;
    EXPECT_FALSE(editor.Graphics().ClipboardText(text)) << "nobody owns the clipboard";
    {
        // Another client owns the clipboard and answers one request.
        std::atomic<bool> owned{false};
        Driver driver([&](Display* display) {
            const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
            const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
            const Window owner =
                XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
            XSetSelectionOwner(display, clipboard, owner, CurrentTime);
            XSync(display, False);
            owned = true;
            for (int i = 0; i < 300; ++i) {
                XEvent event;
                if (XCheckTypedWindowEvent(display, owner, SelectionRequest, &event)) {
                    const XSelectionRequestEvent& request = event.xselectionrequest;
                    const char answer[] = "0.75 \xC3\xA9";
                    XChangeProperty(display, request.requestor, request.property, utf8, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(answer), sizeof answer - 1);
                    XEvent reply{};
                    reply.xselection.type = SelectionNotify;
                    reply.xselection.requestor = request.requestor;
                    reply.xselection.selection = request.selection;
                    reply.xselection.target = request.target;
                    reply.xselection.property = request.property;
                    reply.xselection.time = request.time;
                    XSendEvent(display, request.requestor, False, 0, &reply);
                    XSync(display, False);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            XDestroyWindow(display, owner);
        });
        while (!owned) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(editor.Graphics().ClipboardText(text));
        EXPECT_EQ(text, "0.75 \xC3\xA9");
    }

    // A control with a tooltip shows it after the pointer rests on it; the
    // tooltip goes when the pointer leaves.
    IGraphics& graphics = editor.Graphics();
    for (int i = 0; i < graphics.ControlCount(); ++i) {
        if (graphics.Control(i)->ParameterIndex() == kBass) {
            graphics.Control(i)->SetTooltip("Bass level");
        }
    }
    Display* display = editor.host.display;
    MoveTo(display, 248, 124);
    MoveTo(display, 249, 124);
    EXPECT_TRUE(editor.IdleUntil([&] { return PopupWindows(display).size() == 1; }));
    MoveTo(display, 20, 190);
    EXPECT_TRUE(editor.IdleUntil([&] { return PopupWindows(display).empty(); }));
}

TEST(EditorDialogs, OptionMenuOffersThePanelSizes)
{
    const PrivateConfiguration configuration;
    {
        OpenEditor editor;
        ASSERT_NE(editor.host.display, nullptr);
        // Up from nothing reaches the last item, "Panel Size..."; into it,
        // down twice to 200%.
        Driver driver([](Display* display) {
            ASSERT_EQ(WaitForPopups(display, 1).size(), 1u);
            for (const KeySym key : {XK_Up, XK_Right, XK_Down, XK_Down, XK_Return}) {
                PressKey(display, key);
            }
        });
        Click(editor.host.display, 844, 40);
        EXPECT_TRUE(editor.IdleUntil([&] { return editor.plugin.Vorn().PanelScale() == 200; }));
        ERect* rect = nullptr;
        ASSERT_EQ(editor.plugin.Dispatch(effEditGetRect, 0, &rect), 1);
        EXPECT_EQ(rect->right, 2200);
        std::ifstream ini(configuration.Folder() + "/TaskelRorev/vorn.ini");
        const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Panel Scale=200"), std::string::npos) << text;
    }
}

}  // namespace
