// Reading half of ZRPack: opening and validating an archive, lookups, entry handles and
// whole-entry reads.
#include "foundation/zrpack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/zrcomp.h"
#include "foundation/zrstd.h"
#include "platform/hostfs.h"

namespace {

constexpr int kWholeChunk = 1 << 20;   // whole-archive CRC and raw copies
constexpr int kEntryChunk = 32768;     // entry CRC and file copies
// Neither codec turns one stored byte into more than this many (Orvik tops out near
// 21,000 with 65,535-byte matches, Pellum at 32,768 / 6 per record): a larger claim is damage.
constexpr uint64_t kMaxExpansion = 32768;
// 1989-12-31 15:00:00 UTC, the time given to entries of versions that store none.
constexpr uint64_t kOldEntryTime = 0x01B41DDEA8EE9800ULL;

// "Packﾌｧｲﾙが壊れています。" in Shift-JIS.
const char kBrokenPack[] =
    "Pack\xCC\xA7\xB2\xD9\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81""B";

void ReportBroken() {
    std::fputs(kBrokenPack, stderr);
    std::fputc('\n', stderr);
}

size_t StemLength(const ZRFileTable3& r) { return strnlen(r.name, sizeof r.name); }
size_t ExtLength(const ZRFileTable3& r) { return strnlen(r.ext, sizeof r.ext); }

}  // namespace

bool ZRFileTable3::IsDeleted() const { return name[0] == 0; }

ZRPack::ZRPack() : crc_(new ZRCrcCheck()) {}

ZRPack::~ZRPack() {
    if (open_) EndPack();
    delete crc_;
}

// ---- archive stream access: a throwing stream counts as a transfer of 0 bytes ----

bool ZRPack::ReadArchive(void* buffer, int count) {
    try {
        transferred_ = stream_ ? stream_->Read(buffer, count) : 0;
    } catch (...) {
        transferred_ = 0;
    }
    return transferred_ == count;
}

bool ZRPack::WriteArchive(const void* buffer, int count) {
    try {
        transferred_ = stream_ ? stream_->Write(buffer, count) : 0;
    } catch (...) {
        transferred_ = 0;
    }
    return transferred_ == count;
}

bool ZRPack::SeekArchive(int64_t position) {
    if (!stream_ || position < 0 || position > INT32_MAX) return false;
    try {
        return stream_->Seek(static_cast<int>(position), zrSeekSet) == position;
    } catch (...) {
        return false;
    }
}

void ZRPack::Report(int percent) {
    if (!progressCallback_.IsSet()) return;
    progress_ = percent;
    progressCallback_.Call(percent);
}

// ---- opening ----

bool ZRPack::OpenPack(const char* path) {
    if (path && *path) return LoadPack(path);
    if (open_) EndPack();
    return true;
}

void ZRPack::ClosePack() {
    if (open_) EndPack();
}

void ZRPack::SetReadOnly(bool readOnly) {
    if (!open_) readOnly_ = readOnly;
}

bool ZRPack::LoadPack(const char* path) {
    if (open_) EndPack();
    if (!path || !*path) return false;
    stream_ = new ZRFileStream(path, readOnly_ ? zrfmRead : zrfmReadWrite);
    borrowed_ = false;
    if (!stream_->IsOpen() || !LoadMain()) {
        delete stream_;
        stream_ = nullptr;
        return false;
    }
    packName_ = path;
    return true;
}

bool ZRPack::LoadPackStream(ZRStream* stream) {
    if (open_) EndPack();
    if (!readOnly_ || !stream) return false;
    stream_ = stream;
    borrowed_ = true;
    if (!LoadMain()) {
        stream_ = nullptr;
        borrowed_ = false;
        return false;
    }
    packName_ = ZRString();
    return true;
}

