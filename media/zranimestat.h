// Sprite-animation programs (".anm" files) and their player. ZRAnimeData holds up to 16
// groups of frames, each frame naming a picture block (pattern), a wait in ticks and what
// happens when the wait has elapsed; ZRCustomAnimeStat steps through them, and ZRAnimeStat
// binds that stepping to one ZRAnimeData. The data must outlive every player bound to it.
#pragma once
#include <cstdint>
#include <vector>

class ZRStream;
class ZRRandom;

// The 38-byte head of an animation file, decoded.
struct ZRAnimeInfoHead {
    uint16_t version;
    uint16_t patCount;
    uint16_t frameCount;
    uint16_t groupCount[16];
};

// One frame, decoded: what happens when the wait has elapsed, the block shown, the wait.
struct ZRAnimeFrame {
    uint8_t mode;
    uint8_t pattern;
    uint16_t wait;
};

constexpr uint16_t kAnimeVersion = 0x0100;
constexpr int kAnimeGroups = 16;
constexpr int kAnimeHeadSize = 38;
constexpr int kAnimeFrameSize = 4;

class ZRAnimeData {
  public:
    ZRAnimeData() = default;
    ~ZRAnimeData() { Release(); }
    ZRAnimeData(const ZRAnimeData&) = delete;
    ZRAnimeData& operator=(const ZRAnimeData&) = delete;

    // Replaces the content with a whole ".anm" stream; false (and empty) when it is malformed.
    bool Load(ZRStream* stream);
    // Uses decoded records that the caller keeps alive; refused unless the version is right
    // and the groups fit in the frames given.
    bool SetData(const ZRAnimeInfoHead* head, const ZRAnimeFrame* frames);
    bool Set(const ZRAnimeInfoHead* head, const ZRAnimeFrame* frames);
    void Release();

    bool IsEnable() const { return head_ != nullptr; }
    int GetPatCount() const;
    int GetAnimeCount(int group) const;
    const ZRAnimeFrame* GetAnimeFrame(int group, int frame) const;

  private:
    // Owned decoded file; empty unless loaded from a stream.
    ZRAnimeInfoHead ownHead_{};
    std::vector<ZRAnimeFrame> ownFrames_;
    uint32_t patCount_ = 0;
    uint32_t frameCount_ = 0;
    uint32_t groupEnd_[kAnimeGroups] = {};
    const ZRAnimeInfoHead* head_ = nullptr;
    const ZRAnimeFrame* frames_ = nullptr;
};

class ZRCustomAnimeStat {
  public:
    virtual const ZRAnimeFrame* GetAnimeFrame(int group, int frame) = 0;
    // Uniform in 0..n-1 for n >= 1.
    virtual int MakeRandom(int n) = 0;
    virtual ~ZRCustomAnimeStat() = default;
    virtual void Clear() {}
    virtual void InitStat();
    virtual int GetGroupMax() = 0;
    virtual bool IsEnable() = 0;
    virtual int GetAnimeCount(int group) = 0;

    int GetGroup() const { return group_; }
    int GetFrame() const { return frame_; }
    int GetPattern() const { return pattern_; }
    int GetMode() const { return mode_; }
    int GetWait() const { return wait_; }
    int GetTicks() const { return ticks_; }
    bool GetPause() const { return paused_; }
    void SetPause(bool paused) { paused_ = paused; }
    bool CheckModified() const { return modified_; }
    void SetOnceFlag() { once_ = true; }
    bool CheckOnceFlag() const { return once_; }

    bool StartGroup(int group);
    bool StartFrame(int frame);
    // Advances by the ticks elapsed; true when the shown pattern may have changed.
    bool CallFrame(int ticks);

  private:
    bool modified_ = true;
    bool paused_ = false;
    uint8_t group_ = 0;
    uint8_t frame_ = 0;
    uint8_t mode_ = 0;
    uint8_t pattern_ = 0;
    uint16_t wait_ = 0;
    int32_t ticks_ = 0;
    bool once_ = false;
};

class ZRAnimeStat : public ZRCustomAnimeStat {
  public:
    ZRAnimeStat();

    const ZRAnimeFrame* GetAnimeFrame(int group, int frame) override;
    int MakeRandom(int n) override;
    int GetGroupMax() override { return kAnimeGroups; }
    bool IsEnable() override { return data_ != nullptr; }
    int GetAnimeCount(int group) override;

    void SetAnimeData(ZRAnimeData* data) { data_ = data; }
    ZRAnimeData* GetAnimeData() const { return data_; }

  private:
    ZRAnimeData* data_ = nullptr;
};

// The generator every player draws its random waits from; shared without a lock.
ZRRandom& AnimeRandom();
