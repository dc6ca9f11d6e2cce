// Writing half of ZRPack: new archives, adding files and entries of other archives,
// deleting entries, and the rewrite of header, table and CRC at close. Entries go into the
// data area as they are added; the table and CRC on disk are only made whole by EndPack.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "foundation/zrcomp.h"
#include "foundation/zrpack.h"
#include "foundation/zrstd.h"
#include "platform/hostfs.h"

namespace {

constexpr int kEntryChunk = 32768;
constexpr int kMaxPath = 260;

// Shift-JIS texts: "ファイル名", "が不正です。", "ファイル", "が開けません。",
// "テンポラリファイルが作れません。".
const char kFileNamePrefix[] = "\x83t\x83@\x83""C\x83\x8B\x96\xBC";
const char kIsInvalid[] = "\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7\x81""B";
const char kFilePrefix[] = "\x83t\x83@\x83""C\x83\x8B";
const char kCannotOpen[] = "\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81""B";
const char kNoTempFile[] =
    "\x83""e\x83\x93\x83|\x83\x89\x83\x8A\x83t\x83@\x83""C\x83\x8B\x82\xAA\x8D\xEC\x82\xEA\x82\xDC"
    "\x82\xB9\x82\xF1\x81""B";

std::runtime_error CannotOpen(const char* path) {
    return std::runtime_error(std::string(kFilePrefix) + path + kCannotOpen);
}

// Removes the temporary file when the add is over, however it ends.
struct TempFileGuard {
    std::string path;
    ~TempFileGuard() {
        if (!path.empty()) plat::RemoveFile(path.c_str());
    }
};

int Padding(int64_t stored) { return static_cast<int>((16 - stored % 16) % 16); }

}  // namespace

void ZRPack::MakeFTName(ZRFileTable3* record, const char* name) {
    std::memset(record->name, 0, sizeof record->name);
    std::memset(record->ext, 0, sizeof record->ext);
    const char* dot = std::strrchr(name, '.');
    size_t length = std::strlen(name);
    if (dot && dot != name) {
        size_t stem = static_cast<size_t>(dot - name);
        std::memcpy(record->name, name, std::min<size_t>(stem, sizeof record->name));
        std::memcpy(record->ext, dot + 1, std::min<size_t>(length - stem - 1, sizeof record->ext));
    } else {
        std::memcpy(record->name, name, std::min<size_t>(length, sizeof record->name));
    }
}

bool ZRPack::PackHedWrite(ZRStream* stream, const ZRPackHed& header) {
    unsigned char h[kHeaderSize];
    std::memcpy(h, header.magic, 6);
    ZRPutLE16(h + 6, header.version);
    ZRPutLE32(h + 8, header.dataSize);
    ZRPutLE32(h + 12, static_cast<uint32_t>(header.fileNum));
    try {
        return stream->Write(h, kHeaderSize) == kHeaderSize;
    } catch (...) {
        return false;
    }
}

bool ZRPack::FileTable3Write(ZRStream* stream, const ZRFileTable3* records, int count) {
    if (count <= 0) return true;
    std::vector<unsigned char> raw(static_cast<size_t>(count) * kRecordSize3);
    for (int i = 0; i < count; ++i) {
        const ZRFileTable3& t = records[i];
        unsigned char* r = raw.data() + static_cast<size_t>(i) * kRecordSize3;
        std::memcpy(r, t.name, 21);
        std::memcpy(r + 21, t.ext, 3);
        ZRPutLE32(r + 24, t.offset);
        ZRPutLE32(r + 28, t.size);
        ZRPutLE32(r + 32, t.compSize);
        r[36] = t.comp;
        r[37] = t.crcFlag;
        ZRPutLE16(r + 38, t.crc);
        ZRPutLE32(r + 40, t.time.low);
        ZRPutLE32(r + 44, t.time.high);
    }
    try {
        return stream->Write(raw.data(), static_cast<int>(raw.size())) == static_cast<int>(raw.size());
    } catch (...) {
        return false;
    }
}

bool ZRPack::MakeTempFile(char* path) {
    std::string dir = plat::TempDirectory();
    if (dir.empty() || dir.size() + 17 >= static_cast<size_t>(kMaxPath)) return false;
    for (int i = 0; i < 1000; ++i) {
        std::snprintf(path, kMaxPath, "%sNyTmp%03d.NyPack", dir.c_str(), i);
        // Taking the name and creating the file are one step, so two writers never share it.
        if (plat::CreateFileExclusive(path)) return true;
    }
    return false;
}