bool ZRPack::LoadMain() {
    if (!stream_) return false;
    unsigned char h[kHeaderSize];
    if (!SeekArchive(0) || !ReadArchive(h, kHeaderSize)) return false;
    ZRPackHed header;
    std::memcpy(header.magic, h, 6);
    header.version = ZRGetLE16(h + 6);
    header.dataSize = ZRGetLE32(h + 8);
    header.fileNum = static_cast<int32_t>(ZRGetLE32(h + 12));

    int recordSize = header.version == kVersion1   ? 32
                     : header.version == kVersion2 ? 40
                     : header.version == kVersion3 || header.version == kVersion31 ? kRecordSize3
                                                                                  : 0;
    if (recordSize == 0) return false;
    int64_t fileSize = stream_->GetSize();
    int64_t count = std::max<int32_t>(header.fileNum, 0);
    int64_t tableEnd = kHeaderSize + static_cast<int64_t>(header.dataSize) + count * recordSize;
    if (fileSize < 0 || tableEnd > fileSize) return false;

    header_ = header;
    if (!ReadTable(recordSize) || !ValidateTable(fileSize)) {
        table_.clear();
        return false;
    }
    if (recordSize == kRecordSize3 && CheckMode == 1 && !VerifyWholeArchive()) {
        table_.clear();
        ReportBroken();
        return false;
    }
    header_.version = kVersion31;
    modified_ = false;
    open_ = true;
    index_.clear();
    for (int i = 0; i < static_cast<int>(table_.size()); ++i) IndexEntry(i);
    return true;
}

bool ZRPack::ReadTable(int recordSize) {
    table_.clear();
    int count = std::max<int32_t>(header_.fileNum, 0);
    if (count == 0) return true;
    std::vector<unsigned char> raw(static_cast<size_t>(count) * static_cast<size_t>(recordSize));
    if (!SeekArchive(kHeaderSize + static_cast<int64_t>(header_.dataSize)) ||
        !ReadArchive(raw.data(), static_cast<int>(raw.size()))) {
        return false;
    }
    table_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const unsigned char* r = raw.data() + static_cast<size_t>(i) * static_cast<size_t>(recordSize);
        ZRFileTable3& t = table_[static_cast<size_t>(i)];
        std::memcpy(t.name, r, 21);
        std::memcpy(t.ext, r + 21, 3);
        t.offset = ZRGetLE32(r + 24);
        t.size = ZRGetLE32(r + 28);
        t.compSize = t.size;
        t.time = plat::FileTime::FromTicks(kOldEntryTime);
        if (recordSize >= 40) {
            t.compSize = ZRGetLE32(r + 32);
            t.comp = r[36];
        }
        if (recordSize == kRecordSize3) {
            t.crcFlag = r[37];
            t.crc = ZRGetLE16(r + 38);
            t.time.low = ZRGetLE32(r + 40);
            t.time.high = ZRGetLE32(r + 44);
        }
    }
    return true;
}

// Every live entry must lie inside the data area, and what it claims to unpack to must be
// possible for its compression, before anything is sized or read from it.
bool ZRPack::ValidateTable(int64_t fileSize) const {
    int64_t dataSize = header_.dataSize;
    if (kHeaderSize + dataSize > fileSize) return false;
    for (const ZRFileTable3& t : table_) {
        if (t.IsDeleted()) continue;
        if (static_cast<int64_t>(t.offset) + t.compSize > dataSize) return false;
        if (t.size > INT32_MAX) return false;
        bool coded = t.comp == 1 || t.comp == 2;
        if (coded && t.size > static_cast<uint64_t>(t.compSize) * kMaxExpansion) return false;
        if ((t.comp == 0 || t.comp == 3) && t.size > t.compSize) return false;
    }
    return true;
}

bool ZRPack::ArchiveCrc(int64_t total, uint16_t* crc) {
    Report(0);
    if (!SeekArchive(0)) return false;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kWholeChunk]);
    if (!buffer) return false;
    uint16_t value = 0xFFFF;
    int64_t done = 0;
    while (total - done >= kWholeChunk) {
        Report(static_cast<int>((done + kWholeChunk) * 100 / total));
        if (!ReadArchive(buffer.get(), kWholeChunk)) return false;
        value = crc_->UpDateCrc(value, buffer.get(), kWholeChunk);
        done += kWholeChunk;
    }
    int rest = static_cast<int>(total - done);
    if (rest > 0) {
        Report(100);
        if (!ReadArchive(buffer.get(), rest)) return false;
        value = crc_->UpDateCrc(value, buffer.get(), rest);
    }
    *crc = value;
    return true;
}

bool ZRPack::VerifyWholeArchive() {
    int64_t total = kHeaderSize + static_cast<int64_t>(header_.dataSize) +
                    static_cast<int64_t>(table_.size()) * kRecordSize3;
    uint16_t crc;
    unsigned char stored[2];
    return ArchiveCrc(total, &crc) && ReadArchive(stored, 2) && ZRGetLE16(stored) == crc;
}

// ---- closing ----

bool ZRPack::EndPack() {
    if (!open_) return true;
    bool ok = !modified_ || WriteBack();
    Close();
    return ok;
}

