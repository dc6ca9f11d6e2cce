#include "platform/hostfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace plat {

std::string HostPath(const char* path) {
    std::string out = path ? path : "";
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsDoubleByteLead(c)) {
            ++i;
        } else if (c == '\\') {
            out[i] = '/';
        }
    }
    return out;
}

std::string GamePath(const std::string& host) {
    std::string out = host;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Equal but for ASCII letter case; the second byte of a double-byte character compares exactly.
bool SameNameIgnoringCase(const char* a, const std::string& b) {
    size_t n = std::strlen(a);
    if (n != b.size()) return false;
    for (size_t i = 0; i < n; ++i) {
        if (IsDoubleByteLead(static_cast<unsigned char>(a[i]))) {
            if (a[i] != b[i] || (i + 1 < n && a[i + 1] != b[i + 1])) return false;
            ++i;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool FindIgnoringCase(const std::string& dir, const std::string& name, std::string* found) {
    std::unique_ptr<DIR, DirCloser> d(opendir(dir.empty() ? "." : dir.c_str()));
    if (!d) return false;
    while (dirent* e = readdir(d.get())) {
        if (SameNameIgnoringCase(e->d_name, name)) {
            *found = e->d_name;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ResolveHostPath(const std::string& host) {
    if (host.empty() || Exists(host)) return host;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= host.size()) {
        size_t slash = host.find('/', start);
        if (slash == std::string::npos) slash = host.size();
        parts.push_back(host.substr(start, slash - start));
        start = slash + 1;
    }
    std::string current = host[0] == '/' ? "/" : "";
    bool matching = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty()) continue;
        std::string candidate = Join(current, part);
        std::string found;
        if (matching && !Exists(candidate) && part != "." && part != ".." &&
            FindIgnoringCase(current, part, &found)) {
            candidate = Join(current, found);
        } else if (matching && !Exists(candidate)) {
            matching = false;
        }
        current = candidate;
    }
    if (host.back() == '/' && current.back() != '/') current += '/';
    return current;
}

std::string ToHost(const char* path) { return ResolveHostPath(HostPath(path)); }

FILE* OpenFile(const char* path, const char* mode) {
    if (!path || !*path || !mode) return nullptr;
    if (mode[0] == 'r') return OpenRegularStream(ToHost(path), mode);
    return std::fopen(ToHost(path).c_str(), mode);
}

int OpenRegularFile(const std::string& host, bool readWrite) {
    // Non-blocking only for the open itself, so that a FIFO is seen without a writer.
    const int fd =
        open(host.c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

FILE* OpenRegularStream(const std::string& host, const char* mode) {
    if (!mode || mode[0] != 'r') {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = OpenRegularFile(host, std::strchr(mode, '+') != nullptr);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, mode);
    if (!f) close(fd);
    return f;
}

EntryKind KindOf(const char* path) {
    if (!path || !*path) return EntryKind::kNone;
    struct stat st;
    if (stat(ToHost(path).c_str(), &st) != 0) return EntryKind::kNone;
    return S_ISDIR(st.st_mode) ? EntryKind::kDirectory : EntryKind::kFile;
}

bool RemoveFile(const char* path) {
    return path && *path && unlink(ToHost(path).c_str()) == 0;
}

bool CreateFileExclusive(const char* path) {
    if (!path || !*path) return false;
    int fd = open(ToHost(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool GetWriteTime(const char* path, FileTime* time) {
    if (!path || !*path || !time) return false;
    struct stat st;
    if (stat(ToHost(path).c_str(), &st) != 0) return false;
    *time = FileTimeFromUnix(st.st_mtim.tv_sec, static_cast<int32_t>(st.st_mtim.tv_nsec));
    return true;
}

bool SetWriteTime(const char* path, const FileTime& time) {
    if (!path || !*path) return false;
    int32_t ns = 0;
    int64_t s = UnixFromFileTime(time, &ns);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(s);
    times[1].tv_nsec = ns;
    return utimensat(AT_FDCWD, ToHost(path).c_str(), times, 0) == 0;
}

namespace {

bool NameLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
unsigned char FoldLetter(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}
// Bytes of the name's character at n: a double-byte character moves as a whole.
size_t NameChar(const unsigned char* n) {
    return NameLead(n[0]) && n[1] ? 2 : 1;
}

bool NameMatches(const unsigned char* p, const unsigned char* n) {
    for (;;) {
        if (*p == 0) return *n == 0;
        if (*p == '*') {
            while (*p == '*') ++p;
            if (*p == 0) return true;
            for (;;) {
                if (NameMatches(p, n)) return true;
                if (*n == 0) return false;
                n += NameChar(n);
            }
        }
        if (*p == '?') {
            if (*n != 0 && *n != '.') n += NameChar(n);
            ++p;
            continue;
        }
        if (NameLead(p[0]) && p[1]) {
            if (n[0] != p[0] || n[1] != p[1]) return false;
            p += 2;
            n += 2;
            continue;
        }
        if (*n == 0 || FoldLetter(*p) != FoldLetter(*n)) return false;
        ++p;
        ++n;
    }
}

}  // namespace

bool DirectoryNameMatches(const char* pattern, const char* name) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const auto* n = reinterpret_cast<const unsigned char*>(name);
    if (NameMatches(p, n)) return true;
    const std::string_view whole(pattern);
    if (whole.size() < 2 || whole.substr(whole.size() - 2) != ".*") return false;
    const std::string stem(whole.substr(0, whole.size() - 2));
    return NameMatches(reinterpret_cast<const unsigned char*>(stem.c_str()), n);
}

bool ListDirectory(const char* path, std::vector<DirEntry>* entries) {
    entries->clear();
    std::string dir = (path && *path) ? ToHost(path) : std::string(".");
    std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
    if (!d) return false;
    while (dirent* e = readdir(d.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        DirEntry entry;
        entry.name = e->d_name;
        struct stat st;
        if (e->d_type == DT_DIR) {
            entry.directory = true;
        } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            entry.directory = stat(Join(dir, entry.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries->push_back(std::move(entry));
    }
    return true;
}

std::string TempDirectory() {
    std::string dir = "/tmp";
    const char* env = std::getenv("TMPDIR");
    struct stat st;
    if (env && *env && stat(env, &st) == 0 && S_ISDIR(st.st_mode)) dir = env;
    if (dir.back() != '/') dir += '/';
    return GamePath(dir);
}

}  // namespace plat
