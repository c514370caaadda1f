#include <curl/curl.h>

#include <algorithm>
#include <mutex>

#include "platform/HttpGet.h"

namespace {

struct Reply {
    std::string body;
    std::size_t limit;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* reply = static_cast<Reply*>(user);
    const std::size_t bytes = size * count;
    const std::size_t room = reply->limit - reply->body.size();
    reply->body.append(data, std::min(bytes, room));
    // Returning less than was offered ends the transfer once the limit is
    // reached; what came so far is kept.
    return bytes <= room ? bytes : 0;
}

}  // namespace

std::string HttpGet(const HttpGetRequest& request)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return {};
    }
    const std::string url = std::string("http://") + request.host + ":" + std::to_string(request.port) +
                            (request.object[0] == '/' ? "" : "/") + request.object;
    Reply reply{{}, request.maxBytes};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request.agent);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
    // No byte for the receive time-out ends the transfer.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>((request.receiveTimeoutMs + 999) / 1000));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return reply.body;
}
