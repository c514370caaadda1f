// "Check Online for Update": asks the maker's web server for the newest
// version number, compares it with the running version and tells the user,
// offering the download page when a newer one exists. Synchronous on the
// editor's thread (the wait is bounded: 5 s to connect, 5 s per receive, at
// most 4 KiB of reply); touches no plug-in state.
#pragma once

#include <string>

#include "synth/SynthDialogs.h"

// 0 when a reply was evaluated, -1 when none came, -3 when it was invalid
// (an HTML page), -2 when an exception ended the check.
int CheckOnlineForUpdate(SynthDialogs& dialogs);

// The version text a reply's digits give: "1004" reads 1.0.4, "1012" 1.0.12,
// "1100" 1.1.0.
std::string VersionTextOfReply(const std::string& reply);
