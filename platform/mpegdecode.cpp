// MPEG audio decoder behind the conversion service: libmpg123 in feed mode, fixed to signed
// 16-bit output at the format's channel count. libmpg123 never resamples: with resampling it
// works through every frame a damaged "Info" header claims, billions of them, inside a single
// call. It decodes each frame at the frame's own rate instead, and frames at another rate
// than the stream's (files joined from different sources) are brought to the stream's rate
// here, by linear interpolation.
#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/audioconverters.h"

namespace plat {

namespace {

// Linear interpolation of interleaved 16-bit frames from one rate to another, carried across
// pieces: the last frame of one piece begins the first interval of the next.
class RateChange {
  public:
    void Start(uint32_t from, uint32_t to, int channels) {
        active_ = from != to;
        step_ = (uint64_t{from} << 32) / to;
        at_ = 0;
        have_ = false;
        channels_ = channels;
    }
    bool Active() const { return active_; }
    void Push(const int16_t* in, size_t frames, std::vector<int16_t>& out) {
        constexpr uint64_t kOne = uint64_t{1} << 32;
        for (size_t f = 0; f < frames; ++f) {
            const int16_t* next = in + f * size_t(channels_);
            if (have_) {
                // Output frames that fall between the last frame (at 0) and this one.
                for (; at_ < kOne; at_ += step_)
                    for (int c = 0; c < channels_; ++c)
                        out.push_back(static_cast<int16_t>(
                            last_[c] + ((int64_t{next[c]} - last_[c]) * int64_t(at_) >> 32)));
                at_ -= kOne;
            }
            std::memcpy(last_, next, sizeof(int16_t) * size_t(channels_));
            have_ = true;
        }
    }

  private:
    bool active_ = false;
    uint64_t step_ = 0;  // input frames per output frame, 32.32 fixed point
    uint64_t at_ = 0;    // the next output frame's place after the last input frame
    bool have_ = false;
    int channels_ = 1;
    int16_t last_[2] = {};
};

class MpegDecoder : public AudioConverter {
public:
    MpegDecoder(mpg123_handle* handle, const AudioFormat& source)
        : handle_(handle),
          channels_(source.channels),
          rate_(source.rate),
          bytesPerSecond_(source.bytesPerSecond),
          decoded_(mpg123_outblock(handle)) {}
    ~MpegDecoder() override { mpg123_delete(handle_); }

    bool DestinationSize(uint32_t sourceBytes, uint32_t* destBytes) const override {
        // Rounded up to whole frames; the true count is known only after decoding.
        const uint64_t perFrame = rate_ >= 32000 ? 1152 : 576;
        uint64_t samples = (uint64_t{sourceBytes} * rate_ + bytesPerSecond_ - 1) / bytesPerSecond_;
        samples = (samples + perFrame - 1) / perFrame * perFrame;
        uint64_t bytes = samples * channels_ * 2;
        if (bytes > UINT32_MAX) return false;
        *destBytes = static_cast<uint32_t>(bytes);
        return true;
    }

