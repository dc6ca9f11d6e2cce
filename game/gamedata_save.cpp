// The system save and the slot saves: an 8-byte header and one range-coded block. Files are
// built whole in memory and then replace the old file atomically, so a failed or interrupted
// save keeps the previous one.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/zrrangecoder.h"
#include "foundation/zrstd.h"
#include "foundation/zrsys.h"
#include "game/gamedata.h"
#include "platform/atomicfile.h"
#include "platform/hostfs.h"

namespace {

constexpr size_t kHeaderSize = 8;
constexpr uint16_t kSystemVersion = 0x0100;
constexpr uint16_t kSlotVersion = 0x0103;
// The plain size of a system save: the system data and at least the history's head, at most
// all the history a loaded block may hold.
constexpr uint32_t kSystemPlainMin = kSystemDataSize + 8;
constexpr uint32_t kSystemPlainMax = kSystemDataSize + kReadHistorySize - 1;
// Coded buffers the format was made with; a file whose coded part does not fit (with the
// four bytes the decoder may look past the end) is not one of ours.
constexpr size_t kSystemCodedMax = 0x100110;
constexpr size_t kSlotCodedMax = 4 * kSlotPlainSize;
// The decoder may read this many bytes past the coded data; they are zeros.
constexpr size_t kDecoderSlack = 4;
constexpr size_t kThumbOffset = 2 * kGameStateSize + 4;
// The largest files the readers take: the header (and plain size) and the largest coded part
// the format's buffers allow. Anything larger is refused before it is read, so a save that is
// a device or a huge file cannot fill memory.
constexpr size_t kSystemFileMax = kHeaderSize + 4 + kSystemCodedMax - kDecoderSlack;
constexpr size_t kSlotFileMax = kHeaderSize + kSlotCodedMax - kDecoderSlack;

ZRString g_dirOverride;

ZRString SlotFileName(int32_t slot) {
    ZRString name;
    name.sprintf("SV%02d.sav", slot);
    return name;
}

void PutHeader(std::string& out, uint16_t version) {
    uint8_t h[kHeaderSize] = {'S', 'O', 'L', 'V', 0, 0, 0, 0};
    ZRPutLE16(h + 4, version);
    out.assign(reinterpret_cast<const char*>(h), kHeaderSize);
}

bool HeaderMatches(const uint8_t* data, size_t size, uint16_t version) {
    return size >= kHeaderSize && std::memcmp(data, "SOLV", 4) == 0 &&
           ZRGetLE16(data + 4) == version;
}

// Codes plain into out after what it already holds.
bool EncodeBlock(const uint8_t* plain, size_t plainSize, size_t codedMax, std::string& out) {
    ZRRangeEncode enc;
    if (!enc.Create()) return false;
    // Left uninitialised: the coder writes what is used, and clearing 0.7 MB each save would
    // cost a fifth of the coder's own time.
    std::unique_ptr<uint8_t[]> coded(new (std::nothrow) uint8_t[codedMax]);
    if (!coded) return false;
    if (!enc.Encode(plain, coded.get(), static_cast<int>(plainSize), static_cast<int>(codedMax)))
        return false;
    out.append(reinterpret_cast<const char*>(coded.get()),
               static_cast<size_t>(enc.GetResultSize()));
    return true;
}

// A coded part that fits the format's buffer (with the bytes the decoder may look past its
// end) and ends with the coder's own length in three bytes. The decoder never needs those
// three bytes (it reads zeros in their place), so without this a file that lost its tail
// would still load.
bool CodedPartFits(const uint8_t* coded, size_t codedSize, size_t codedMax) {
    if (codedSize < 3 || codedSize + kDecoderSlack > codedMax) return false;
    const uint8_t* tail = coded + codedSize - 3;
    return (static_cast<size_t>(tail[0]) << 16 | static_cast<size_t>(tail[1]) << 8 | tail[2]) ==
           (codedSize & 0xFFFFFF);
}

// Decodes exactly plainSize bytes from a coded part that CodedPartFits accepted. The coder
// closes every block with its end mark: a block whose end mark is not found right after
// plainSize bytes is damaged, even when its bytes up to there look well formed.
bool DecodeBlock(const uint8_t* coded, size_t codedSize, uint8_t* plain, size_t plainSize) {
    std::vector<uint8_t> in(codedSize + kDecoderSlack, 0);
    std::memcpy(in.data(), coded, codedSize);
    std::vector<uint8_t> out(plainSize + 1);
    ZRRangeDecode dec;
    if (!dec.Create()) return false;
    if (!dec.Decode(in.data(), out.data(), static_cast<int>(in.size()),
                    static_cast<int>(out.size())))
        return false;
    if (static_cast<size_t>(dec.GetResultSize()) != plainSize) return false;
    std::memcpy(plain, out.data(), plainSize);
    return true;
}

std::string HostOf(const ZRString& path) {
    return plat::ToHost(path.c_str());
}

bool ReadFile(const ZRString& path, size_t maxBytes, std::string& bytes) {
    return plat::ReadWholeFile(HostOf(path), bytes, maxBytes);
}

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

}  // namespace

