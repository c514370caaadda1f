// The maker's addresses: the web server asked for the newest version, the
// domain named in messages, the home page and the download page. All in one
// place.
#pragma once

inline constexpr const char* kMakerDomain = "taskel-rorev.example";
inline constexpr const char* kMakerHomePage = "https://www.taskel-rorev.example";
inline constexpr const char* kMakerDownloadPage = "https://www.taskel-rorev.example/vorn/download";
inline constexpr const char* kVersionServerHost = "www.taskel-rorev.example";
inline constexpr int kVersionServerPort = 80;
inline constexpr const char* kVersionObject = "rorev/version/?file=vorn";
// "host:port" in this environment variable replaces the version server (the
// tests run their own on 127.0.0.1).
inline constexpr const char* kVersionServerVariable = "VORN_UPDATE_SERVER";
