// The update check against a small HTTP server of the test's own on
// 127.0.0.1, named through the environment.
#include "synth/UpdateCheck.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket = SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using Socket = int;
#endif

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "synth/MakerAddresses.h"

namespace {

void CloseSocket(Socket s)
{
#if defined(_WIN32)
    closesocket(s);
#else
    close(s);
#endif
}

void SetServer(const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(kVersionServerVariable, value.c_str());
#else
    setenv(kVersionServerVariable, value.c_str(), 1);
#endif
}

// Answers one request with body, then stops.
class OneShotServer {
public:
    explicit OneShotServer(std::string body) : m_body(std::move(body))
    {
#if defined(_WIN32)
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 1);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~OneShotServer()
    {
        m_thread.join();
        CloseSocket(m_listener);
    }
    int Port() const
    {
        return m_port;
    }
    std::string request;

private:
    void Serve()
    {
        const Socket client = accept(m_listener, nullptr, nullptr);
        char buffer[2048];
        const int got = static_cast<int>(recv(client, buffer, sizeof buffer, 0));
        if (got > 0) {
            request.assign(buffer, static_cast<std::size_t>(got));
        }
        const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                  std::to_string(m_body.size()) + "\r\n\r\n" + m_body;
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
        CloseSocket(client);
    }

    std::string m_body;
    Socket m_listener;
    int m_port = 0;
    std::thread m_thread;
};

struct Dialogs : SynthDialogs {
    struct Box {
        std::string text, caption;
        int type;
    };
    std::vector<Box> boxes;
    std::vector<std::string> urls;
    int answer = 6;  // yes
    int ShowMessageBox(const char* text, const char* caption, int type) override
    {
        boxes.push_back({text, caption, type});
        return answer;
    }
    bool OpenUrl(const char* url) override
    {
        urls.push_back(url);
        return true;
    }
    void PromptForFile(std::string& file, FileAction, std::string&, const char*) override { file.clear(); }
};

int Check(const std::string& body, Dialogs& dialogs, std::string* request = nullptr)
{
    OneShotServer server(body);
    SetServer("127.0.0.1:" + std::to_string(server.Port()));
    const int result = CheckOnlineForUpdate(dialogs);
    if (request != nullptr) {
        *request = server.request;
    }
    return result;
}

TEST(UpdateCheck, RepliesAreReadAsTheNewestVersion)
{
    Dialogs same;
    std::string request;
    EXPECT_EQ(Check("1003", same, &request), 0);
    EXPECT_NE(request.find("GET /rorev/version/?file=vorn HTTP/1."), std::string::npos) << request;
    EXPECT_NE(request.find("User-Agent: VORN"), std::string::npos) << request;
    ASSERT_EQ(same.boxes.size(), 1u);
    EXPECT_EQ(same.boxes[0].text, "Your version is up to date.");
    EXPECT_EQ(same.boxes[0].caption, "Check Online for Update");
    EXPECT_EQ(same.boxes[0].type, SynthDialogs::kInformation);

    Dialogs newer;
    newer.answer = SynthDialogs::kAnswerNo;
    EXPECT_EQ(Check("1004\n", newer), 0);
    ASSERT_EQ(newer.boxes.size(), 1u);
    EXPECT_EQ(newer.boxes[0].text,
              std::string("A new version of VORN is available.\n\n\tYour version: \t1.0.3\n"
                          "\tNew version: \t1.0.4\n\nDo you want to go to ") +
                  kMakerHomePage + " to get the new version?");
    EXPECT_EQ(newer.boxes[0].caption, "New Version of VORN Detected");
    EXPECT_TRUE(newer.urls.empty()) << "No leaves everything as it was";

    Dialogs yes;
    EXPECT_EQ(Check("1100", yes), 0);
    EXPECT_NE(yes.boxes[0].text.find("\tNew version: \t1.1.0\n"), std::string::npos);
    EXPECT_EQ(yes.urls, (std::vector<std::string>{kMakerDownloadPage}));
    EXPECT_EQ(VersionTextOfReply("1012"), "1.0.12");
}

TEST(UpdateCheck, HtmlEmptyAndMissingServersAreReported)
{
    Dialogs html;
    EXPECT_EQ(Check("1004<html>", html), -3);
    EXPECT_EQ(html.boxes[0].text, std::string("Invalid call to ") + kMakerDomain + ".");
    EXPECT_EQ(html.boxes[0].type, SynthDialogs::kError);

    Dialogs empty;
    EXPECT_EQ(Check("", empty), -1);
    EXPECT_EQ(empty.boxes[0].text, std::string("An error occurred while contacting ") + kMakerDomain + ".");

    Dialogs junk;
    EXPECT_EQ(Check("soon", junk), 0);
    EXPECT_EQ(junk.boxes[0].text, "Your version is up to date.") << "not a number reads as 0";

    // Nothing listens on the port: the error comes at once, not after the
    // time-outs.
    Dialogs nobody;
    int port = 0;
    {
        OneShotServer closed("x");
        port = closed.Port();
        Dialogs drain;
        SetServer("127.0.0.1:" + std::to_string(port));
        CheckOnlineForUpdate(drain);
    }
    SetServer("127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(CheckOnlineForUpdate(nobody), -1);
    EXPECT_EQ(nobody.boxes[0].type, SynthDialogs::kError);
}

}  // namespace