void ZRPack::Close() {
    CloseFile();
    table_.clear();
    index_.clear();
    if (!borrowed_) delete stream_;
    stream_ = nullptr;
    borrowed_ = false;
    packName_ = ZRString();
    open_ = false;
    modified_ = false;
}

// ---- queries ----

int ZRPack::GetFileNum() const { return open_ ? static_cast<int>(table_.size()) : 0; }

const ZRFileTable3* ZRPack::GetFileTable(int index) const {
    if (!open_ || index < 0 || index >= static_cast<int>(table_.size())) return nullptr;
    return &table_[static_cast<size_t>(index)];
}

bool ZRPack::GetFileName(int index, char* buffer) const {
    const ZRFileTable3* t = GetFileTable(index);
    if (!t) return false;
    if (t->IsDeleted()) {
        buffer[0] = 0;
        return true;
    }
    size_t n = StemLength(*t);
    std::memcpy(buffer, t->name, n);
    if (t->ext[0] != 0) {
        buffer[n++] = '.';
        size_t e = ExtLength(*t);
        std::memcpy(buffer + n, t->ext, e);
        n += e;
    }
    buffer[n] = 0;
    return true;
}

int ZRPack::GetFileSize(int index) const {
    const ZRFileTable3* t = GetFileTable(index);
    return t && !t->IsDeleted() ? static_cast<int>(t->size) : 0;
}

int ZRPack::GetFileComp(int index) const {
    const ZRFileTable3* t = GetFileTable(index);
    return t && !t->IsDeleted() ? t->comp : 0;
}

bool ZRPack::GetFileTime(int index, plat::FileTime* time) const {
    const ZRFileTable3* t = GetFileTable(index);
    if (!t || t->IsDeleted() || !time) return false;
    *time = t->time;
    return true;
}

std::string ZRPack::KeyOf(int index) const {
    char name[kMaxNameLength + 1];
    if (!GetFileName(index, name)) return std::string();
    return ZRString(name).UpperCase().GetConstStr();
}

void ZRPack::IndexEntry(int index) {
    std::string key = KeyOf(index);
    if (!key.empty()) index_.emplace(std::move(key), index);
}

int ZRPack::CheckFileName(const char* name) const {
    if (!open_ || !name || std::strlen(name) > static_cast<size_t>(kMaxNameLength)) return -1;
    auto it = index_.find(ZRString(name).UpperCase().GetConstStr());
    return it == index_.end() ? -1 : it->second;
}

bool ZRPack::VerifyFileCrc(int index) {
    const ZRFileTable3* t = GetFileTable(index);
    if (!t || t->IsDeleted() || t->crcFlag != 1) return true;
    ZRFILE h;
    h.dataPos = static_cast<int>(t->offset) + kHeaderSize;
    h.compSize = static_cast<int>(t->compSize);
    h.index = index;
    return CheckEntryCrc(h);
}

bool ZRPack::CheckEntryCrc(const ZRFILE& h) {
    const ZRFileTable3& t = table_[static_cast<size_t>(h.index)];
    if (!SeekArchive(h.dataPos)) return false;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kEntryChunk]);
    uint16_t crc = 0xFFFF;
    int left = h.compSize;
    while (left > 0) {
        int n = std::min(left, kEntryChunk);
        if (!ReadArchive(buffer.get(), n)) return false;
        crc = crc_->UpDateCrc(crc, buffer.get(), n);
        left -= n;
    }
    return crc == t.crc;
}

// ---- entry handles ----

ZRFILE* ZRPack::OpenHandle(const char* name) {
    int index = CheckFileName(name);
    if (index < 0) return nullptr;
    const ZRFileTable3& t = table_[static_cast<size_t>(index)];
    auto* h = new ZRFILE;
    h->index = index;
    h->dataPos = static_cast<int>(t.offset) + kHeaderSize;
    h->size = static_cast<int>(t.size);
    h->compSize = static_cast<int>(t.compSize);
    h->comp = t.comp;
    if (CheckMode == 2 && t.crcFlag == 1 && !CheckEntryCrc(*h)) {
        delete h;
        ReportBroken();
        return nullptr;
    }
    return h;
}

bool ZRPack::DecodeInto(ZRStream* destination, const ZRFILE& h) {
    if (destination->Seek(0, zrSeekSet) != 0 || !SeekArchive(h.dataPos)) return false;
    bool ok;
    if (h.comp == 3) {
        uint16_t crc;
        ok = FileCopy(destination, stream_, h.size, true, &crc);
    } else {
        ok = FileDecode(destination, stream_, h.size, h.compSize, CodecOf(h.comp));
    }
    destination->Seek(0, zrSeekSet);
    return ok;
}

