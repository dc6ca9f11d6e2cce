// File times in the Windows form the stored formats use: 100-nanosecond intervals since
// 1601-01-01 UTC, kept as two 32-bit halves on disk.
#pragma once
#include <cstdint>
#include <ctime>

namespace plat {

struct FileTime {
    uint32_t low = 0;
    uint32_t high = 0;

    uint64_t Ticks() const { return (static_cast<uint64_t>(high) << 32) | low; }
    static FileTime FromTicks(uint64_t t) {
        return FileTime{static_cast<uint32_t>(t), static_cast<uint32_t>(t >> 32)};
    }
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr int64_t kFileTimeEpochOffset = 11644473600LL;

FileTime FileTimeFromUnix(int64_t seconds, int32_t nanoseconds = 0);
// Unix seconds of a file time (times before 1970 give negative values); the remainder in
// nanoseconds goes to *nanoseconds when given.
int64_t UnixFromFileTime(const FileTime& ft, int32_t* nanoseconds = nullptr);
FileTime FileTimeNow();

}  // namespace plat