    bool Convert(ConvertBuffers& io, uint32_t flags) override {
        io.sourceUsed = io.destUsed = 0;
        if ((flags & cvStart) && !Restart()) return false;
        // Bytes at the front of this piece that an earlier call already fed to the decoder.
        uint32_t fed = std::min(carried_, io.sourceLength);
        carried_ = 0;
        while (io.destUsed < io.destLength) {
            if (pendingAt_ < pending_.size() * 2) {
                // Converted frames that did not fit last time go first.
                const size_t n =
                    std::min<size_t>(pending_.size() * 2 - pendingAt_, io.destLength - io.destUsed);
                std::memcpy(io.dest + io.destUsed,
                            reinterpret_cast<const uint8_t*>(pending_.data()) + pendingAt_, n);
                io.destUsed += static_cast<uint32_t>(n);
                pendingAt_ += n;
                continue;
            }
            pending_.clear();
            pendingAt_ = 0;
            if (stopped_) break;
            size_t done = 0;
            int r;
            if (change_.Active()) {
                r = mpg123_read(handle_, decoded_.data(), decoded_.size(), &done);
                change_.Push(reinterpret_cast<const int16_t*>(decoded_.data()),
                             done / (2 * size_t(channels_)), pending_);
            } else {
                r = mpg123_read(handle_, io.dest + io.destUsed, io.destLength - io.destUsed,
                                &done);
                io.destUsed += static_cast<uint32_t>(done);
            }
            if (r == MPG123_NEW_FORMAT) {
                if (!TakeFormat()) stopped_ = true;
            } else if (r == MPG123_NEED_MORE) {
                // Out of input: what this read converted still goes out first.
                if (fed == io.sourceLength) {
                    if (pendingAt_ < pending_.size() * 2) continue;
                    break;
                }
                if (mpg123_feed(handle_, io.source + fed, io.sourceLength - fed) != MPG123_OK)
                    stopped_ = true;
                fed = io.sourceLength;
            } else if (r != MPG123_OK) {
                // The library gave the stream up: junk it could not resync through, or no
                // first frame in the junk it searched. What this call converted goes out,
                // and the stream ends there, as after its last frame.
                stopped_ = true;
            }
        }
        if (stopped_) {
            if (io.destUsed == 0) return false;
            // Converted frames that did not fit are still owed: a byte held back brings the
            // caller back for them even when this was its last piece.
            const bool owed = pendingAt_ < pending_.size() * 2;
            io.sourceUsed = io.sourceLength - (owed ? 1 : 0);
            return true;
        }
        io.sourceUsed = fed;
        // Output may still wait inside the decoder: hold back the last byte so that the
        // caller comes back for it instead of taking the stream for finished.
        if ((flags & cvEnd) && fed == io.sourceLength && fed > 0 &&
            io.destUsed == io.destLength) {
            io.sourceUsed = fed - 1;
            carried_ = 1;
        }
        return true;
    }

    bool Restart() {
        stopped_ = false;
        carried_ = 0;
        pending_.clear();
        pendingAt_ = 0;
        // A reopened handle keeps the output format it last reported and reports it again
        // only if the first frame brings another, so frames at that rate are converted from
        // the start.
        change_.Start(lastRate_, rate_, channels_);
        mpg123_close(handle_);
        return mpg123_open_feed(handle_) == MPG123_OK;
    }

private:
    // The frames from here on come at their own rate; any but the stream's is converted.
    bool TakeFormat() {
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
            channels != channels_ || encoding != MPG123_ENC_SIGNED_16 || rate <= 0 ||
            rate > 1000000)
            return false;
        lastRate_ = static_cast<uint32_t>(rate);
        change_.Start(lastRate_, rate_, channels_);
        return true;
    }

    mpg123_handle* handle_;
    int channels_;
    uint32_t rate_;
    uint32_t lastRate_ = rate_;  // of the frames libmpg123 last reported
    uint32_t bytesPerSecond_;
    uint32_t carried_ = 0;
    bool stopped_ = false;  // the library gave the stream up; nothing more comes until a restart
    std::vector<uint8_t> decoded_;  // one read's output at a frame rate not the stream's
    RateChange change_;
    std::vector<int16_t> pending_;  // converted frames, sent from byte pendingAt_ on
    size_t pendingAt_ = 0;
};

// A feed-mode handle that gives signed 16-bit output at `channels` (1 or 2) for every rate
// the library decodes, and `extraRate` too, so that it never has to refuse a frame (it says
// so on the error output whatever its quiet flag) or to resample one.
mpg123_handle* NewFeedHandle(int channels, long extraRate) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    const int layout = channels == 1 ? MPG123_MONO : MPG123_STEREO;
    if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0) != MPG123_OK ||
        mpg123_format_none(h) != MPG123_OK ||
        mpg123_format(h, extraRate, layout, MPG123_ENC_SIGNED_16) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) mpg123_format(h, rates[i], layout, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    return h;
}

// What the parser finds in a stream's first `limit` bytes.
struct FrameWalk {
    std::vector<std::pair<uint64_t, uint64_t>> byRate;  // samples per channel by frame rate
    // The leading frames, up to the first of another rate or length: their samples, how many
    // they are, the parser's output position after them (valid while no other kind came),
    // and where the first frame of another kind begins (0: none came).
    uint64_t leading = 0, leadingFrames = 0, told = 0, otherAt = 0;
};