ZRString SaveDirectory() {
    if (!g_dirOverride.IsEmpty()) return g_dirOverride;
    return ZRExtractFilePath(ZRGetExePath());
}

void SetSaveDirectory(const ZRString& dir) {
    g_dirOverride = dir;
}

ZRString SystemSavePath() {
    return SaveDirectory() + "SVSys.sav";
}

ZRString SlotSavePath(int32_t slot) {
    return SaveDirectory() + SlotFileName(slot);
}

// ---- images ----

bool EncodeSystemSave(const SystemData& sys, const ReadHistory& hist, std::string& out) {
    const uint32_t used = hist.GetSize();
    const uint32_t plainSize = static_cast<uint32_t>(kSystemDataSize) + used;
    std::vector<uint8_t> plain(plainSize);
    sys.Encode(plain.data());
    std::memcpy(plain.data() + kSystemDataSize, hist.GetBuffer(), used);
    PutHeader(out, kSystemVersion);
    uint8_t p[4];
    ZRPutLE32(p, plainSize);
    out.append(reinterpret_cast<const char*>(p), 4);
    return EncodeBlock(plain.data(), plainSize, kSystemCodedMax, out);
}

bool DecodeSystemSave(const uint8_t* data, size_t size, SystemData& sys, ReadHistory& hist) {
    if (!data || !HeaderMatches(data, size, kSystemVersion) || size < kHeaderSize + 4) return false;
    const uint32_t plainSize = ZRGetLE32(data + kHeaderSize);
    if (plainSize < kSystemPlainMin || plainSize > kSystemPlainMax) return false;
    const uint8_t* coded = data + kHeaderSize + 4;
    const size_t codedSize = size - kHeaderSize - 4;
    if (!CodedPartFits(coded, codedSize, kSystemCodedMax)) return false;
    std::vector<uint8_t> plain(plainSize);
    if (!DecodeBlock(coded, codedSize, plain.data(), plainSize)) return false;
    // A history that fails its checks means the block is damaged, and the system data decoded
    // from it cannot be trusted either: the whole file is refused.
    auto h = std::make_unique<ReadHistory>();
    if (!h->Load(plain.data() + kSystemDataSize, plainSize - kSystemDataSize)) return false;
    sys.Decode(plain.data());
    hist = *h;
    return true;
}

bool EncodeSlotSave(const GameState& current, const GameState& snapshot, uint32_t thumbSize,
                    const uint8_t* thumb, std::string& out) {
    if (thumbSize > kThumbnailMaxSize || (thumbSize > 0 && !thumb)) return false;
    // A slot the reader would refuse must not replace one it accepts.
    if (!current.IsValid() || !snapshot.IsValid()) return false;
    std::vector<uint8_t> plain(kSlotPlainSize, 0);
    current.Encode(plain.data());
    snapshot.Encode(plain.data() + kGameStateSize);
    ZRPutLE32(plain.data() + 2 * kGameStateSize, thumbSize);
    if (thumbSize > 0) std::memcpy(plain.data() + kThumbOffset, thumb, thumbSize);
    PutHeader(out, kSlotVersion);
    return EncodeBlock(plain.data(), kSlotPlainSize, kSlotCodedMax, out);
}

namespace {

// A slot file's coded part, checked and copied with the decoder's slack, ready to decode.
bool SlotCodedPart(const uint8_t* data, size_t size, std::vector<uint8_t>& in) {
    if (!data || !HeaderMatches(data, size, kSlotVersion)) return false;
    const uint8_t* coded = data + kHeaderSize;
    const size_t codedSize = size - kHeaderSize;
    if (!CodedPartFits(coded, codedSize, kSlotCodedMax)) return false;
    in.assign(codedSize + kDecoderSlack, 0);
    std::memcpy(in.data(), coded, codedSize);
    return true;
}

// The rest of DecodeSlotSave once the plain block is decoded.
bool SlotFromPlain(const uint8_t* plain, GameState* current, GameState* snapshot,
                   uint32_t& thumbSize, uint8_t* thumb) {
    // A slot is usable only whole: both states are checked even when the caller wants only
    // the thumbnail, so the list never offers a slot that cannot load.
    auto cur = std::make_unique<GameState>(), snap = std::make_unique<GameState>();
    if (!cur->Decode(plain, kGameStateSize) ||
        !snap->Decode(plain + kGameStateSize, kGameStateSize))
        return false;
    // The caller learns the stored size even when it is too large to be a thumbnail.
    const uint32_t t = ZRGetLE32(plain + 2 * kGameStateSize);
    thumbSize = t;
    if (t > kThumbnailMaxSize) return false;
    if (current) *current = *cur;
    if (snapshot) *snapshot = *snap;
    if (thumb && t > 0) std::memcpy(thumb, plain + kThumbOffset, t);
    return true;
}

}  // namespace

