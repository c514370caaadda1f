// "Check Online for Update": asks the maker's web server for the newest
// version number, compares it with the running version and tells the user,
// offering the download page when a newer one exists. Synchronous on the
// editor's thread (the wait is bounded: 5 s to connect, 5 s per receive, at
// most 4 KiB of reply); touches no plug-in state.
#pragma once

#include <string>

// What the check needs of the editor.
class UpdateDialogs {
public:
    // Message box types and the answer "No".
    static constexpr int kError = 0x10;
    static constexpr int kInformation = 0x40;
    static constexpr int kYesNo = 0x4;
    static constexpr int kAnswerNo = 7;

    virtual ~UpdateDialogs() = default;
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    virtual bool OpenUrl(const char* url) = 0;
};

// 0 when a reply was evaluated, -1 when none came, -3 when it was invalid
// (an HTML page), -2 when an exception ended the check.
int CheckOnlineForUpdate(UpdateDialogs& dialogs);

// The version text a reply's digits give: "1004" reads 1.0.4, "1012" 1.0.12,
// "1100" 1.1.0.
std::string VersionTextOfReply(const std::string& reply);