ZRFILE* ZRPack::ZRfopenComp(const char* name, bool decode) {
    ZRFILE* h = OpenHandle(name);
    if (!h) return nullptr;
    if (decode && h->comp >= 1 && h->comp <= 3) {
        auto* memory = new ZRMemoryStream();
        if (!memory->SetSize(h->size) || !DecodeInto(memory, *h)) {
            delete memory;
            delete h;
            return nullptr;
        }
        h->stream = memory;
    }
    h->readPos = 0;
    return h;
}

bool ZRPack::ZRfclose(ZRFILE* h) {
    if (!h) return false;
    delete h->stream;
    delete h;
    return true;
}

int ZRPack::Readable(const ZRFILE& h) const {
    return h.stream || h.comp == 0 ? h.size : h.compSize;
}

unsigned ZRPack::ZRfread(void* buffer, unsigned size, unsigned count, ZRFILE* h) {
    if (!open_ || !h || size == 0) return 0;
    int64_t limit = Readable(*h);
    h->readPos = static_cast<int>(std::clamp<int64_t>(h->readPos, 0, limit));
    if (h->readPos + static_cast<uint64_t>(size) * count > static_cast<uint64_t>(limit)) {
        count = static_cast<unsigned>((limit - h->readPos) / size);
        if (count == 0) return 0;
    }
    int bytes = static_cast<int>(static_cast<uint64_t>(size) * count);
    int got;
    if (h->stream) {
        if (h->stream->Seek(h->readPos, zrSeekSet) != h->readPos) return 0;
        got = h->stream->Read(buffer, bytes);
    } else {
        int64_t want = static_cast<int64_t>(h->dataPos) + h->readPos;
        if (stream_->GetPosition() != want && !SeekArchive(want)) return 0;
        ReadArchive(buffer, bytes);
        got = transferred_;
    }
    h->readPos += std::max(got, 0);
    return got == bytes ? count : 0;
}

bool ZRPack::ZRfseek(ZRFILE* h, int offset, int whence) {
    if (!open_ || !h) return false;
    int64_t position = h->readPos;
    if (whence == 0) position = offset;
    else if (whence == 1) position = static_cast<int64_t>(h->readPos) + offset;
    else if (whence == 2) position = static_cast<int64_t>(Readable(*h)) + offset;
    h->readPos = static_cast<int>(std::clamp<int64_t>(position, 0, Readable(*h)));
    return true;
}

bool ZRPack::ZRfgetpos(ZRFILE* h, int* position) {
    if (!open_ || !h || !position) return false;
    *position = h->readPos;
    return true;
}

bool ZRPack::ZRfsetpos(ZRFILE* h, int* position) {
    if (!open_ || !h || !position) return false;
    h->readPos = std::clamp(*position, 0, Readable(*h));
    return true;
}

int ZRPack::ZRfsize(ZRFILE* h) { return open_ && h ? h->size : 0; }
int ZRPack::ZRdsize(ZRFILE* h) { return open_ && h ? h->compSize : 0; }
int ZRPack::ZRIsComp(ZRFILE* h) { return open_ && h ? h->comp : 0; }

bool ZRPack::ZRIsCrc(ZRFILE* h) {
    const ZRFileTable3* t = h ? GetFileTable(h->index) : nullptr;
    return t && t->crcFlag == 1;
}

uint16_t ZRPack::ZRGetCrc(ZRFILE* h) {
    const ZRFileTable3* t = h ? GetFileTable(h->index) : nullptr;
    return t ? t->crc : 0;
}

bool ZRPack::ZRGetFileTime(ZRFILE* h, plat::FileTime* time) {
    const ZRFileTable3* t = h ? GetFileTable(h->index) : nullptr;
    if (!t || !time) return false;
    *time = t->time;
    return true;
}

// ---- whole entries ----

ZRStream* ZRPack::ZRMakeStream(const char* name) {
    ZRFILE* h = ZRfopenComp(name, true);
    if (!h) return nullptr;
    if (h->stream) {
        ZRStream* s = h->stream;
        delete h;
        return s;
    }
    // An entry that stores fewer bytes than it claims cannot be read whole; find that out
    // before sizing memory for the claim.
    if (Readable(*h) < h->size) {
        ZRfclose(h);
        return nullptr;
    }
    auto* memory = new ZRMemoryStream();
    // Every byte is about to be read over, so the block is sized without zero-filling it.
    bool ok = memory->SetMemorySize(h->size);
    ZRfseek(h, 0, 0);
    if (ok && h->size > 0) {
        ok = ZRfread(memory->GetMemory(), static_cast<unsigned>(h->size), 1, h) == 1;
    }
    ZRfclose(h);
    if (!ok) {
        delete memory;
        return nullptr;
    }
    memory->Seek(0, zrSeekSet);
    return memory;
}

