#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "platform/HttpGet.h"

namespace {

void Close(HINTERNET handle)
{
    if (handle != nullptr) {
        InternetCloseHandle(handle);
    }
}

}  // namespace

std::string HttpGet(const HttpGetRequest& request)
{
    std::string body;
    HINTERNET root = InternetOpenA(request.agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = nullptr;
    HINTERNET get = nullptr;
    if (root != nullptr) {
        DWORD connect = static_cast<DWORD>(request.connectTimeoutMs);
        DWORD receive = static_cast<DWORD>(request.receiveTimeoutMs);
        InternetSetOptionA(root, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        InternetSetOptionA(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
        InternetSetOptionA(root, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
        connection = InternetConnectA(root, request.host, static_cast<INTERNET_PORT>(request.port), nullptr,
                                      nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    }
    if (connection != nullptr) {
        const char* accept[] = {"*/*", nullptr};
        get = HttpOpenRequestA(connection, "GET", request.object, nullptr, nullptr, accept,
                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    }
    if (get != nullptr && HttpSendRequestA(get, nullptr, 0, nullptr, 0)) {
        char piece[1024];
        DWORD read = 0;
        while (body.size() < request.maxBytes && InternetReadFile(get, piece, sizeof piece, &read) &&
               read > 0) {
            body.append(piece, std::min<std::size_t>(read, request.maxBytes - body.size()));
        }
    }
    Close(get);
    Close(connection);
    Close(root);
    return body;
}
