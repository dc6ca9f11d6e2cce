// Opens an archive from arbitrary bytes and reads every entry every way a caller can: whole,
// through a handle in place, and with the CRC checks on.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/zrpack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    ZRMemoryStream stream(data, static_cast<int>(size));
    for (uint8_t mode : {0, 2}) {
        ZRPack pack;
        pack.CheckMode = mode;
        if (!pack.LoadPackStream(&stream)) return 0;
        char name[ZRPack::kMaxNameLength + 1];
        for (int i = 0; i < pack.GetFileNum(); ++i) {
            if (!pack.GetFileName(i, name) || !name[0]) continue;
            pack.VerifyFileCrc(i);
            std::unique_ptr<ZRStream> whole(pack.ZRMakeStream(name));
            ZRFILE* h = pack.ZRfopenComp(name, false);
            if (h) {
                unsigned char buf[512];
                while (pack.ZRfread(buf, 7, 64, h) > 0) {
                }
                pack.ZRfseek(h, -3, 2);
                pack.ZRfread(buf, 1, 8, h);
                pack.ZRfclose(h);
            }
        }
    }
    return 0;
}