bool ZRPack::OpenFile(const char* name) {
    delete fileStream_;
    fileStream_ = nullptr;
    fileName_ = name ? name : "";
    if (fileName_.IsEmpty()) return true;
    fileStream_ = ZRMakeStream(name);
    if (!fileStream_) {
        fileName_ = ZRString();
        return false;
    }
    return true;
}

void ZRPack::CloseFile() {
    delete fileStream_;
    fileStream_ = nullptr;
    fileName_ = ZRString();
}

bool ZRPack::CopyStored(ZRStream* destination, ZRFILE* h) {
    Report(0);
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kWholeChunk]);
    ZRfseek(h, 0, 0);
    int total = Readable(*h);
    int done = 0;
    while (total - done > kWholeChunk) {
        if (ZRfread(buffer.get(), kWholeChunk, 1, h) != 1 ||
            destination->Write(buffer.get(), kWholeChunk) != kWholeChunk) {
            return false;
        }
        done += kWholeChunk;
        Report(static_cast<int>(static_cast<int64_t>(done) * 100 / total));
    }
    int rest = total - done;
    if (rest > 0 && (ZRfread(buffer.get(), static_cast<unsigned>(rest), 1, h) != 1 ||
                     destination->Write(buffer.get(), rest) != rest)) {
        return false;
    }
    Report(100);
    destination->Seek(0, zrSeekSet);
    return true;
}

bool ZRPack::ZRfopenToStream(ZRStream* destination, const char* name, bool decode) {
    if (!open_) return false;
    std::unique_ptr<ZRFILE> h(OpenHandle(name));
    if (!h) return false;
    if (!destination) return true;
    try {
        if (decode && h->comp >= 1 && h->comp <= 3) return DecodeInto(destination, *h);
        return CopyStored(destination, h.get());
    } catch (...) {
        return false;
    }
}

bool ZRPack::GetFile(const char* destination, const char* name) {
    int index = CheckFileName(name);
    if (index < 0 || !destination) return false;
    auto* file = new ZRFileStream(destination, zrfmCreate);
    bool created = file->IsOpen();
    bool ok = created && ZRfopenToStream(file, name, true);
    delete file;
    if (!ok) {
        if (created) plat::RemoveFile(destination);
        return false;
    }
    return plat::SetWriteTime(destination, table_[static_cast<size_t>(index)].time);
}

// ---- codec glue shared by reading and writing ----

int ZRPack::CodecOf(int comp) {
    static const int kSelectors[] = {-1, 0, 1, -1, 2, 3};
    return comp >= 0 && comp < 6 ? kSelectors[comp] : -1;
}

int ZRPack::CallbackRead(void* buffer, int count) {
    try {
        return codecSource_->Read(buffer, count);
    } catch (...) {
        return 0;
    }
}

int ZRPack::CallbackWrite(void* buffer, int count) {
    try {
        return codecDestination_->Write(buffer, count);
    } catch (...) {
        return 0;
    }
}

bool ZRPack::CallbackProgress(int percent) {
    Report(percent);
    return true;
}

void ZRPack::NotCoding(void* buffer, int count) {
    auto* p = static_cast<unsigned char*>(buffer);
    for (int i = 0; i < count; ++i) p[i] = static_cast<unsigned char>(~p[i]);
}

bool ZRPack::FileCopy(ZRStream* destination, ZRStream* source, int size, bool invert, uint16_t* crc) {
    Report(0);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kEntryChunk]);
    if (!buffer) return false;
    uint16_t value = 0xFFFF;
    int done = 0;
    try {
        while (done < size) {
            int n = std::min(size - done, kEntryChunk);
            if (source->Read(buffer.get(), n) != n) return false;
            done += n;
            Report(static_cast<int>(static_cast<int64_t>(done) * 100 / size));
            if (invert) NotCoding(buffer.get(), n);
            if (destination->Write(buffer.get(), n) != n) return false;
            value = crc_->UpDateCrc(value, buffer.get(), n);
        }
    } catch (...) {
        return false;
    }
    if (size == 0) Report(100);
    *crc = value;
    return true;
}
