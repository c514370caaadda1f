// A file dialog in a process of its own (zenity, else kdialog, found on
// PATH), so the host's thread never waits for the user: Start launches it
// and Poll, called from the editor's idle, collects the chosen path when it
// has ended.
#pragma once

#include <sys/types.h>
#include <string>

class FileChooser {
public:
    FileChooser() = default;
    ~FileChooser();
    FileChooser(const FileChooser&) = delete;
    FileChooser& operator=(const FileChooser&) = delete;

    // The dialog program found on PATH ("zenity", "kdialog"), empty for none.
    static std::string FindProgram();

    // Opens the dialog to save (else open) a file of one of extensions (blank
    // separated, may be empty) starting at folder/file; false when no dialog
    // program can be run or one is running.
    bool Start(bool save, const std::string& file, const std::string& folder, const std::string& extensions);
    bool Running() const { return m_child > 0; }
    // True once the dialog has ended: path is then the chosen file, empty
    // when the user cancelled. Never waits.
    bool Poll(std::string& path);

private:
    void Stop();

    pid_t m_child = -1;
    int m_output = -1;
    std::string m_read;
};
