// The product with its panel on a headless graphics object, the first
// factory program loaded, in the layout asked for.
#pragma once

#include <memory>

#include "core/ProgramFiles.h"
#include "editor/VornEditor.h"
#include "platform/Resources.h"
#include "tests/support/graphics/HeadlessGraphics.h"

inline VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Panel {
    HeadlessGraphics* graphics = nullptr;
    std::unique_ptr<VornWithEditor> vorn;

    explicit Panel(bool edit)
    {
        vorn = std::make_unique<VornWithEditor>(&QuietHost, [this](EditorHost& host) {
            auto made = std::make_unique<HeadlessGraphics>(&host);
            graphics = made.get();
            return made;
        });
        // The factory bank and the wanted layout, whatever the user's
        // settings say.
        const auto bank = FindModuleResource("INIT", "PROGINIT");
        LoadBankImage(*vorn, bank.data(), bank.size());
        vorn->LoadPreset(0);
        vorn->SetEditLayout(edit);
        vorn->BuildEditor();
        vorn->PushParametersToEditor();
        graphics->OpenWindow(nullptr);
        vorn->ApplyStatusControls();
        while (graphics->Tick()) {
        }
    }
    IControl* At(int x, int y)
    {
        for (int i = graphics->ControlCount() - 1; i >= 0; --i) {
            if (graphics->Control(i)->HitTest(x, y)) {
                return graphics->Control(i);
            }
        }
        return nullptr;
    }
    void Click(int x, int y, IModifiers mods = {})
    {
        mods.left = !mods.right;
        graphics->HandleMouseDown(x, y, mods);
        graphics->HandleMouseUp(x, y, mods);
        graphics->Tick();
    }
};

inline IModifiers Right()
{
    IModifiers mods;
    mods.right = true;
    return mods;
}
