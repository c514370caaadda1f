// Message box types (combinable) and answers: the Windows values, which the
// editor's message boxes take and give on every window system.
#pragma once

struct MessageBoxCodes {
    static constexpr int kOk = 0x0;
    static constexpr int kYesNo = 0x4;
    static constexpr int kError = 0x10;
    static constexpr int kQuestion = 0x20;
    static constexpr int kInformation = 0x40;
    static constexpr int kAnswerOk = 1;
    static constexpr int kAnswerYes = 6;
    static constexpr int kAnswerNo = 7;
};
