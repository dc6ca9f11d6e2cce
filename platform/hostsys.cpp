#include "platform/hostsys.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/hostfs.h"

extern char** environ;

namespace plat {

uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
    uint64_t r;
    return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

bool ParseMeminfoField(const std::string& text, const char* name, uint64_t* bytes) {
    std::string key = std::string(name) + ":";
    size_t at = 0;
    while ((at = text.find(key, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') break;
        at += key.size();
    }
    if (at == std::string::npos) return false;
    const char* p = text.c_str() + at + key.size();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = SaturatingMultiply(v, 10);
        uint64_t d = static_cast<uint64_t>(*p - '0');
        v = v > UINT64_MAX - d ? UINT64_MAX : v + d;
    }
    while (*p == ' ') ++p;
    *bytes = std::strncmp(p, "kB", 2) == 0 ? SaturatingMultiply(v, 1024) : v;
    return true;
}

namespace {

std::string ReadWhole(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// x86-64 gives a process 47 bits of user address space; other targets are not built for.
constexpr uint64_t kUserAddressSpace = uint64_t{1} << 47;

}  // namespace

uint64_t AvailablePhysicalMemory() {
    uint64_t bytes = 0;
    const int fd = open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buf[4096];
        size_t got = 0;
        for (ssize_t n; got < sizeof buf - 1 &&
                        (n = read(fd, buf + got, sizeof buf - 1 - got)) > 0;)
            got += static_cast<size_t>(n);
        close(fd);
        if (ParseMeminfoField(std::string(buf, got), "MemAvailable", &bytes)) return bytes;
    }
    struct sysinfo si {};
    return sysinfo(&si) == 0 ? SaturatingMultiply(si.freeram, si.mem_unit) : 0;
}

MemoryFigures QueryMemory() {
    MemoryFigures m;
    struct sysinfo si {};
    if (sysinfo(&si) == 0) {
        m.totalPhysical = SaturatingMultiply(si.totalram, si.mem_unit);
        m.availablePhysical = SaturatingMultiply(si.freeram, si.mem_unit);
    }
    std::string meminfo = ReadWhole("/proc/meminfo");
    uint64_t available = 0, swapFree = 0;
    if (ParseMeminfoField(meminfo, "MemAvailable", &available)) m.availablePhysical = available;
    ParseMeminfoField(meminfo, "SwapFree", &swapFree);

    m.totalVirtual = kUserAddressSpace;
    struct rlimit rl {};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
        m.totalVirtual = std::min<uint64_t>(m.totalVirtual, rl.rlim_cur);
    }
    uint64_t used = 0;
    ParseMeminfoField(ReadWhole("/proc/self/status"), "VmSize", &used);
    uint64_t addressLeft = m.totalVirtual > used ? m.totalVirtual - used : 0;
    // Address space is never what runs out on a 64-bit host; memory the system can still
    // give is. The figure watched for "running low" is therefore the smaller of the two.
    uint64_t commitLeft = available > UINT64_MAX - swapFree ? UINT64_MAX : available + swapFree;
    m.availableVirtual = std::min(addressLeft, commitLeft);
    return m;
}

std::string ExecutablePath() {
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return std::string();
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::vector<std::string> CommandLine() {
    std::string raw = ReadWhole("/proc/self/cmdline");
    std::vector<std::string> args;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        args.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return std::string();
    return std::string(buf.data());
}

bool ChangeDirectory(const char* path) { return path && *path && chdir(ToHost(path).c_str()) == 0; }

bool OpenWithAssociatedProgram(const char* path, const char* workDir) {
    if (!path || !*path) return false;
    std::string target = ToHost(path);
    std::string dir = workDir && *workDir ? ToHost(workDir) : std::string();
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    char opener[] = "xdg-open";
    char* argv[] = {opener, target.data(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, opener, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    // The opener runs on its own; a detached waiter collects it so no zombie is left.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace plat
