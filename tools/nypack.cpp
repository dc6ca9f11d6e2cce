// nypack: builds, lists, extracts, checks and edits "NyPack" archives from the command line.
// The demo data and the tests build their archives with it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "foundation/zrpack.h"
#include "foundation/zrstring.h"
#include "platform/hostfs.h"

namespace {

const char kHelp[] =
    "usage: nypack COMMAND ARCHIVE [OPTIONS] [ARGS]\n"
    "\n"
    "commands:\n"
    "  create ARCHIVE [-c ID] [-s] FILE...   new archive holding the files\n"
    "  add    ARCHIVE [-c ID] [-s] FILE...   add files to an existing archive\n"
    "  list   ARCHIVE                        name, size, stored size, id, CRC and time of each entry\n"
    "  extract ARCHIVE [-o DIR] [NAME...]    write entries (all when none named) into DIR\n"
    "  verify ARCHIVE                        check the whole-archive CRC and every entry CRC\n"
    "  delete ARCHIVE NAME...                delete entries (their space stays in the archive)\n"
    "\n"
    "FILE is a path, stored under its file name, or NAME=PATH to store it as NAME (at most\n"
    "21 characters, a dot and 3 more). Options apply to the files after them:\n"
    "  -c ID   compression: 0 stored, 1 Orvik, 2 Pellum, 3 inverted, 4 Pellum with 8 KiB\n"
    "          blocks, 5 Pellum with 1 KiB blocks (4 and 5 are recorded as 2); default 1\n"
    "  -s      keep a compressed file only when it is smaller, else store it (default)\n"
    "  -S      keep the compressed form even when it is not smaller\n"
    "  -o DIR  directory to extract into (default: the current directory)\n"
    "\n"
    "The exit status is 0 on success, 1 when any step failed, 2 on a usage error.\n";

int Usage(const char* why) {
    std::fprintf(stderr, "nypack: %s (see nypack --help)\n", why);
    return 2;
}

// The second byte of a double-byte character may be 0x5C: only a whole character counts as a
// separator, as in the engine's own path functions.
std::string BaseName(const std::string& path) {
    const int slash = ZRString(path.c_str()).LastDelimiter("/\\");
    return path.substr(size_t(slash));
}

int AddFiles(ZRPack& pack, const std::vector<std::string>& args) {
    int comp = 1;
    bool smallerOnly = true;
    int failures = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-c" && i + 1 < args.size()) {
            comp = std::atoi(args[++i].c_str());
            if (comp < 0 || comp > 5) return Usage("compression id must be 0 to 5");
            continue;
        }
        if (a == "-s" || a == "-S") {
            smallerOnly = a == "-s";
            continue;
        }
        size_t eq = a.find('=');
        std::string name = eq == std::string::npos ? BaseName(a) : a.substr(0, eq);
        std::string path = eq == std::string::npos ? a : a.substr(eq + 1);
        if (!pack.AddFile(name.c_str(), path.c_str(), comp, smallerOnly)) {
            std::fprintf(stderr, "nypack: cannot add %s\n", path.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

int Create(const char* archive, const std::vector<std::string>& args, bool fresh) {
    ZRPack pack;
    pack.SetReadOnly(false);
    bool opened = fresh ? pack.NewPack(archive) : pack.OpenPack(archive) && pack.IsOpen();
    if (!opened) {
        std::fprintf(stderr, "nypack: cannot %s %s\n", fresh ? "create" : "open", archive);
        return 1;
    }
    int rc = AddFiles(pack, args);
    if (!pack.EndPack()) {
        std::fprintf(stderr, "nypack: writing %s failed\n", archive);
        return 1;
    }
    return rc;
}

bool OpenForReading(ZRPack& pack, const char* archive, uint8_t checkMode) {
    pack.CheckMode = checkMode;
    if (pack.OpenPack(archive) && pack.IsOpen()) return true;
    std::fprintf(stderr, "nypack: %s is not a readable archive\n", archive);
    return false;
}

int List(const char* archive) {
    ZRPack pack;
    if (!OpenForReading(pack, archive, 0)) return 1;
    std::printf("%-25s %10s %10s %2s %6s %s\n", "name", "size", "stored", "id", "crc", "time (UTC)");
    char name[ZRPack::kMaxNameLength + 1];
    for (int i = 0; i < pack.GetFileNum(); ++i) {
        const ZRFileTable3* t = pack.GetFileTable(i);
        if (t->IsDeleted()) continue;
        pack.GetFileName(i, name);
        time_t when = static_cast<time_t>(plat::UnixFromFileTime(t->time));
        char stamp[32] = "-";
        struct tm tm {};
        if (gmtime_r(&when, &tm)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
        char crc[8] = "-";
        if (t->crcFlag == 1) std::snprintf(crc, sizeof crc, "%04X", t->crc);
        std::printf("%-25s %10" PRIu32 " %10" PRIu32 " %2d %6s %s\n", name, t->size, t->compSize, t->comp,
                    crc, stamp);
    }
    return 0;
}

int Extract(const char* archive, const std::vector<std::string>& args) {
    std::string dir = ".";
    std::vector<std::string> names;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            dir = args[++i];
        } else {
            names.push_back(args[i]);
        }
    }
    ZRPack pack;
    if (!OpenForReading(pack, archive, 0)) return 1;
    if (names.empty()) {
        char name[ZRPack::kMaxNameLength + 1];
        for (int i = 0; i < pack.GetFileNum(); ++i) {
            pack.GetFileName(i, name);
            if (name[0]) names.push_back(name);
        }
    }
    int failures = 0;
    for (const std::string& name : names) {
        std::string out = dir + "/" + name;
        if (!pack.GetFile(out.c_str(), name.c_str())) {
            std::fprintf(stderr, "nypack: cannot extract %s\n", name.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

int Verify(const char* archive) {
    ZRPack pack;
    if (!OpenForReading(pack, archive, 1)) return 1;
    int failures = 0;
    char name[ZRPack::kMaxNameLength + 1];
    for (int i = 0; i < pack.GetFileNum(); ++i) {
        if (pack.VerifyFileCrc(i)) continue;
        pack.GetFileName(i, name);
        std::fprintf(stderr, "nypack: CRC mismatch in %s\n", name);
        ++failures;
    }
    if (failures == 0) std::printf("%s: %d entries, all CRCs good\n", archive, pack.GetFileNum());
    return failures ? 1 : 0;
}

int Delete(const char* archive, const std::vector<std::string>& names) {
    ZRPack pack;
    pack.SetReadOnly(false);
    if (!OpenForReading(pack, archive, 0)) return 1;
    int failures = 0;
    for (const std::string& name : names) {
        if (!pack.DelFile(name.c_str())) {
            std::fprintf(stderr, "nypack: no entry %s\n", name.c_str());
            ++failures;
        }
    }
    if (!pack.EndPack()) {
        std::fprintf(stderr, "nypack: writing %s failed\n", archive);
        return 1;
    }
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc < 3) return Usage("a command and an archive are needed");
    std::string command = argv[1];
    const char* archive = argv[2];
    std::vector<std::string> args(argv + 3, argv + argc);
    if (command == "create") return args.empty() ? Usage("no files to add") : Create(archive, args, true);
    if (command == "add") return args.empty() ? Usage("no files to add") : Create(archive, args, false);
    if (command == "list") return List(archive);
    if (command == "extract") return Extract(archive, args);
    if (command == "verify") return Verify(archive);
    if (command == "delete") return args.empty() ? Usage("no entries named") : Delete(archive, args);
    return Usage("unknown command");
}