bool DecodeSlotSave(const uint8_t* data, size_t size, GameState* current, GameState* snapshot,
                    uint32_t& thumbSize, uint8_t* thumb) {
    if (!data || !HeaderMatches(data, size, kSlotVersion)) return false;
    const uint8_t* coded = data + kHeaderSize;
    const size_t codedSize = size - kHeaderSize;
    if (!CodedPartFits(coded, codedSize, kSlotCodedMax)) return false;
    std::vector<uint8_t> plain(kSlotPlainSize);
    if (!DecodeBlock(coded, codedSize, plain.data(), kSlotPlainSize)) return false;
    return SlotFromPlain(plain.data(), current, snapshot, thumbSize, thumb);
}

void DecodeSlotSaves(SlotSaveDecode* slots, int count) {
    constexpr int kGroup = ZRRangeDecode::kSideBySide;
    for (int first = 0; first < count; first += kGroup) {
        const int n = std::min(kGroup, count - first);
        std::vector<uint8_t> in[kGroup], plain[kGroup];
        ZRRangeDecode dec[kGroup];
        ZRRangeDecode* decoders[kGroup];
        ZRRangeDecode::Job jobs[kGroup];
        int ready[kGroup];
        int m = 0;
        for (int i = 0; i < n; ++i) {
            SlotSaveDecode& s = slots[first + i];
            s.ok = false;
            if (!SlotCodedPart(s.data, s.size, in[i]) || !dec[i].Create()) continue;
            // One byte more than the block holds, as in DecodeBlock: the end mark must come
            // right after the block's bytes.
            plain[i].resize(kSlotPlainSize + 1);
            decoders[m] = &dec[i];
            jobs[m] = {in[i].data(), plain[i].data(), static_cast<int>(in[i].size()),
                       static_cast<int>(kSlotPlainSize + 1), false};
            ready[m++] = i;
        }
        ZRRangeDecode::DecodeSideBySide(decoders, jobs, m);
        for (int r = 0; r < m; ++r) {
            const int i = ready[r];
            SlotSaveDecode& s = slots[first + i];
            if (jobs[r].ok && static_cast<size_t>(dec[i].GetResultSize()) == kSlotPlainSize)
                s.ok = SlotFromPlain(plain[i].data(), s.current, s.snapshot, s.thumbSize, s.thumb);
        }
    }
}

// ---- files ----

// A system save that fails loses the album, flags and read marks of this play: it says which
// file and why.
bool SaveSystemData() {
    const std::string host = HostOf(SystemSavePath());
    std::string bytes;
    if (!EncodeSystemSave(SysData, ReadHist, bytes)) {
        std::fprintf(stderr, "%s could not be written: its data could not be encoded\n",
                     host.c_str());
        return false;
    }
    errno = 0;
    if (plat::WriteFileAtomic(host, bytes)) return true;
    SayNotWritten(host, errno);
    return false;
}

void SayNotWritten(const std::string& host, int err) {
    std::fprintf(stderr, "%s could not be written: %s\n", host.c_str(),
                 err ? std::strerror(err) : "unknown error");
}

namespace {

constexpr int kRefusedKept = 9;

std::string RefusedName(const std::string& host, int n) {
    return host + ".bad" + (n > 1 ? std::to_string(n) : std::string());
}

// The next save would overwrite the album and flags for good: a system save that was refused
// for any reason (damaged, too large, unreadable) moves aside under the first free name of
// "SVSys.sav.bad", "SVSys.sav.bad2", ... up to kRefusedKept. When all are taken,
// "SVSys.sav.bad", most likely the player's own long-lived save, stays; the oldest of the
// others goes and the rest move down one place. A step that fails ends the moving, so that the
// next step cannot land on a file that did not move. Moved, never copied: the file may be of
// any size, or no regular file at all.
void KeepRefusedSystemSave(const std::string& host) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return;  // nothing there to keep
    int n = 1;
    while (n <= kRefusedKept && lstat(RefusedName(host, n).c_str(), &st) == 0) ++n;
    if (n > kRefusedKept) {
        // Each move frees the name it comes from; the refused save takes the last one freed.
        int freed = 0;
        for (int to = 2; to < kRefusedKept; ++to) {
            if (std::rename(RefusedName(host, to + 1).c_str(), RefusedName(host, to).c_str()) != 0)
                break;
            freed = to + 1;
        }
        n = freed;
    }
    const std::string kept = n > 0 ? RefusedName(host, n) : std::string();
    if (n > 0 && std::rename(host.c_str(), kept.c_str()) == 0)
        std::fprintf(stderr, "%s could not be read; kept as %s\n", host.c_str(), kept.c_str());
    else
        std::fprintf(stderr, "%s could not be read\n", host.c_str());
}

}  // namespace

