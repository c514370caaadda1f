#include "synth/UpdateCheck.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/HttpGet.h"
#include "synth/MakerAddresses.h"

namespace {

constexpr const char* kCaption = "Check Online for Update";
constexpr const char* kProduct = "VORN";

// The running version as text ("1.0.3") and as the number replies are
// compared with (1003).
constexpr int kMajor = (VORN_VERSION_PACKED >> 16) & 0xFF;
constexpr int kMinor = (VORN_VERSION_PACKED >> 8) & 0xFF;
constexpr int kPatch = VORN_VERSION_PACKED & 0xFF;
constexpr long kRunningNumber = kMajor * 1000L + kMinor * 100L + kPatch;

std::string RunningText()
{
    return std::to_string(kMajor) + "." + std::to_string(kMinor) + "." + std::to_string(kPatch);
}

// The server's host and port, or the replacement from the environment.
void VersionServer(std::string& host, int& port)
{
    host = kVersionServerHost;
    port = kVersionServerPort;
    const char* replacement = std::getenv(kVersionServerVariable);
    if (replacement == nullptr || replacement[0] == '\0') {
        return;
    }
    const std::string text = replacement;
    const std::size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    if (colon != std::string::npos) {
        port = std::atoi(text.c_str() + colon + 1);
    }
}

}  // namespace

std::string VersionTextOfReply(const std::string& reply)
{
    if (reply.size() < 3) {
        throw std::length_error("version reply too short");
    }
    std::string text;
    text += reply[0];
    text += '.';
    text += reply[1];
    text += '.';
    text += reply[2] == '0' ? reply.substr(3) : reply.substr(2);
    return text;
}

int CheckOnlineForUpdate(SynthDialogs& dialogs)
{
    const std::string error = std::string("An error occurred while contacting ") + kMakerDomain + ".";
    try {
        HttpGetRequest request;
        std::string host;
        VersionServer(host, request.port);
        request.agent = kProduct;
        request.host = host.c_str();
        request.object = kVersionObject;
        std::string reply = HttpGet(request);
        // A line end after the number is not part of it.
        while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r' || reply.back() == ' ')) {
            reply.pop_back();
        }
        if (reply.empty()) {
            dialogs.ShowMessageBox(error.c_str(), kCaption, SynthDialogs::kError);
            return -1;
        }
        if (reply.find('<') != std::string::npos) {
            const std::string invalid = std::string("Invalid call to ") + kMakerDomain + ".";
            dialogs.ShowMessageBox(invalid.c_str(), kCaption, SynthDialogs::kError);
            return -3;
        }
        // The leading integer part; anything else reads as 0.
        const long newest = std::strtol(reply.c_str(), nullptr, 10);
        if (newest <= kRunningNumber) {
            dialogs.ShowMessageBox("Your version is up to date.", kCaption, SynthDialogs::kInformation);
            return 0;
        }
        const std::string text = std::string("A new version of ") + kProduct + " is available.\n\n" +
                                 "\tYour version: \t" + RunningText() + "\n" + "\tNew version: \t" +
                                 VersionTextOfReply(reply) + "\n" + "\nDo you want to go to " +
                                 kMakerHomePage + " to get the new version?";
        const std::string caption = std::string("New Version of ") + kProduct + " Detected";
        if (dialogs.ShowMessageBox(text.c_str(), caption.c_str(), SynthDialogs::kYesNo) !=
            SynthDialogs::kAnswerNo) {
            dialogs.OpenUrl(kMakerDownloadPage);
        }
        return 0;
    } catch (...) {
        dialogs.ShowMessageBox(error.c_str(), kCaption, SynthDialogs::kError);
        return -2;
    }
}
