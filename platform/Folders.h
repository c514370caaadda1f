// The user's folders and basic folder and file checks. All paths are UTF-8.
#pragma once

#include <string>

// The user's local (non-roaming) application-data folder: on Windows the
// shell's local AppData folder; elsewhere $XDG_DATA_HOME when it is an absolute
// path, else ~/.local/share. Empty when it cannot be found. The folder may not
// exist yet.
std::string LocalAppDataFolder();

// The user's documents folder: on Windows the shell's Documents folder;
// elsewhere $XDG_DOCUMENTS_DIR, else the XDG_DOCUMENTS_DIR entry of
// user-dirs.dirs in $XDG_CONFIG_HOME (or ~/.config) with $HOME expanded, else
// ~/Documents. Empty when it cannot be found.
std::string DocumentsFolder();

// folder, the platform's path separator and name; no second separator is added
// when folder already ends with one.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder part of path: up to, not including, its last path separator
// ("\\" or "/" on Windows, "/" elsewhere); empty when it has none.
std::string FolderOfPath(const std::string& path);

// Creates the folder and any missing parents. True when the folder exists
// afterwards (also when it existed before).
bool CreateFolder(const std::string& path);

// True when path names an existing file (not a folder).
bool FileExists(const std::string& path);

// True when path names an existing folder.
bool FolderExists(const std::string& path);
