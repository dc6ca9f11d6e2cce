#include "platform/filetime.h"

#include <time.h>

namespace plat {

FileTime FileTimeFromUnix(int64_t seconds, int32_t nanoseconds) {
    int64_t s = seconds + kFileTimeEpochOffset;
    if (s < 0) return FileTime{};
    uint64_t t = static_cast<uint64_t>(s) * 10000000ULL + static_cast<uint64_t>(nanoseconds / 100);
    return FileTime::FromTicks(t);
}

int64_t UnixFromFileTime(const FileTime& ft, int32_t* nanoseconds) {
    uint64_t t = ft.Ticks();
    if (nanoseconds) *nanoseconds = static_cast<int32_t>((t % 10000000ULL) * 100);
    return static_cast<int64_t>(t / 10000000ULL) - kFileTimeEpochOffset;
}

FileTime FileTimeNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FileTimeFromUnix(ts.tv_sec, static_cast<int32_t>(ts.tv_nsec));
}

}  // namespace plat
