// ZRPack: the "NyPack" archive, one file holding many named data files, each stored as it
// is, compressed with the Orvik or Pellum codec, or with every byte inverted. It opens an
// archive from a path or a stream, checks CRCs when asked, finds entries by name without
// regard to letter case (through an index built at open), reads them through handles or
// whole into memory streams, and creates, extends and prunes archives.
//
// Layout, little-endian: a 16-byte header ("NyPack", u16 version, u32 data-area size D,
// u32 entry count N), the data area, the entry table (32, 40 or 48 bytes a record by
// version) and, for versions 0x0300/0x0301, the CRC-16 of everything before it.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrstream.h"
#include "foundation/zrstring.h"
#include "platform/filetime.h"

class ZRCrcCheck;

struct ZRPackHed {
    char magic[6] = {};
    uint16_t version = 0;
    uint32_t dataSize = 0;  // D
    int32_t fileNum = 0;    // N; zero or less means no entries
};

// One entry as held in memory, whatever the version on disk.
struct ZRFileTable3 {
    char name[21] = {};  // stem, NUL-padded; a 21-byte stem has no terminator
    char ext[3] = {};    // extension without the dot; first byte 0 = none
    uint32_t offset = 0;    // from the start of the data area
    uint32_t size = 0;      // unpacked
    uint32_t compSize = 0;  // stored
    uint8_t comp = 0;       // compression id
    uint8_t crcFlag = 0;    // 1: crc is valid
    uint16_t crc = 0;       // CRC-16 of the stored bytes
    plat::FileTime time;

    bool IsDeleted() const;
};

// An open entry. Reads in place from the archive unless the entry was decoded into `stream`.
struct ZRFILE {
    int index = 0;
    int dataPos = 0;  // offset + 16
    int size = 0;
    int compSize = 0;
    int comp = 0;
    ZRStream* stream = nullptr;  // owned
    int readPos = 0;
};

class ZRPack {
public:
    static constexpr uint16_t kVersion1 = 0x0100;
    static constexpr uint16_t kVersion2 = 0x0200;
    static constexpr uint16_t kVersion3 = 0x0300;
    static constexpr uint16_t kVersion31 = 0x0301;
    static constexpr int kHeaderSize = 16;
    static constexpr int kRecordSize3 = 48;
    static constexpr int kMaxNameLength = 25;  // 21-byte stem, '.', 3-byte extension

    ZRPack();
    ~ZRPack();
    ZRPack(const ZRPack&) = delete;
    ZRPack& operator=(const ZRPack&) = delete;

    // 0 no checks, 1 whole-archive CRC at open, 2 entry CRC at every entry open.
    uint8_t CheckMode = 0;

    // ---- opening and closing ----
    bool OpenPack(const char* path);
    bool SetPackName(const char* path) { return OpenPack(path); }
    void ClosePack();
    bool LoadPack(const char* path);
    // Read-only archives only; the caller keeps the stream, which must outlive the archive.
    bool LoadPackStream(ZRStream* stream);
    // Writes back header, table and CRC when modified, then closes; false when that
    // rewrite failed (the archive is closed either way).
    bool EndPack();
    void SetReadOnly(bool readOnly);
    bool GetReadOnly() const { return readOnly_; }
    bool IsOpen() const { return open_; }
    bool IsModified() const { return modified_; }
    const ZRString& GetPackName() const { return packName_; }
    const ZRPackHed& GetHeader() const { return header_; }
    void SetProgressCallback(ZRBaseCallback1<bool, int> callback) { progressCallback_ = callback; }
    int GetProgress() const { return progress_; }

    // ---- queries ----
    int GetFileNum() const;
    // `buffer` needs 26 bytes; a deleted entry gives the empty name.
    bool GetFileName(int index, char* buffer) const;
    int GetFileSize(int index) const;
    int GetFileComp(int index) const;
    bool GetFileTime(int index, plat::FileTime* time) const;
    // The record itself, for tools that list everything; null outside the table.
    const ZRFileTable3* GetFileTable(int index) const;
    // The first entry whose upper-cased full name equals the upper-cased name, or -1.
    int CheckFileName(const char* name) const;
    bool VerifyFileCrc(int index);

