// Byte stream of the application class library: the form the image loaders and sound
// factories receive, adapted to and from the engine's own streams.
#pragma once
#include <cstdint>
#include <vector>

namespace plat {

enum class SeekOrigin : uint16_t { Beginning = 0, Current = 1, End = 2 };

class TStream {
public:
    virtual ~TStream() = default;
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // Returns the new position, or -1 when the stream cannot move there.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int32_t Seek32(int32_t offset, uint16_t origin) {
        return static_cast<int32_t>(Seek(offset, static_cast<SeekOrigin>(origin)));
    }
    virtual int64_t GetSize();
    virtual void SetSize(int64_t size);
    int64_t GetPosition() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t pos) { Seek(pos, SeekOrigin::Beginning); }
};

// A growable in-memory stream, for tests and small buffers.
class TMemoryStream : public TStream {
public:
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

}  // namespace plat
