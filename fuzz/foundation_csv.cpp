// Reads arbitrary bytes as a data table and walks every cell through both access paths.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/zrcsvread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    ZRMemoryStream stream(data, static_cast<int>(size));
    ZRCsvRead csv;
    if (!csv.Read(&stream)) return 0;
    // A degenerate table can be wide and tall at once; the walk samples its corner.
    int w = csv.GetSizeX() < 64 ? csv.GetSizeX() : 64;
    int h = csv.GetSizeY() < 64 ? csv.GetSizeY() : 64;
    char buf[16];
    for (int y = -1; y <= h; ++y) {
        csv.SetPos(-1, y);
        for (int x = -1; x <= w; ++x) {
            int v = csv.GetValue(x, y);
            ZRString s = csv.GetZRString(x, y);
            if (csv.GetText(x, y, buf, sizeof buf)) {
                if (std::strlen(buf) >= sizeof buf) __builtin_trap();
                if (std::strncmp(buf, s.c_str(), sizeof buf - 1) != 0) __builtin_trap();
            } else if (!s.IsEmpty() || v != 0) {
                __builtin_trap();
            }
            if (csv.GetValue() != v) __builtin_trap();
        }
    }
    return 0;
}