bool ZRPack::NewPack(const char* path) {
    if (readOnly_) return false;
    if (open_) EndPack();
    if (!path || !*path) return false;
    stream_ = new ZRFileStream(path, zrfmCreate);
    header_ = ZRPackHed();
    std::memcpy(header_.magic, "NyPack", 6);
    header_.version = kVersion3;
    if (!stream_->IsOpen() || !SeekArchive(0) || !PackHedWrite(stream_, header_)) {
        delete stream_;
        stream_ = nullptr;
        return false;
    }
    table_.clear();
    index_.clear();
    modified_ = true;
    open_ = true;
    packName_ = path;
    borrowed_ = false;
    return true;
}

bool ZRPack::WritePadding(int stored) {
    static const unsigned char kZeros[16] = {};
    int pad = Padding(stored);
    return pad == 0 || WriteArchive(kZeros, pad);
}

void ZRPack::AppendRecord(const ZRFileTable3& record, int padded) {
    table_.push_back(record);
    header_.dataSize += static_cast<uint32_t>(padded);
    header_.fileNum = static_cast<int32_t>(table_.size());
    IndexEntry(static_cast<int>(table_.size()) - 1);
    modified_ = true;
}

namespace {

// The name an entry will carry once cut to the record's 21 + 3 bytes.
std::string StoredName(const ZRFileTable3& r) {
    std::string name(r.name, strnlen(r.name, sizeof r.name));
    if (r.ext[0] != 0) name += "." + std::string(r.ext, strnlen(r.ext, sizeof r.ext));
    return name;
}

// The archive, once this entry and a table with its record are added, must stay within
// the 32-bit positions of the streams.
bool Fits(const ZRPackHed& header, int64_t padded) {
    int64_t end = 16 + static_cast<int64_t>(header.dataSize) + padded +
                  (static_cast<int64_t>(header.fileNum) + 1) * ZRPack::kRecordSize3 + 2;
    return end <= INT32_MAX;
}

}  // namespace

bool ZRPack::AddFile(const char* name, const char* source, int comp, bool smallerOnly) {
    if (readOnly_) return false;
    if (!open_) return true;
    try {
        ZRFileTable3 record;
        if (!name || std::strlen(name) > static_cast<size_t>(kMaxNameLength)) {
            throw std::invalid_argument(std::string(kFileNamePrefix) + (name ? name : "") + kIsInvalid);
        }
        MakeFTName(&record, name);
        if (record.IsDeleted() || CheckFileName(StoredName(record).c_str()) >= 0) {
            throw std::invalid_argument(std::string(kFileNamePrefix) + name + kIsInvalid);
        }
        TempFileGuard guard;
        std::unique_ptr<ZRFileStream> file(new ZRFileStream(source ? source : "", zrfmRead));
        int size = file->IsOpen() ? file->GetSize() : -1;
        if (size < 0) throw CannotOpen(source ? source : "");
        record.offset = header_.dataSize;
        record.size = static_cast<uint32_t>(size);
        plat::GetWriteTime(source, &record.time);
        if (size == 0) comp = 0;

        std::unique_ptr<ZRFileStream> temp;
        int compressed = 0;
        if (comp == 1 || comp == 2 || comp == 4 || comp == 5) {
            char tempPath[kMaxPath];
            if (!MakeTempFile(tempPath)) throw std::runtime_error(kNoTempFile);
            guard.path = tempPath;
            temp.reset(new ZRFileStream(tempPath, zrfmCreate));
            if (!temp->IsOpen()) throw CannotOpen(tempPath);
            compressed = FileEncode(temp.get(), file.get(), size, CodecOf(comp));
            if (comp == 4 || comp == 5) comp = 2;
            // An encoder that failed leaves nothing readable: store the file instead.
            if (compressed > 0 && (!smallerOnly || compressed < size)) {
                temp.reset(new ZRFileStream(tempPath, zrfmRead));
                if (!temp->IsOpen()) throw CannotOpen(tempPath);
            } else {
                comp = 0;
                temp.reset();
                if (file->Seek(0, zrSeekSet) != 0) return false;
            }
        }
        record.comp = static_cast<uint8_t>(comp);
        record.crcFlag = 1;
        int stored = comp == 1 || comp == 2 ? compressed : size;
        record.compSize = static_cast<uint32_t>(stored);
        int padded = stored + Padding(stored);
        if (!Fits(header_, padded) || !SeekArchive(kHeaderSize + static_cast<int64_t>(header_.dataSize))) {
            return false;
        }
        bool copied = temp ? FileCopy(stream_, temp.get(), compressed, false, &record.crc)
                           : FileCopy(stream_, file.get(), size, comp == 3, &record.crc);
        if (!copied || !WritePadding(stored)) return false;
        AppendRecord(record, padded);
        return true;
    } catch (const std::exception& e) {
        std::fputs(e.what(), stderr);
        std::fputc('\n', stderr);
        return false;
    }
}

