#include "platform/clipboard.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

extern char** environ;

namespace plat {

namespace {

bool OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) dir = ".";
        const std::string full = dir + "/" + name;
        struct stat st;
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

}  // namespace

std::string ClipboardTool() {
    const bool wayland = std::getenv("WAYLAND_DISPLAY") != nullptr;
    const bool haveWl = OnPath("wl-copy"), haveX = OnPath("xclip");
    if (wayland && haveWl) return "wl-copy";
    if (haveX) return "xclip";
    return haveWl ? "wl-copy" : "";
}

bool CopyPngToClipboard(const std::vector<unsigned char>& png) {
    const std::string tool = ClipboardTool();
    if (tool.empty()) return false;
    std::vector<std::string> args;
    if (tool == "wl-copy")
        args = {"wl-copy", "--type", "image/png"};
    else
        args = {"xclip", "-selection", "clipboard", "-t", "image/png", "-i"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        return false;
    }

    // A tool that exits before reading everything must not kill the game with SIGPIPE: the
    // signal is held on this thread and taken back after the write.
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    bool fed = true;
    size_t done = 0;
    while (done < png.size()) {
        const ssize_t n = write(fds[1], png.data() + done, png.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fed = false;
            break;
        }
        done += size_t(n);
    }
    close(fds[1]);
    if (!fed) {
        const timespec zero{0, 0};
        sigtimedwait(&pipeSet, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return fed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace plat
