// One synchronous HTTP GET on the calling thread: WinINet on Windows,
// libcurl elsewhere. Direct connection (no proxy); waits at most the connect
// and receive time-outs; keeps at most maxBytes of the body.
#pragma once

#include <cstddef>
#include <string>

struct HttpGetRequest {
    const char* agent = "";
    const char* host = "";
    int port = 80;
    const char* object = "/";  // path and query
    int connectTimeoutMs = 5000;
    int receiveTimeoutMs = 5000;
    std::size_t maxBytes = 4096;
};

// The response body as received (whatever the status); empty when nothing
// came: no network, no server, refused, timed out.
std::string HttpGet(const HttpGetRequest& request);