    // ---- entry handles ----
    ZRFILE* ZRfopenComp(const char* name, bool decode);
    ZRFILE* ZRfopen(const char* name) { return ZRfopenComp(name, true); }
    bool ZRfclose(ZRFILE* handle);
    unsigned ZRfread(void* buffer, unsigned size, unsigned count, ZRFILE* handle);
    bool ZRfseek(ZRFILE* handle, int offset, int whence);
    bool ZRfgetpos(ZRFILE* handle, int* position);
    bool ZRfsetpos(ZRFILE* handle, int* position);
    int ZRfsize(ZRFILE* handle);
    int ZRdsize(ZRFILE* handle);
    int ZRIsComp(ZRFILE* handle);
    bool ZRIsCrc(ZRFILE* handle);
    uint16_t ZRGetCrc(ZRFILE* handle);
    bool ZRGetFileTime(ZRFILE* handle, plat::FileTime* time);

    // ---- whole entries ----
    // The decoded entry as a new memory stream at position 0 (the caller's), or null.
    ZRStream* ZRMakeStream(const char* name);
    bool OpenFile(const char* name);
    bool SetFileName(const char* name) { return OpenFile(name); }
    void CloseFile();
    const ZRString& GetCurrentFileName() const { return fileName_; }
    ZRStream* GetCurrentFile() const { return fileStream_; }
    bool ZRfopenToStream(ZRStream* destination, const char* name, bool decode);
    // Extracts an entry to a disk file carrying the entry's time; a failed copy leaves no file.
    bool GetFile(const char* destination, const char* name);

    // ---- codec drivers ----
    bool FileDecode(ZRStream* destination, ZRStream* source, int size, int compSize, int codec);
    int CallbackRead(void* buffer, int count);
    int CallbackWrite(void* buffer, int count);
    bool CallbackProgress(int percent);
    static void NotCoding(void* buffer, int count);
    // Codec selector of each compression id (-1: none).
    static int CodecOf(int comp);

    // ---- writing ----
    bool NewPack(const char* path);
    bool AddFile(const char* name, const char* source, int comp, bool smallerOnly);
    bool AddFile(const char* name, const char* source, bool smallerOnly) {
        return AddFile(name, source, 1, smallerOnly);
    }
    bool AddPack(const char* name, ZRPack* source, const char* sourceName);
    bool DelFile(const char* name);

    // Parts of the writer that tests reach directly.
    bool MakeTempFile(char* path);
    static void MakeFTName(ZRFileTable3* record, const char* name);
    static bool PackHedWrite(ZRStream* stream, const ZRPackHed& header);
    static bool FileTable3Write(ZRStream* stream, const ZRFileTable3* records, int count);

private:
    bool LoadMain();
    bool ReadTable(int recordSize);
    bool ValidateTable(int64_t fileSize) const;
    bool ArchiveCrc(int64_t total, uint16_t* crc);
    bool VerifyWholeArchive();
    bool CheckEntryCrc(const ZRFILE& handle);
    ZRFILE* OpenHandle(const char* name);
    bool DecodeInto(ZRStream* destination, const ZRFILE& handle);
    bool CopyStored(ZRStream* destination, ZRFILE* handle);
    int Readable(const ZRFILE& handle) const;
    void Report(int percent);
    void Close();
    bool WriteBack();
    void IndexEntry(int index);
    std::string KeyOf(int index) const;

    bool ReadArchive(void* buffer, int count);
    bool WriteArchive(const void* buffer, int count);
    bool SeekArchive(int64_t position);

    int FileEncode(ZRStream* destination, ZRStream* source, int size, int codec);
    bool FileCopy(ZRStream* destination, ZRStream* source, int size, bool invert, uint16_t* crc);
    bool PackCopy(ZRStream* destination, ZRPack* source, ZRFILE* handle, int size, uint16_t* crc);
    bool WritePadding(int stored);
    void AppendRecord(const ZRFileTable3& record, int padded);

    bool readOnly_ = true;
    ZRStream* stream_ = nullptr;
    ZRPackHed header_;
    std::vector<ZRFileTable3> table_;
    bool modified_ = false;
    int progress_ = 0;
    ZRBaseCallback1<bool, int> progressCallback_;
    ZRString packName_;
    bool open_ = false;
    ZRString fileName_;
    ZRStream* fileStream_ = nullptr;
    ZRCrcCheck* crc_ = nullptr;
    bool borrowed_ = false;
    int transferred_ = 0;
    ZRStream* codecSource_ = nullptr;
    ZRStream* codecDestination_ = nullptr;
    // Upper-cased full name -> first index carrying it.
    std::unordered_map<std::string, int> index_;
};
