// ZRStream: the byte stream through which every file, archive entry and image or sound
// source is read and written; file, memory and resource streams implement it, and two
// adapters connect it with the class library's stream.
#pragma once
#include <cstdint>
#include <cstdio>

#include "foundation/zrstring.h"
#include "platform/resources.h"
#include "platform/tstream.h"

enum ZRSeekWhence { zrSeekSet = 0, zrSeekCur = 1, zrSeekEnd = 2 };

enum ZRFileMode {
    zrfmCreate = 0,     // create or truncate, read and write
    zrfmRead = 1,       // existing file, read only
    zrfmReadWrite = 2,  // existing file, read and write
};

class ZRStream {
public:
    virtual ~ZRStream() = default;
    virtual bool IsOpen() = 0;
    virtual bool IsSeekable() = 0;
    // A negative count reads or writes nothing and returns 0.
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    // Returns the new position, or -1 on failure.
    virtual int Seek(int offset, ZRSeekWhence whence) = 0;
    virtual int GetSize() = 0;
    virtual bool SetSize(int size) = 0;
    virtual int GetPosition() = 0;
    virtual bool Reset() = 0;

    // Throw std::runtime_error "Read Error" / "Write Error" on a short transfer.
    void ReadBuffer(void* buffer, int count);
    void WriteBuffer(const void* buffer, int count);
    bool SetPosition(int position) { return Seek(position, zrSeekSet) >= 0; }
};

class ZRFileStream : public ZRStream {
public:
    ZRFileStream(const char* path, ZRFileMode mode);
    ZRFileStream(const ZRString path, ZRFileMode mode);
    ~ZRFileStream() override;
    ZRFileStream(const ZRFileStream&) = delete;
    ZRFileStream& operator=(const ZRFileStream&) = delete;

    bool IsOpen() override { return file_ != nullptr; }
    bool IsSeekable() override { return true; }
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, ZRSeekWhence whence) override;
    int GetSize() override;
    bool SetSize(int) override { return false; }
    int GetPosition() override { return Seek(0, zrSeekCur); }
    bool Reset() override { return Seek(0, zrSeekSet) == 0; }

private:
    void Open(const char* path, ZRFileMode mode);
    FILE* file_ = nullptr;
};

class ZRMemoryStream : public ZRStream {
public:
    ZRMemoryStream() = default;
    explicit ZRMemoryStream(int size);
    ZRMemoryStream(const void* data, int size);
    ~ZRMemoryStream() override;
    ZRMemoryStream(const ZRMemoryStream&) = delete;
    ZRMemoryStream& operator=(const ZRMemoryStream&) = delete;

    bool IsOpen() override { return memory_ != nullptr; }
    bool IsSeekable() override { return memory_ != nullptr; }
    int Read(void* buffer, int count) override;
    // Writes nothing and returns 0 when the block cannot grow to hold the bytes.
    int Write(const void* buffer, int count) override;
    int Seek(int offset, ZRSeekWhence whence) override;
    int GetSize() override { return size_; }
    bool SetSize(int size) override;
    int GetPosition() override { return position_; }
    bool Reset() override {
        position_ = 0;
        return true;
    }
    bool SetMemorySize(int size);

    // The block itself (null when the stream has none).
    uint8_t* GetMemory() { return memory_; }
    int GetCapacity() const { return capacity_; }

private:
    bool Grow(int64_t capacity);
    uint8_t* memory_ = nullptr;
    int32_t capacity_ = 0;
    int32_t size_ = 0;
    int32_t position_ = 0;
};

class ZRResourceStream : public ZRStream {
public:
    ZRResourceStream(plat::ModuleHandle module, const char* name, const char* type);
    ZRResourceStream(plat::ModuleHandle module, const ZRString name, const char* type);
    ZRResourceStream(plat::ModuleHandle module, int id, const char* type);

    bool IsOpen() override { return data_ != nullptr; }
    bool IsSeekable() override { return data_ != nullptr; }
    int Read(void* buffer, int count) override;
    int Write(const void*, int) override { return 0; }
    int Seek(int offset, ZRSeekWhence whence) override;
    int GetSize() override { return size_; }
    bool SetSize(int) override { return false; }
    int GetPosition() override { return position_; }
    bool Reset() override {
        position_ = 0;
        return true;
    }

private:
    bool Initialize(plat::ModuleHandle module, const char* name, const char* type);
    bool Initialize(plat::ModuleHandle module, int id, const char* type);
    const uint8_t* data_ = nullptr;
    int32_t size_ = 0;
    int32_t position_ = 0;
};

// Shows a class-library stream as a ZRStream; does not own it.
class T2ZRStream : public ZRStream {
public:
    explicit T2ZRStream(plat::TStream* stream) : stream_(stream) {}
    bool IsOpen() override { return true; }
    bool IsSeekable() override { return true; }
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, ZRSeekWhence whence) override;
    int GetSize() override;
    bool SetSize(int size) override;
    int GetPosition() override;
    bool Reset() override { return Seek(0, zrSeekSet) == 0; }

private:
    plat::TStream* stream_;
};

// Shows a ZRStream as a class-library stream with a position of its own; does not own it.
class ZR2TStream : public plat::TStream {
public:
    explicit ZR2TStream(ZRStream* stream);
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, plat::SeekOrigin origin) override;
    int32_t Seek32(int32_t offset, uint16_t origin) override;
    ZRStream* GetZRStream() const { return stream_; }

private:
    bool Sync();
    ZRStream* stream_;
    int32_t position_;
    int32_t size_;
};
