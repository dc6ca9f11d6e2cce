// Single-instance lock over flock.
#include "platform/instancelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace plat {

namespace {

// Keeps the name a single file name whatever it holds.
std::string SafeName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '_' || c == '-' || c == '.';
        out += plain ? static_cast<char>(c) : '_';
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

}  // namespace

InstanceLock::InstanceLock(std::string name) {
    if (const char* over = std::getenv("SOLVANE_INSTANCE_NAME"); over && *over) name = over;
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string base = dir && *dir ? dir : "/tmp";
    path_ = base + "/" + SafeName(name) + "." + std::to_string(getuid()) + ".lock";
}

InstanceLock::~InstanceLock() {
    Release();
}

bool InstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    // The file stays: removing it would let a third process lock a fresh file while a
    // second still holds the old one open.
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

}  // namespace plat
