#include "graphics/posix/FileChooser.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

extern char** environ;

namespace {

bool Executable(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

FileChooser::~FileChooser()
{
    Stop();
}

std::string FileChooser::FindProgram()
{
    const char* path = std::getenv("PATH");
    for (const char* program : {"zenity", "kdialog"}) {
        std::istringstream folders(path != nullptr ? path : "");
        std::string folder;
        while (std::getline(folders, folder, ':')) {
            if (!folder.empty() && Executable(folder + "/" + program)) {
                return program;
            }
        }
    }
    return {};
}

bool FileChooser::Start(bool save, const std::string& file, const std::string& folder,
                        const std::string& extensions)
{
    if (Running()) {
        return false;
    }
    const std::string program = FindProgram();
    if (program.empty()) {
        return false;
    }
    std::string patterns;
    std::istringstream list(extensions);
    for (std::string extension; list >> extension;) {
        patterns += (patterns.empty() ? "*." : " *.") + extension;
    }
    const std::string start = folder.empty() ? file : folder + "/" + file;
    std::vector<std::string> arguments{program};
    if (program == "zenity") {
        arguments.push_back("--file-selection");
        arguments.push_back(save ? "--title=Save" : "--title=Open");
        if (save) {
            arguments.push_back("--save");
            arguments.push_back("--confirm-overwrite");
        }
        arguments.push_back("--filename=" + start);
        if (!patterns.empty()) {
            arguments.push_back("--file-filter=" + patterns);
        }
    } else {
        arguments.push_back(save ? "--getsavefilename" : "--getopenfilename");
        arguments.push_back(start.empty() ? "." : start);
        if (!patterns.empty()) {
            arguments.push_back(patterns);
        }
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    pid_t child = -1;
    const int failed = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        return false;
    }
    fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    m_child = child;
    m_output = pipeEnds[0];
    m_read.clear();
    return true;
}

bool FileChooser::Poll(std::string& path)
{
    if (!Running()) {
        return false;
    }
    char buffer[1024];
    for (ssize_t got; (got = read(m_output, buffer, sizeof buffer)) > 0;) {
        if (m_read.size() < 65536) {
            m_read.append(buffer, static_cast<std::size_t>(got));
        }
    }
    int status = 0;
    if (waitpid(m_child, &status, WNOHANG) != m_child) {
        return false;
    }
    for (ssize_t got; (got = read(m_output, buffer, sizeof buffer)) > 0;) {
        m_read.append(buffer, static_cast<std::size_t>(got));
    }
    m_child = -1;
    close(m_output);
    m_output = -1;
    path.clear();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        path = m_read.substr(0, m_read.find('\n'));
    }
    return true;
}

void FileChooser::Stop()
{
    if (m_child > 0) {
        kill(m_child, SIGTERM);
        waitpid(m_child, nullptr, 0);
        m_child = -1;
    }
    if (m_output >= 0) {
        close(m_output);
        m_output = -1;
    }
}
