// Atomic file rewrite through a temporary file and rename.
#include "platform/atomicfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/hostfs.h"

namespace plat {

namespace {

std::mutex g_hookMutex;
std::function<void(const std::string&)> g_hook;

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file a rename must replace: where path's links lead, also to a file not made yet, each
// relative link read from its own folder. Past as many links as the system itself follows (a
// loop) it is where the last one leads, which opens as the loop it is.
std::string RealTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char link[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), link, sizeof link);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof link)) break;
        const size_t slash = link[0] == '/' ? std::string::npos : target.find_last_of('/');
        target = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) +
                 std::string(link, static_cast<size_t>(n));
    }
    return target;
}

// The rename is durable only once the directory entry is on disk. Some file systems refuse
// fsync on a directory; the new file is in place either way, so that is not a failure.
void SyncDirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const std::string& bytes) {
    const std::string target = RealTarget(path);
    // The rename needs only the directory's permission, so without this a file the user made
    // read-only would be replaced, and the caller told that it was written.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) return false;
    std::string temp = target + ".tmpXXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;

    // mkostemp makes the file private; give it the old file's mode, or the usual one.
    struct stat st {};
    mode_t mode;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok) {
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard lock(g_hookMutex);
            hook = g_hook;
        }
        if (hook) hook(temp);
        if (rename(temp.c_str(), target.c_str()) != 0) {
            ok = false;
            err = errno;
        }
    }
    if (!ok) {
        unlink(temp.c_str());
        errno = err;
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}

void RemoveAbandonedTemporaryFiles(const std::string& dir,
                                   const std::function<bool(std::string_view)>& isTarget) {
    const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return;
    DIR* d = fdopendir(dfd);
    if (!d) {
        close(dfd);
        return;
    }
    // mkostemp's suffix: six characters from its alphabet.
    constexpr std::string_view kTmp = ".tmp";
    constexpr size_t kSuffix = 6;
    std::vector<std::string> found;
    while (const dirent* e = readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() <= kTmp.size() + kSuffix) continue;
        const size_t dot = name.size() - kTmp.size() - kSuffix;
        if (name.substr(dot, kTmp.size()) != kTmp) continue;
        const std::string_view suffix = name.substr(dot + kTmp.size());
        if (!std::all_of(suffix.begin(), suffix.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            }))
            continue;
        if (isTarget(name.substr(0, dot))) found.emplace_back(name);
    }
    // Only regular files: a directory or a link of that name is someone else's. Another copy
    // of the game may share the folder (another user's, or one whose instance lock lives in
    // another runtime folder) and be between its write and its rename: only this user's
    // files, last changed well before now, were left behind. A write takes milliseconds.
    constexpr time_t kAbandonedAfter = 10 * 60;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const uid_t me = geteuid();
    for (const std::string& name : found) {
        struct stat st {};
        if (fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == me && st.st_mtim.tv_sec < now.tv_sec - kAbandonedAfter)
            unlinkat(dfd, name.c_str(), 0);
    }
    closedir(d);
}

bool ReadWholeFile(const std::string& path, std::string& bytes, size_t maxBytes) {
    const int fd = OpenRegularFile(path, false);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) > maxBytes) {
        close(fd);
        return false;
    }
    std::string out;
    char buf[8192];
    for (;;) {
        const size_t room = maxBytes - out.size();
        const size_t want = room < sizeof buf ? room + 1 : sizeof buf;
        const ssize_t n = read(fd, buf, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        if (n == 0) break;
        if (static_cast<size_t>(n) > room) {
            close(fd);
            return false;  // grew past the limit while being read
        }
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    bytes.swap(out);
    return true;
}

void SetAtomicWriteHook(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

}  // namespace plat