bool ZRPack::PackCopy(ZRStream* destination, ZRPack* source, ZRFILE* handle, int size, uint16_t* crc) {
    Report(0);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kEntryChunk]);
    if (!buffer) return false;
    uint16_t value = 0xFFFF;
    int64_t at = destination->GetPosition();
    int done = 0;
    try {
        while (done < size) {
            int n = std::min(size - done, kEntryChunk);
            if (source->ZRfread(buffer.get(), static_cast<unsigned>(n), 1, handle) != 1) return false;
            // The source may be this very archive, whose reads move the shared position.
            if (destination->Seek(static_cast<int>(at + done), zrSeekSet) != at + done ||
                destination->Write(buffer.get(), n) != n) {
                return false;
            }
            done += n;
            Report(static_cast<int>(static_cast<int64_t>(done) * 100 / size));
            value = crc_->UpDateCrc(value, buffer.get(), n);
        }
    } catch (...) {
        return false;
    }
    if (size == 0) Report(100);
    *crc = value;
    return true;
}

bool ZRPack::AddPack(const char* name, ZRPack* source, const char* sourceName) {
    if (readOnly_ || !open_ || !name || !source) return false;
    if (std::strlen(name) > static_cast<size_t>(kMaxNameLength)) return false;
    ZRFileTable3 record;
    MakeFTName(&record, name);
    if (record.IsDeleted() || CheckFileName(StoredName(record).c_str()) >= 0) return false;
    std::unique_ptr<ZRFILE, void (*)(ZRFILE*)> handle(source->ZRfopenComp(sourceName, false),
                                                      [](ZRFILE* h) { delete h; });
    ZRFILE* h = handle.get();
    if (!h) return false;
    record.offset = header_.dataSize;
    record.size = static_cast<uint32_t>(source->ZRfsize(h));
    record.comp = static_cast<uint8_t>(source->ZRIsComp(h));
    // An entry kept as it is reads exactly its unpacked size; anything else its stored bytes.
    int stored = record.comp == 0 ? source->ZRfsize(h) : source->ZRdsize(h);
    record.compSize = static_cast<uint32_t>(stored);
    record.crcFlag = 1;
    source->ZRGetFileTime(h, &record.time);
    int padded = stored + Padding(stored);
    if (!Fits(header_, padded)) return false;
    source->ZRfseek(h, 0, 0);
    if (!SeekArchive(kHeaderSize + static_cast<int64_t>(header_.dataSize)) ||
        !PackCopy(stream_, source, h, stored, &record.crc) ||
        !SeekArchive(kHeaderSize + static_cast<int64_t>(header_.dataSize) + stored) ||
        !WritePadding(stored)) {
        return false;
    }
    AppendRecord(record, padded);
    return true;
}

bool ZRPack::DelFile(const char* name) {
    if (readOnly_ || !open_) return false;
    int index = CheckFileName(name);
    if (index < 0) return false;
    std::string key = KeyOf(index);
    ZRFileTable3& t = table_[static_cast<size_t>(index)];
    std::memset(t.name, 0, sizeof t.name);
    std::memset(t.ext, 0, sizeof t.ext);
    index_.erase(key);
    for (int i = index + 1; i < static_cast<int>(table_.size()); ++i) {
        if (KeyOf(i) == key) {
            index_.emplace(key, i);
            break;
        }
    }
    modified_ = true;
    return true;
}

bool ZRPack::WriteBack() {
    int count = static_cast<int>(table_.size());
    header_.fileNum = count;
    int64_t tableAt = kHeaderSize + static_cast<int64_t>(header_.dataSize);
    if (!SeekArchive(0) || !PackHedWrite(stream_, header_)) return false;
    if (count > 0 && (!SeekArchive(tableAt) || !FileTable3Write(stream_, table_.data(), count))) {
        return false;
    }
    int64_t total = tableAt + static_cast<int64_t>(count) * kRecordSize3;
    uint16_t crc;
    if (!ArchiveCrc(total, &crc)) return false;
    unsigned char tail[2];
    ZRPutLE16(tail, crc);
    // Switching from reading to writing needs a seek; the last seek pushes the bytes out, so
    // a full disk shows here rather than unseen at close.
    return SeekArchive(total) && WriteArchive(tail, 2) && SeekArchive(total + 2);
}