bool LoadSystemData() {
    const std::string host = HostOf(SystemSavePath());
    std::string bytes;
    SystemData sys;
    ReadHistory hist;
    if (!plat::ReadWholeFile(host, bytes, kSystemFileMax) ||
        !DecodeSystemSave(Bytes(bytes), bytes.size(), sys, hist)) {
        KeepRefusedSystemSave(host);
        return false;
    }
    SysData = sys;
    ReadHist = hist;
    return true;
}

bool SaveGameData(int32_t slot, const GameState& current, const GameState& snapshot,
                  uint32_t thumbSize, const uint8_t* thumb) {
    if (slot < 0 || thumbSize > kThumbnailMaxSize) return false;
    std::string bytes;
    if (!EncodeSlotSave(current, snapshot, thumbSize, thumb, bytes)) return false;
    return plat::WriteFileAtomic(HostOf(SlotSavePath(slot)), bytes);
}

bool SaveGameSlot(int32_t slot) {
    return SaveGameData(slot, CurrentState, SceneSnapshot, 0, nullptr);
}

bool SaveGameSlotThumb(int32_t slot, const uint8_t* thumb, uint32_t thumbSize) {
    return SaveGameData(slot, CurrentState, SceneSnapshot, thumbSize, thumb);
}

bool ReadSlotFile(int32_t slot, std::string& bytes) {
    return ReadFile(SlotSavePath(slot), kSlotFileMax, bytes);
}

bool LoadGameSlotData(int32_t slot, GameState* current, GameState* snapshot, uint32_t& thumbSize,
                      uint8_t* thumb) {
    if (slot < 0) return false;
    std::string bytes;
    if (!ReadSlotFile(slot, bytes)) return false;
    return DecodeSlotSave(Bytes(bytes), bytes.size(), current, snapshot, thumbSize, thumb);
}

namespace {

// Names compared as the writers find their files on disk: without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// "SVSys.sav" or a slot file's name as SlotSavePath makes it.
bool IsSaveFileName(std::string_view name) {
    if (SameName(name, "SVSys.sav")) return true;
    constexpr std::string_view kHead = "SV", kTail = ".sav";
    if (name.size() < kHead.size() + 2 + kTail.size() ||
        !SameName(name.substr(0, kHead.size()), kHead) ||
        !SameName(name.substr(name.size() - kTail.size()), kTail))
        return false;
    const std::string_view digits =
        name.substr(kHead.size(), name.size() - kHead.size() - kTail.size());
    if (digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int64_t slot = std::stoll(std::string(digits));
    return slot <= INT32_MAX && SameName(name, SlotFileName(static_cast<int32_t>(slot)).c_str());
}

// The host folder and file name of a game path.
std::pair<std::string, std::string> SplitHost(const ZRString& path) {
    const std::string host = HostOf(path);
    const size_t slash = host.find_last_of('/');
    if (slash == std::string::npos) return {".", host};
    return {slash == 0 ? "/" : host.substr(0, slash), host.substr(slash + 1)};
}

}  // namespace

void RemoveInterruptedWrites() {
    const std::string saves = SplitHost(SystemSavePath()).first;
    const std::pair<std::string, std::string> config = SplitHost(ConfigFilePath());
    const std::string& name = config.second;
    auto isConfig = [&name](std::string_view n) { return SameName(n, name); };
    // Both sit beside the program unless a save folder was set: one read of it then serves.
    if (config.first == saves) {
        plat::RemoveAbandonedTemporaryFiles(
            saves, [&isConfig](std::string_view n) { return IsSaveFileName(n) || isConfig(n); });
        return;
    }
    plat::RemoveAbandonedTemporaryFiles(saves, IsSaveFileName);
    plat::RemoveAbandonedTemporaryFiles(config.first, isConfig);
}

bool LoadGameSlot(int32_t slot) {
    auto cur = std::make_unique<GameState>(), snap = std::make_unique<GameState>();
    uint32_t thumbSize = 0;
    if (!LoadGameSlotData(slot, cur.get(), snap.get(), thumbSize, nullptr)) return false;
    CurrentState = *cur;
    SceneSnapshot = *snap;
    return true;
}