std::optional<FrameWalk> WalkFrames(int channels, uint32_t rate, const MpegReader& read,
                                    uint64_t limit) {
    const std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> h(
        NewFeedHandle(channels, long(rate)), &mpg123_delete);
    if (!h) return std::nullopt;
    FrameWalk walk;
    int firstSpf = 0;
    long firstRate = 0;
    std::vector<uint8_t> piece(64 * 1024);
    for (uint64_t fed = 0;;) {
        const int r = mpg123_framebyframe_next(h.get());
        if (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
            mpg123_frameinfo info;
            const int spf = mpg123_spf(h.get());
            if (mpg123_info(h.get(), &info) != MPG123_OK || info.rate <= 0 || spf <= 0)
                return std::nullopt;
            auto& byRate = walk.byRate;
            auto at = std::find_if(byRate.begin(), byRate.end(),
                                   [&](const auto& e) { return e.first == uint64_t(info.rate); });
            if (at == byRate.end()) at = byRate.insert(byRate.end(), {uint64_t(info.rate), 0});
            at->second += uint64_t(spf);
            if (firstSpf == 0) firstSpf = spf, firstRate = info.rate;
            if (walk.otherAt == 0 && (spf != firstSpf || info.rate != firstRate))
                walk.otherAt = uint64_t(std::max<off_t>(mpg123_framepos(h.get()), 1));
            if (walk.otherAt == 0) walk.leading += uint64_t(spf), ++walk.leadingFrames;
            continue;
        }
        // The decoder stops where the parser gives up, so the count does too.
        if (r != MPG123_NEED_MORE || fed >= limit) break;
        const int n =
            read(fed, piece.data(), uint32_t(std::min<uint64_t>(piece.size(), limit - fed)));
        if (n < 0) return std::nullopt;
        if (n == 0 || mpg123_feed(h.get(), piece.data(), size_t(n)) != MPG123_OK) break;
        fed += uint64_t(n);
    }
    const off_t told = mpg123_tell(h.get());
    walk.told = told > 0 ? uint64_t(told) : 0;
    return walk;
}

}  // namespace

std::unique_ptr<AudioConverter> OpenMpegDecoder(const AudioFormat& source) {
    if (source.channels < 1 || source.channels > 2 || source.rate == 0 ||
        source.bytesPerSecond == 0)
        return nullptr;
    mpg123_handle* h = NewFeedHandle(source.channels, long(source.rate));
    if (!h) return nullptr;
    auto decoder = std::make_unique<MpegDecoder>(h, source);
    if (!decoder->Restart()) return nullptr;
    return decoder;
}

std::optional<uint64_t> CountMpegSamples(uint16_t channels, uint32_t rate, const MpegReader& read) {
    if (channels < 1 || channels > 2 || rate == 0) return std::nullopt;
    std::optional<FrameWalk> walk = WalkFrames(channels, rate, read, UINT64_MAX);
    if (!walk) return std::nullopt;
    // The decoder leaves out the encoder's delay and padding that a LAME tag names, and the
    // frames wholly inside them. The parser's output position counts exactly what the
    // decoder gives of frames of one kind; it reckons every frame at the current frame's
    // length, so where another kind follows, the leading frames are walked again alone.
    if (!walk->byRate.empty()) {
        std::optional<uint64_t> leading = walk->told;
        if (walk->otherAt > 0) {
            const std::optional<FrameWalk> alone = WalkFrames(channels, rate, read, walk->otherAt);
            leading = alone && alone->otherAt == 0 && alone->leadingFrames == walk->leadingFrames
                          ? std::optional<uint64_t>(alone->told)
                          : std::nullopt;
        }
        if (leading && *leading <= walk->leading)
            walk->byRate[0].second -= walk->leading - *leading;
    }
    uint64_t total = 0;
    for (const auto& [from, samples] : walk->byRate) total += (samples * rate + from - 1) / from;
    return total;
}

}  // namespace plat
