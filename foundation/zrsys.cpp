#include "foundation/zrsys.h"

#include <climits>
#include <string>

#include "platform/hostfs.h"
#include "platform/hostsys.h"

uint64_t ZRTotalPhysicalMemory() { return plat::QueryMemory().totalPhysical; }
uint64_t ZRAvailPhysicalMemory() { return plat::AvailablePhysicalMemory(); }
uint64_t ZRTotalVirtualMemory() { return plat::QueryMemory().totalVirtual; }
uint64_t ZRAvailVirtualMemory() { return plat::QueryMemory().availableVirtual; }

ZRString ZRGetCurrentDir() { return ZRString(plat::GamePath(plat::CurrentDirectory()).c_str()); }

bool ZRSetCurrentDir(const ZRString dir) { return plat::ChangeDirectory(dir.c_str()); }

int ZRParamCount() {
    int n = static_cast<int>(plat::CommandLine().size());
    return n > 0 ? n - 1 : 0;
}

ZRString ZRParamStr(int index) {
    if (index == 0) return ZRGetExePath();
    std::vector<std::string> args = plat::CommandLine();
    if (index < 0 || static_cast<size_t>(index) >= args.size()) return ZRString();
    return ZRString(args[static_cast<size_t>(index)].c_str());
}

ZRString ZRGetExePath() { return ZRString(plat::GamePath(plat::ExecutablePath()).c_str()); }

bool ZRFileIsExist(const char* path) { return plat::KindOf(path) == plat::EntryKind::kFile; }
bool ZRFolderIsExist(const char* path) { return plat::KindOf(path) == plat::EntryKind::kDirectory; }

bool ZRFileExec(void*, const ZRString path) {
    if (path.IsEmpty()) return false;
    return plat::OpenWithAssociatedProgram(path.c_str(), ZRExtractFileDir(path).c_str());
}

uint32_t DWORD2COLORREF(uint32_t v) { return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF); }
uint32_t COLORREF2DWORD(uint32_t v) { return DWORD2COLORREF(v); }

// ---- path parts ----

ZRString ZRExtractFilePath(const ZRString path) {
    return path.SubString(1, path.LastDelimiter("\\:"));
}

ZRString ZRExtractFileDir(const ZRString path) {
    int i = path.LastDelimiter("\\:");
    if (i > 1 && path[i] == '\\' && !path.IsDelimiter("\\:", i - 1)) --i;
    return path.SubString(1, i);
}

ZRString ZRExtractFileName(const ZRString path) {
    return path.SubString(path.LastDelimiter("\\:") + 1, INT_MAX);
}

ZRString ZRExtractFileExt(const ZRString path) {
    int i = path.LastDelimiter(".\\:");
    if (i > 0 && path[i] == '.') return path.SubString(i, INT_MAX);
    return ZRString();
}

ZRString ZRChangeFileExt(const ZRString path, const ZRString ext) {
    int i = path.LastDelimiter(".\\:");
    if (i == 0 || path[i] != '.') i = path.Length() + 1;
    return path.SubString(1, i - 1) + ext;
}

ZRString ZRExtractFileDrive(const ZRString path) {
    const std::string& s = path.GetConstStr();
    if (s.size() >= 2 && s[1] == ':') return path.SubString(1, 2);
    if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
        int seen = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            if (s[i] == '\\' && ++seen == 2) return ZRString(s.data(), static_cast<unsigned>(i));
        }
        size_t n = s.back() == '\\' ? s.size() - 1 : s.size();
        return ZRString(s.data(), static_cast<unsigned>(n));
    }
    return ZRString();
}

// ---- relative and absolute directories (byte work: a trail byte 0x5C counts as '\') ----

namespace {

std::string PrepareDir(const ZRString& s) {
    std::string d = s.GetConstStr();
    if (d.size() > 3 && d.back() != '\\') d += '\\';
    return d;
}

ZRString FinishDir(std::string r) {
    if (!r.empty() && r.back() != '\\') r += '\\';
    return ZRString(r.c_str(), static_cast<unsigned>(r.size()));
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool IsDriveAbsolute(const std::string& s) { return s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':'; }
bool IsDriveRooted(const std::string& s) { return s.size() >= 4 && IsDriveAbsolute(s) && s[2] == '\\'; }

}  // namespace

ZRString ZRAbsToRelPath(const ZRString path, const ZRString base) {
    std::string p = PrepareDir(path), b = PrepareDir(base);
    if (!IsDriveRooted(p) || !IsDriveRooted(b) || UpperAscii(p[0]) != UpperAscii(b[0])) {
        return FinishDir(p);
    }
    size_t common = 3;
    for (size_t i = 3; i < p.size() && i < b.size() && p[i] == b[i]; ++i) {
        if (p[i] == '\\') common = i + 1;
    }
    std::string r;
    for (size_t i = common; i < b.size(); ++i) {
        if (b[i] == '\\') r += "..\\";
    }
    r += p.substr(common);
    return FinishDir(r);
}

ZRString ZRAbsToRelDir(const ZRString path, const ZRString base) {
    std::string r = ZRAbsToRelPath(path, base).GetConstStr();
    if (!r.empty() && r.back() == '\\' && !(r.size() >= 2 && r[r.size() - 2] == ':')) r.pop_back();
    return ZRString(r.c_str(), static_cast<unsigned>(r.size()));
}

ZRString ZRAbsToRelPathName(const ZRString pathName, const ZRString base) {
    return ZRAbsToRelPath(ZRExtractFilePath(pathName), base) + ZRExtractFileName(pathName);
}

ZRString ZRRelToAbsPath(const ZRString relative, const ZRString base) {
    std::string rel = PrepareDir(relative), b = PrepareDir(base);
    if (rel.empty()) return FinishDir(b);
    if (b.empty() || IsDriveAbsolute(rel)) return FinishDir(rel);

    int steps = 0;
    size_t pos = 0;
    for (;;) {
        size_t at = pos < rel.size() && rel[pos] == '\\' ? pos + 1 : pos;
        if (rel.compare(at, 2, "..") == 0) {
            ++steps;
            pos = at + 2;
        } else {
            break;
        }
    }
    if (steps > 0 && pos < rel.size() && rel[pos] == '\\') ++pos;

    std::string r;
    size_t start = 0;
    if (IsDriveAbsolute(b)) {
        r = b.substr(0, 2) + "\\";
        start = b.size() > 2 && b[2] == '\\' ? 3 : 2;
    }
    size_t end = b.size();
    if (end > start && b[end - 1] == '\\') --end;
    while (steps > 0 && end > start) {
        size_t k = b.rfind('\\', end - 1);
        end = k == std::string::npos || k < start ? start : k;
        --steps;
    }
    if (steps > 0) return FinishDir(rel);
    if (end > start) r += b.substr(start, end - start) + "\\";
    r += rel.substr(pos);
    return FinishDir(r);
}
