// What the program, bank and configuration commands and the update check
// need of the editor: message boxes, file dialogs and opening a web page.
// The editor implements it over its graphics object.
#pragma once

#include <string>

#include "core/MessageBoxCodes.h"

class SynthDialogs : public MessageBoxCodes {
public:
    enum FileAction : int { kOpen = 0, kSave = 1 };

    virtual ~SynthDialogs() = default;
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    // file and folder are read and set; file is empty afterwards when the
    // user cancelled.
    virtual void PromptForFile(std::string& file, FileAction action, std::string& folder,
                               const char* extension) = 0;
    virtual bool OpenUrl(const char* url) = 0;
};
