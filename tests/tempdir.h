// A scratch directory for one test, removed with everything in it when the test ends.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zrtest_XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder that holds the directory.
    std::string Parent() const { return std::filesystem::path(path_).parent_path().string(); }
    // Host path of `name` inside the directory.
    std::string Host(const std::string& name = "") const { return name.empty() ? path_ : path_ + "/" + name; }
    // The same path in the game's form (backslashes).
    std::string Game(const std::string& name = "") const {
        std::string p = Host(name);
        for (char& c : p) {
            if (c == '/') c = '\\';
        }
        return p;
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Host(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Host(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};

// Whether a child that becomes uid and gid can search dir (and so every folder above it).
// Tests that drop to another user ask it of the folder above their scratch folder: a private
// one, as a TMPDIR made by mktemp -d is, would make that user's every call fail for a reason
// the test does not mean.
inline bool ReachableAs(const std::string& dir, uid_t uid, gid_t gid) {
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (setgid(gid) != 0 || setuid(uid) != 0) _exit(2);
        _exit(access(dir.c_str(), X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
