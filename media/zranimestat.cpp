// Animation data reader and the player's stepping rules.
#include "media/zranimestat.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

#include "foundation/zrstd.h"
#include "foundation/zrstream.h"

namespace {

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

ZRRandom& AnimeRandom() {
    static ZRRandom generator;
    return generator;
}

bool ZRAnimeData::Load(ZRStream* stream) {
    if (!stream) return false;
    Release();
    const int size = stream->GetSize();
    if (size < kAnimeHeadSize || !stream->SetPosition(0)) return false;
    std::vector<uint8_t> file;
    try {
        file.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int got = stream->Read(file.data(), size);
    if (got < kAnimeHeadSize) return false;

    ZRAnimeInfoHead head{};
    head.version = ReadU16(&file[0]);
    head.patCount = ReadU16(&file[2]);
    head.frameCount = ReadU16(&file[4]);
    for (int g = 0; g < kAnimeGroups; ++g) head.groupCount[g] = ReadU16(&file[6 + 2 * g]);
    if (head.version != kAnimeVersion) return false;
    if (int64_t{kAnimeHeadSize} + int64_t{kAnimeFrameSize} * head.frameCount != got) return false;

    std::vector<ZRAnimeFrame> frames(head.frameCount);
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint8_t* p = &file[kAnimeHeadSize + kAnimeFrameSize * i];
        frames[i] = ZRAnimeFrame{p[0], p[1], ReadU16(p + 2)};
    }
    ownHead_ = head;
    ownFrames_ = std::move(frames);
    if (!SetData(&ownHead_, ownFrames_.data())) {
        Release();
        return false;
    }
    return true;
}

bool ZRAnimeData::SetData(const ZRAnimeInfoHead* head, const ZRAnimeFrame* frames) {
    if (!head || head->version != kAnimeVersion) return false;
    uint32_t end[kAnimeGroups];
    uint32_t sum = 0;
    for (int g = 0; g < kAnimeGroups; ++g) {
        sum += head->groupCount[g];
        end[g] = sum;
    }
    // A group reaching past the frames present would name records that do not exist.
    if (sum > head->frameCount || (sum > 0 && !frames)) return false;
    patCount_ = head->patCount;
    frameCount_ = head->frameCount;
    for (int g = 0; g < kAnimeGroups; ++g) groupEnd_[g] = end[g];
    head_ = head;
    frames_ = frames;
    return true;
}

bool ZRAnimeData::Set(const ZRAnimeInfoHead* head, const ZRAnimeFrame* frames) {
    Release();
    return SetData(head, frames);
}

void ZRAnimeData::Release() {
    ownFrames_.clear();
    ownFrames_.shrink_to_fit();
    ownHead_ = ZRAnimeInfoHead{};
    head_ = nullptr;
    frames_ = nullptr;
    patCount_ = 0;
    frameCount_ = 0;
    for (uint32_t& e : groupEnd_) e = 0;
}

int ZRAnimeData::GetPatCount() const { return head_ ? static_cast<int>(patCount_) : 1; }

int ZRAnimeData::GetAnimeCount(int group) const {
    if (!head_ || group < 0 || group >= kAnimeGroups) return 0;
    const uint32_t start = group == 0 ? 0 : groupEnd_[group - 1];
    return static_cast<int>(groupEnd_[group] - start);
}

const ZRAnimeFrame* ZRAnimeData::GetAnimeFrame(int group, int frame) const {
    if (frame < 0 || frame >= GetAnimeCount(group)) return nullptr;
    const uint32_t start = group == 0 ? 0 : groupEnd_[group - 1];
    return frames_ + start + static_cast<uint32_t>(frame);
}

void ZRCustomAnimeStat::InitStat() {
    StartGroup(0);
    once_ = false;
    modified_ = true;
    paused_ = false;
}

bool ZRCustomAnimeStat::StartGroup(int group) {
    if (group < 0 || group >= GetGroupMax()) return false;
    ticks_ = 0;
    group_ = static_cast<uint8_t>(group);
    frame_ = 0;
    if (IsEnable() && GetAnimeCount(group) > 0) {
        StartFrame(0);
    } else {
        mode_ = 0;
        pattern_ = 0;
        wait_ = 0;
        modified_ = true;
    }
    once_ = false;
    return true;
}

bool ZRCustomAnimeStat::StartFrame(int frame) {
    if (!IsEnable()) return false;
    const ZRAnimeFrame* f = GetAnimeFrame(group_, frame);
    if (!f) {
        mode_ = 0;
        pattern_ = 0;
        wait_ = 0;
        modified_ = true;
        return true;
    }
    const uint8_t before = pattern_;
    frame_ = static_cast<uint8_t>(frame);
    mode_ = f->mode;
    pattern_ = f->pattern;
    wait_ = f->wait;
    // A zero bound has no random value below it; the wait simply stays 0.
    if (mode_ == 2 && wait_ > 0) wait_ = static_cast<uint16_t>(MakeRandom(wait_));
    if (pattern_ == before) return false;
    modified_ = true;
    return true;
}

bool ZRCustomAnimeStat::CallFrame(int ticks) {
    if (!IsEnable() || paused_) return false;
    // Saturates rather than wrapping when a resting player is fed ticks for a very long time.
    const int64_t sum = int64_t{ticks_} + ticks;
    ticks_ = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
    bool changed = false;
    for (;;) {
        const int32_t before = ticks_;
        if (mode_ == 0 && wait_ == 0) break;
        if (wait_ <= ticks_) {
            ticks_ -= wait_;
            switch (mode_) {
                case 0:
                    wait_ = 0;
                    break;
                case 1:
                case 2:
                    if (frame_ + 1 < GetAnimeCount(group_)) {
                        changed |= StartFrame(frame_ + 1);
                    } else {
                        mode_ = 0;
                    }
                    break;
                case 3:
                    once_ = false;
                    changed |= StartFrame(0);
                    break;
                case 4:
                    once_ = false;
                    if (group_ + 1 < GetGroupMax()) {
                        changed |= StartGroup(group_ + 1);
                    } else {
                        mode_ = 0;
                    }
                    break;
                default:
                    break;
            }
        }
        if (once_ && mode_ == 0 && wait_ == 0) once_ = false;
        if (ticks_ == before) break;
    }
    return changed;
}

ZRAnimeStat::ZRAnimeStat() {
    Clear();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    const int discard = static_cast<int>(ms & 0xFFF) + 1;
    for (int i = 0; i < discard; ++i) AnimeRandom().Rnd();
}

const ZRAnimeFrame* ZRAnimeStat::GetAnimeFrame(int, int frame) {
    return data_ ? data_->GetAnimeFrame(GetGroup(), frame) : nullptr;
}

int ZRAnimeStat::MakeRandom(int n) { return AnimeRandom().Random(n); }

int ZRAnimeStat::GetAnimeCount(int group) { return data_ ? data_->GetAnimeCount(group) : 0; }
