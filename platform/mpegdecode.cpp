// MPEG audio decoder behind the conversion service: libmpg123 in feed mode, fixed to signed
// 16-bit output at the format's rate and channel count. A stream whose frames carry another
// rate fails instead of being resampled: with resampling, libmpg123 works through every frame
// a damaged "Info" header claims, billions of them, inside a single call.
#include <mpg123.h>

#include <algorithm>
#include <mutex>

#include "platform/audioconverters.h"

namespace plat {

namespace {

class MpegDecoder : public AudioConverter {
public:
    MpegDecoder(mpg123_handle* handle, const AudioFormat& source)
        : handle_(handle),
          channels_(source.channels),
          rate_(source.rate),
          bytesPerSecond_(source.bytesPerSecond) {}
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
            size_t done = 0;
            int r = mpg123_read(handle_, io.dest + io.destUsed, io.destLength - io.destUsed,
                                &done);
            io.destUsed += static_cast<uint32_t>(done);
            if (r == MPG123_NEW_FORMAT) {
                if (!FormatMatches()) return false;
            } else if (r == MPG123_NEED_MORE || r == MPG123_DONE) {
                if (fed == io.sourceLength) break;
                if (mpg123_feed(handle_, io.source + fed, io.sourceLength - fed) != MPG123_OK)
                    return false;
                fed = io.sourceLength;
            } else if (r != MPG123_OK) {
                return false;
            }
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
        carried_ = 0;
        mpg123_close(handle_);
        return mpg123_open_feed(handle_) == MPG123_OK;
    }

private:
    bool FormatMatches() {
        long rate = 0;
        int channels = 0, encoding = 0;
        return mpg123_getformat(handle_, &rate, &channels, &encoding) == MPG123_OK &&
               channels == channels_ && rate == static_cast<long>(rate_) &&
               encoding == MPG123_ENC_SIGNED_16;
    }

    mpg123_handle* handle_;
    int channels_;
    uint32_t rate_;
    uint32_t bytesPerSecond_;
    uint32_t carried_ = 0;
};

}  // namespace

std::unique_ptr<AudioConverter> OpenMpegDecoder(const AudioFormat& source) {
    if (source.channels < 1 || source.channels > 2 || source.rate == 0 ||
        source.bytesPerSecond == 0)
        return nullptr;
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    const int channels = source.channels == 1 ? MPG123_MONO : MPG123_STEREO;
    if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0) != MPG123_OK ||
        mpg123_format_none(h) != MPG123_OK ||
        mpg123_format(h, source.rate, channels, MPG123_ENC_SIGNED_16) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    auto decoder = std::make_unique<MpegDecoder>(h, source);
    if (!decoder->Restart()) return nullptr;
    return decoder;
}

}  // namespace plat
