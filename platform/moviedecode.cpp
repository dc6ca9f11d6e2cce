#include "platform/moviedecode.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/clock.h"
#include "platform/hostfs.h"
#include "platform/soundmixer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace plat {

namespace {

// The bytes libavformat's program-stream reader looks for in the first private-stream-2
// packet before it takes the MPEG audio stream ids as ADX.
constexpr uint8_t kMarker[6] = {0x53, 0x6F, 0x66, 0x64, 0x65, 0x63};
// Larger pictures are refused: the queue holds several decoded pictures at a time.
constexpr int32_t kMaxCodedSide = 2048;
constexpr size_t kSoftPictures = 4;
constexpr size_t kHardPictures = 8;
constexpr double kPcmSeconds = 1.0;
constexpr int kIoBufferBytes = 32 * 1024;

std::mutex g_readHookMutex;
std::function<void(int64_t)> g_readHook;

void CallReadHook(int64_t position) {
    std::function<void(int64_t)> hook;
    {
        std::lock_guard<std::mutex> lock(g_readHookMutex);
        hook = g_readHook;
    }
    if (hook) hook(position);
}

// Where the bytes come from: a regular file read as it plays, or a block in memory. The head
// read before FFmpeg starts is kept and served again from memory.
struct ByteSource {
    std::shared_ptr<const std::vector<uint8_t>> memory;
    FILE* file = nullptr;
    std::vector<uint8_t> head;
    int64_t filePos = 0;  // bytes taken from the file so far
    int64_t pos = 0;

    ~ByteSource() {
        if (file) std::fclose(file);
    }
    // Reads the first bytes; they stay available at the start of the source.
    int ReadHead(size_t bytes) {
        if (memory) {
            const size_t n = std::min(bytes, memory->size());
            head.assign(memory->begin(), memory->begin() + static_cast<std::ptrdiff_t>(n));
        } else {
            head.resize(bytes);
            head.resize(std::fread(head.data(), 1, bytes, file));
            filePos = static_cast<int64_t>(head.size());
        }
        return static_cast<int>(head.size());
    }
    int64_t Size() const {
        if (memory) return static_cast<int64_t>(memory->size());
        struct stat st;
        if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
        return st.st_size;
    }
    static int Read(void* opaque, uint8_t* buf, int size) {
        auto* s = static_cast<ByteSource*>(opaque);
        if (size <= 0) return 0;
        if (s->memory) {
            const int64_t left = static_cast<int64_t>(s->memory->size()) - s->pos;
            if (left <= 0) return AVERROR_EOF;
            const int n = static_cast<int>(std::min<int64_t>(left, size));
            std::memcpy(buf, s->memory->data() + s->pos, static_cast<size_t>(n));
            s->pos += n;
            return n;
        }
        if (s->pos < static_cast<int64_t>(s->head.size())) {
            const int n = static_cast<int>(
                std::min<int64_t>(static_cast<int64_t>(s->head.size()) - s->pos, size));
            std::memcpy(buf, s->head.data() + s->pos, static_cast<size_t>(n));
            s->pos += n;
            return n;
        }
        if (s->pos != s->filePos) {
            if (std::fseek(s->file, static_cast<long>(s->pos), SEEK_SET) != 0) return AVERROR(EIO);
            s->filePos = s->pos;
        }
        CallReadHook(s->pos);
        const size_t n = std::fread(buf, 1, static_cast<size_t>(size), s->file);
        if (n == 0) return AVERROR_EOF;
        s->pos += static_cast<int64_t>(n);
        s->filePos = s->pos;
        return static_cast<int>(n);
    }
    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* s = static_cast<ByteSource*>(opaque);
        const int64_t size = s->Size();
        if (whence & AVSEEK_SIZE) return size;
        int64_t to = offset;
        switch (whence & ~AVSEEK_FORCE) {
            case SEEK_SET:
                break;
            case SEEK_CUR:
                to = s->pos + offset;
                break;
            case SEEK_END:
                if (size < 0) return -1;
                to = size + offset;
                break;
            default:
                return -1;
        }
        if (to < 0 || (size >= 0 && to > size)) return -1;
        // A source of unknown size goes only forward past the head it has kept.
        if (size < 0 && to > static_cast<int64_t>(s->head.size()) && to != s->filePos) return -1;
        s->pos = to;
        return to;
    }
};

// A decoded picture as the decoder gave it; it is converted only if it is drawn.
struct Picture {
    AVFrame* frame = av_frame_alloc();
    uint64_t index = 0;
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() { av_frame_free(&frame); }
};

struct AvFree {
    void operator()(uint8_t* p) const { av_free(p); }
};

bool FindSequenceHeader(const uint8_t* data, size_t size, int32_t* w, int32_t* h) {
    for (size_t i = 0; i + 7 <= size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB3) {
            *w = (data[i + 4] << 4) | (data[i + 5] >> 4);
            *h = ((data[i + 5] & 0x0F) << 8) | data[i + 6];
            return true;
        }
    }
    return false;
}

uint8_t MarkerFlags(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 4 + 2 + sizeof kMarker + sizeof kMovieTag + 1 <= size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || data[i + 3] != 0xBF) continue;
        const uint8_t* p = data + i + 6;
        if (std::memcmp(p, kMarker, sizeof kMarker) == 0 &&
            std::memcmp(p + sizeof kMarker, kMovieTag, sizeof kMovieTag) == 0)
            return p[sizeof kMarker + sizeof kMovieTag];
        return 0;  // only the first such packet counts, as for the demuxer
    }
    return 0;
}

// The colour matrix of standard-definition video (luma weights 0.299 red, 0.114 blue) over
// the video range (luma 16..235, chroma 16..240 about 128), in fixed point: every product is
// a 16-bit multiply of a value shifted up by 8 keeping the high half, so the vector paths and
// the one-pixel path compute the same bytes. The sums are in 32nds; the rounding half and the
// luma's offset of 16 are one bias. Sums past 16 bits saturate, as the vector adds do (they
// are far beyond 255).
constexpr int kLumaScale = 9538;  // 255/219 * 32 * 256 (the luma unsigned)
constexpr int kRedV = 13075;      // 1.596027 * 32 * 256 (the chroma less 128)
constexpr int kGreenU = 3209;     // 0.391762 * 32 * 256
constexpr int kGreenV = 6660;     // 0.812968 * 32 * 256
constexpr int kBlueU = 16525;     // 2.017232 * 32 * 256
constexpr int kBias = 16 - 596;   // a half, less 16 * 255/219 * 32

inline int HighHalf(int a, int k) {
    return static_cast<int>((int64_t{a} * k) >> 16);
}
inline uint8_t ToByte(int sum) {
    return static_cast<uint8_t>(std::clamp(std::clamp(sum, -32768, 32767) >> 5, 0, 255));
}

inline void YuvPixel(uint8_t y, uint8_t u, uint8_t v, uint8_t* out) {
    const int luma = HighHalf(y << 8, kLumaScale) + kBias;
    const int cu = (u - 128) * 256, cv = (v - 128) * 256;
    out[0] = ToByte(luma + HighHalf(cu, kBlueU));
    out[1] = ToByte(luma - (HighHalf(cu, kGreenU) + HighHalf(cv, kGreenV)));
    out[2] = ToByte(luma + HighHalf(cv, kRedV));
    out[3] = 0xFF;
}

#if defined(__x86_64__) || defined(__i386__)
// One colour of 16 pixels: the luma halves plus (or less) each chroma term twice.
inline __m128i Channel16(__m128i lumaLo, __m128i lumaHi, __m128i term, bool subtract) {
    const __m128i lo = _mm_unpacklo_epi16(term, term), hi = _mm_unpackhi_epi16(term, term);
    const __m128i a = subtract ? _mm_subs_epi16(lumaLo, lo) : _mm_adds_epi16(lumaLo, lo);
    const __m128i b = subtract ? _mm_subs_epi16(lumaHi, hi) : _mm_adds_epi16(lumaHi, hi);
    return _mm_packus_epi16(_mm_srai_epi16(a, 5), _mm_srai_epi16(b, 5));
}

inline __m128i Chroma8(const uint8_t* p) {
    const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                        _mm_setzero_si128());
    return _mm_slli_epi16(_mm_sub_epi16(c, _mm_set1_epi16(128)), 8);
}

// 16 pixels a step from an even pixel; cb and cr point at its chroma.
void YuvRunSse2(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t n,
                uint8_t* out) {
    const __m128i scale = _mm_set1_epi16(static_cast<int16_t>(kLumaScale));
    const __m128i bias = _mm_set1_epi16(kBias), zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi8(-1);
    for (int32_t i = 0; i + 16 <= n; i += 16, luma += 16, cb += 8, cr += 8, out += 64) {
        const __m128i cu = Chroma8(cb), cv = Chroma8(cr);
        const __m128i red = _mm_mulhi_epi16(cv, _mm_set1_epi16(kRedV));
        const __m128i green = _mm_add_epi16(_mm_mulhi_epi16(cu, _mm_set1_epi16(kGreenU)),
                                            _mm_mulhi_epi16(cv, _mm_set1_epi16(kGreenV)));
        const __m128i blue = _mm_mulhi_epi16(cu, _mm_set1_epi16(kBlueU));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
        const __m128i lo = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, y), scale), bias);
        const __m128i hi = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, y), scale), bias);
        const __m128i r = Channel16(lo, hi, red, false), g = Channel16(lo, hi, green, true);
        const __m128i b = Channel16(lo, hi, blue, false);
        const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
        const __m128i raLo = _mm_unpacklo_epi8(r, opaque), raHi = _mm_unpackhi_epi8(r, opaque);
        auto* o = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, raLo));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, raLo));
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, raHi));
        _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, raHi));
    }
}

#define ZR_AVX2 __attribute__((target("avx2")))

ZR_AVX2 inline __m256i Channel32(__m256i lumaLo, __m256i lumaHi, __m256i term, bool subtract) {
    const __m256i lo = _mm256_unpacklo_epi16(term, term), hi = _mm256_unpackhi_epi16(term, term);
    const __m256i a = subtract ? _mm256_subs_epi16(lumaLo, lo) : _mm256_adds_epi16(lumaLo, lo);
    const __m256i b = subtract ? _mm256_subs_epi16(lumaHi, hi) : _mm256_adds_epi16(lumaHi, hi);
    return _mm256_packus_epi16(_mm256_srai_epi16(a, 5), _mm256_srai_epi16(b, 5));
}

ZR_AVX2 inline __m256i Chroma16(const uint8_t* p) {
    const __m256i c = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    return _mm256_slli_epi16(_mm256_sub_epi16(c, _mm256_set1_epi16(128)), 8);
}

// 32 pixels a step. Each 128-bit lane works on its own: the unpacked luma holds pixels 0-7 and
// 16-23 in its low halves, 8-15 and 24-31 in its high, and the chroma terms unpacked twice
// fall on the same pixels; the four stores put the lanes back in order.
ZR_AVX2 void YuvRunAvx2(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t n,
                        uint8_t* out) {
    const __m256i scale = _mm256_set1_epi16(static_cast<int16_t>(kLumaScale));
    const __m256i bias = _mm256_set1_epi16(kBias), zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi8(-1);
    for (int32_t i = 0; i + 32 <= n; i += 32, luma += 32, cb += 16, cr += 16, out += 128) {
        const __m256i cu = Chroma16(cb), cv = Chroma16(cr);
        const __m256i red = _mm256_mulhi_epi16(cv, _mm256_set1_epi16(kRedV));
        const __m256i green = _mm256_add_epi16(_mm256_mulhi_epi16(cu, _mm256_set1_epi16(kGreenU)),
                                               _mm256_mulhi_epi16(cv, _mm256_set1_epi16(kGreenV)));
        const __m256i blue = _mm256_mulhi_epi16(cu, _mm256_set1_epi16(kBlueU));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma));
        const __m256i lo =
            _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, y), scale), bias);
        const __m256i hi =
            _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, y), scale), bias);
        const __m256i r = Channel32(lo, hi, red, false), g = Channel32(lo, hi, green, true);
        const __m256i b = Channel32(lo, hi, blue, false);
        const __m256i bgLo = _mm256_unpacklo_epi8(b, g), bgHi = _mm256_unpackhi_epi8(b, g);
        const __m256i raLo = _mm256_unpacklo_epi8(r, opaque);
        const __m256i raHi = _mm256_unpackhi_epi8(r, opaque);
        const __m256i p0 = _mm256_unpacklo_epi16(bgLo, raLo),
                      p1 = _mm256_unpackhi_epi16(bgLo, raLo);
        const __m256i p2 = _mm256_unpacklo_epi16(bgHi, raHi),
                      p3 = _mm256_unpackhi_epi16(bgHi, raHi);
        auto* o = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(o + 0, _mm256_permute2x128_si256(p0, p1, 0x20));
        _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(p2, p3, 0x20));
        _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(p0, p1, 0x31));
        _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(p2, p3, 0x31));
    }
}
#undef ZR_AVX2

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

std::atomic<bool> wideYuvSteps{true};

// Pixels [x, x + w) of a row into 4-byte pixels at out.
void YuvRowToBgra(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t x, int32_t w,
                  uint8_t* out) {
    const int32_t end = x + w;
    if (x < end && x % 2 != 0) {
        YuvPixel(luma[x], cb[x / 2], cr[x / 2], out);
        ++x;
        out += 4;
    }
#if defined(__x86_64__) || defined(__i386__)
    if (wideYuvSteps.load(std::memory_order_relaxed) && HasAvx2()) {
        const int32_t n = (end - x) / 32 * 32;
        YuvRunAvx2(luma + x, cb + x / 2, cr + x / 2, n, out);
        x += n;
        out += static_cast<ptrdiff_t>(n) * 4;
    }
    const int32_t n = (end - x) / 16 * 16;
    YuvRunSse2(luma + x, cb + x / 2, cr + x / 2, n, out);
    x += n;
    out += static_cast<ptrdiff_t>(n) * 4;
#endif
    for (; x < end; ++x, out += 4) YuvPixel(luma[x], cb[x / 2], cr[x / 2], out);
}

}  // namespace

void UseWideYuvSteps(bool on) {
    wideYuvSteps = on;
}

void YuvRowToBgr(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t x, int32_t w,
                 uint8_t* out, int32_t bytesPerPixel) {
    if (bytesPerPixel == 4) {
        YuvRowToBgra(luma, cb, cr, x, w, out);
        return;
    }
    // Three bytes a pixel: a run at a time through four-byte pixels on the stack.
    constexpr int32_t kRun = 256;
    uint8_t run[kRun * 4];
    for (int32_t done = 0; done < w; done += kRun) {
        const int32_t n = std::min(kRun, w - done);
        YuvRowToBgra(luma, cb, cr, x + done, n, run);
        for (int32_t i = 0; i < n; ++i, out += 3) std::memcpy(out, run + i * 4, 3);
    }
}

void SetMovieReadHook(std::function<void(int64_t position)> hook) {
    std::lock_guard<std::mutex> lock(g_readHookMutex);
    g_readHook = std::move(hook);
}

MoviePictureRows PictureRows(int32_t width, int32_t height, int32_t bytesPerPixel) {
    constexpr int64_t kAlign = 64;  // AVX-512 stores, the widest libavutil aligns for
    MoviePictureRows r;
    const int64_t row = int64_t{width} * bytesPerPixel;
    r.stride = static_cast<int32_t>((row + kAlign - 1) / kAlign * kAlign);
    r.bytes = static_cast<size_t>(int64_t{r.stride} * height + kAlign);
    return r;
}

bool ParseMovieHead(const uint8_t* data, size_t size, MovieHead* head) {
    if (!data || !head) return false;
    int32_t w = 0, h = 0;
    if (!FindSequenceHeader(data, size, &w, &h) || w <= 0 || h <= 0) return false;
    MovieHead out;
    out.alpha = (MarkerFlags(data, size) & kMovieFlagAlpha) != 0;
    out.width = w;
    out.height = out.alpha ? h / 2 : h;
    out.type = out.alpha ? 0 : kMovieTypeOpaque;
    if (out.height <= 0) return false;
    *head = out;
    return true;
}

struct MovieDecoder::Impl {
    MovieOptions options;
    MovieHead head;
    int32_t codedHeight = 0;
    int32_t bytesPerPixel = 4;
    double frameSeconds = 1.0 / 30;

    std::unique_ptr<ByteSource> source;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    int videoIndex = -1, audioIndex = -1;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;

    // Shared with the decode thread.
    std::mutex mutex;
    std::condition_variable wake;     // the decode thread: room in the queues, or stop
    std::condition_variable started;  // waiters for the first picture
    std::deque<std::unique_ptr<Picture>> ready;
    std::vector<std::unique_ptr<Picture>> spare;
    bool quit = false;
    std::atomic<bool> stopped{false};
    std::atomic<bool> isStarted{false};
    std::atomic<bool> demuxDone{false};
    std::atomic<uint64_t> decodedPictures{0};
    uint32_t startTicks = 0;

    // Sound, shared with the mixer's pull callback.
    std::mutex pcmMutex;
    std::vector<int16_t> pcm;
    size_t pcmRead = 0;
    uint32_t voiceRate = 0;
    uint16_t voiceChannels = 0;
    std::atomic<VoiceId> voice{0};
    std::atomic<uint64_t> framesTaken{0};
    std::atomic<bool> audioDead{false};
    std::atomic<bool> audioDrained{false};

    // The drawing side (the caller's thread).
    bool anyShown = false;
    std::unique_ptr<Picture> shown;  // the last picture taken, kept for DrawShown
    SwsContext* sws = nullptr;       // pictures of another size or format
    std::unique_ptr<uint8_t, AvFree> block;
    size_t blockBytes = 0;
    bool drainMarked = false;
    double drainClock = 0;
    uint32_t drainTicks = 0;

    std::thread thread;

    ~Impl() {
        Shutdown();
        sws_freeContext(sws);
    }

    bool HasAudio() const { return voice != 0 && !audioDead.load(); }

    size_t PcmFrames() {
        std::lock_guard<std::mutex> lock(pcmMutex);
        return voiceChannels ? (pcm.size() - pcmRead) / voiceChannels : 0;
    }

    bool OpenCodec(int index, AVCodecContext** out) {
        AVStream* st = format->streams[index];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        if (!codec) return false;
        AVCodecContext* c = avcodec_alloc_context3(codec);
        if (!c) return false;
        c->thread_count = 1;  // one decode thread per movie, no pool behind it
        if (avcodec_parameters_to_context(c, st->codecpar) < 0 ||
            avcodec_open2(c, codec, nullptr) < 0) {
            avcodec_free_context(&c);
            return false;
        }
        *out = c;
        return true;
    }

    bool Open(std::string* error) {
        // Damaged movies are answered with a false result, not with lines on the console.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
        auto fail = [&](const char* why) {
            if (error) *error = why;
            return false;
        };
        // The head decides the size of every picture; it is read before FFmpeg sees the file.
        const int got = source->ReadHead(20480);
        if (got <= 0 || !ParseMovieHead(source->head.data(), static_cast<size_t>(got), &head))
            return fail("no MPEG sequence header at the start of the movie");
        codedHeight = head.alpha ? head.height * 2 : head.height;
        if (head.width > kMaxCodedSide || codedHeight > kMaxCodedSide)
            return fail("movie picture too large");
        if (head.alpha) options.frameBits = 32;
        if (options.frameBits != 24) options.frameBits = 32;
        bytesPerPixel = options.frameBits / 8;

        thread = std::thread([this] { Run(); });
        return true;
    }

    // The part of the open that reads more than the head runs on the decode thread, so a slow
    // or stuck source never holds up the caller.
    bool OpenStreams() {
        format = avformat_alloc_context();
        auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
        if (!format || !ioBuffer) {
            av_free(ioBuffer);
            return false;  // out of memory
        }
        io = avio_alloc_context(ioBuffer, kIoBufferBytes, 0, source.get(), &ByteSource::Read,
                                nullptr, &ByteSource::Seek);
        if (!io) {
            av_free(ioBuffer);
            return false;  // out of memory
        }
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        format->probesize = 1 << 20;
        format->max_analyze_duration = AV_TIME_BASE;
        if (avformat_open_input(&format, nullptr, av_find_input_format("mpeg"), nullptr) < 0) {
            format = nullptr;  // freed by the failed open
            return false;      // not an MPEG program stream
        }
        if (avformat_find_stream_info(format, nullptr) < 0)
            return false;  // cannot read the movie's streams
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVCodecParameters* p = format->streams[i]->codecpar;
            if (videoIndex < 0 && p->codec_type == AVMEDIA_TYPE_VIDEO &&
                (p->codec_id == AV_CODEC_ID_MPEG1VIDEO || p->codec_id == AV_CODEC_ID_MPEG2VIDEO))
                videoIndex = static_cast<int>(i);
            if (audioIndex < 0 && p->codec_type == AVMEDIA_TYPE_AUDIO)
                audioIndex = static_cast<int>(i);
        }
        if (videoIndex < 0 || !OpenCodec(videoIndex, &video))
            return false;  // no MPEG video in the movie
        const AVRational rate = format->streams[videoIndex]->r_frame_rate;
        if (rate.num > 0 && rate.den > 0 && av_q2d(rate) >= 1 && av_q2d(rate) <= 120)
            frameSeconds = 1.0 / av_q2d(rate);
        if (audioIndex >= 0 && !OpenCodec(audioIndex, &audio)) audioIndex = -1;
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!packet || !frame) return false;  // out of memory

        if (audio && options.mixer && !quitRequested()) {
            const int ch = audio->ch_layout.nb_channels;
            const int sr = audio->sample_rate;
            if ((ch == 1 || ch == 2) && sr >= 1000 && sr <= 192000) {
                voiceChannels = static_cast<uint16_t>(ch);
                voiceRate = static_cast<uint32_t>(sr);
                PcmFormat f{voiceChannels, voiceRate, 16};
                voice = options.mixer->CreateStreamVoice(
                    f, kControlFrequency, [this](void* dest, uint32_t bytes) {
                        return Pull(static_cast<int16_t*>(dest), bytes);
                    });
                if (voice) {
                    options.mixer->SetVolume(voice, std::clamp(options.volume, kVolumeSilent, 0));
                    const uint64_t hz = uint64_t{voiceRate} *
                                        static_cast<uint64_t>(std::max(options.speed, 1)) / 1000;
                    options.mixer->SetFrequency(voice, static_cast<uint32_t>(std::clamp<uint64_t>(
                                                           hz, kFrequencyMin, kFrequencyMax)));
                }
            }
        }
        return true;
    }

    uint32_t Pull(int16_t* dest, uint32_t bytes) {
        std::lock_guard<std::mutex> lock(pcmMutex);
        const size_t want = bytes / (2u * voiceChannels) * voiceChannels;
        const size_t n = std::min(want, pcm.size() - pcmRead);
        std::memcpy(dest, pcm.data() + pcmRead, n * sizeof(int16_t));
        pcmRead += n;
        framesTaken += n / voiceChannels;
        if (pcmRead == pcm.size() && demuxDone.load()) audioDrained = true;
        if (n) wake.notify_one();
        return static_cast<uint32_t>(n * sizeof(int16_t));
    }

    void PushPcm(const AVFrame* f) {
        if (!voice || audioDead) return;
        if (f->ch_layout.nb_channels != voiceChannels ||
            static_cast<uint32_t>(f->sample_rate) != voiceRate) {
            // The sound changed its shape mid-file: the pictures go on by the game's clock.
            audioDead = true;
            return;
        }
        const auto fmt = static_cast<AVSampleFormat>(f->format);
        const int n = f->nb_samples;
        std::vector<int16_t> out(static_cast<size_t>(n) * voiceChannels);
        for (int ch = 0; ch < voiceChannels; ++ch) {
            for (int i = 0; i < n; ++i) {
                int16_t s = 0;
                switch (fmt) {
                    case AV_SAMPLE_FMT_S16:
                        s = reinterpret_cast<const int16_t*>(f->data[0])[i * voiceChannels + ch];
                        break;
                    case AV_SAMPLE_FMT_S16P:
                        s = reinterpret_cast<const int16_t*>(f->extended_data[ch])[i];
                        break;
                    case AV_SAMPLE_FMT_FLT:
                    case AV_SAMPLE_FMT_FLTP: {
                        const float v =
                            fmt == AV_SAMPLE_FMT_FLT
                                ? reinterpret_cast<const float*>(f->data[0])[i * voiceChannels + ch]
                                : reinterpret_cast<const float*>(f->extended_data[ch])[i];
                        s = static_cast<int16_t>(std::clamp(v * 32767.0f, -32768.0f, 32767.0f));
                        break;
                    }
                    default:
                        audioDead = true;
                        return;
                }
                out[static_cast<size_t>(i) * voiceChannels + ch] = s;
            }
        }
        std::lock_guard<std::mutex> lock(pcmMutex);
        if (pcmRead > 0 && pcmRead * 2 >= pcm.size()) {
            pcm.erase(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(pcmRead));
            pcmRead = 0;
        }
        pcm.insert(pcm.end(), out.begin(), out.end());
    }

    uint8_t* Block(size_t bytes) {
        if (bytes > blockBytes) {
            block.reset(static_cast<uint8_t*>(av_malloc(bytes)));
            blockBytes = block ? bytes : 0;
        }
        return block.get();
    }

    // The lower half's luma is the alpha plane, in the video range 16..235: pixels
    // [x0, x0 + w) of rows [top, top + n) of the picture, kept in `rows` from the first row's
    // pixel x0.
    void FillAlpha(const AVFrame* f, int srcH, int32_t top, int32_t n, uint8_t* rows,
                   int32_t stride, int32_t x0, int32_t w) const {
        for (int32_t y = top; y < top + n; ++y) {
            const int sy = srcH + static_cast<int>(int64_t{y} * srcH / head.height);
            if (sy >= f->height) break;
            const uint8_t* luma = f->data[0] + static_cast<ptrdiff_t>(sy) * f->linesize[0];
            uint8_t* row = rows + static_cast<ptrdiff_t>(y - top) * stride;
            for (int32_t x = 0; x < w; ++x) {
                const int v = luma[int64_t{x0 + x} * f->width / head.width];
                row[x * 4 + 3] = static_cast<uint8_t>(std::clamp((v - 16) * 255 / 219, 0, 255));
            }
        }
    }

    // Copies the rectangle (srcX, srcY, w, h) of the whole converted picture in `rows` to dest.
    void CopyOut(const uint8_t* rows, int32_t stride, uint8_t* dest, int32_t pitch, int32_t dst,
                 int32_t srcX, int32_t srcY, int32_t w, int32_t h) const {
        const int src = bytesPerPixel;
        for (int32_t y = srcY; y < srcY + h; ++y) {
            const uint8_t* s =
                rows + static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(srcX) * src;
            uint8_t* d = dest + static_cast<ptrdiff_t>(y - srcY) * pitch;
            if (src == dst) {
                std::memcpy(d, s, static_cast<size_t>(w) * src);
                continue;
            }
            for (int32_t x = 0; x < w; ++x, s += src, d += dst) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                if (dst == 4) d[3] = 0xFF;
            }
        }
    }

    // Converts the rectangle (srcX, srcY, w, h) of a decoded picture, already cut to the
    // picture, into dest. A 4:2:0 picture of the head's size is converted row by row straight
    // into the caller's rows, exactly the rectangle's pixels; any other is scaled whole with
    // libswscale into the block first and copied from there.
    bool Convert(const AVFrame* f, uint8_t* dest, int32_t pitch, int32_t dst, int32_t srcX,
                 int32_t srcY, int32_t w, int32_t h) {
        const int srcH = head.alpha ? f->height / 2 : f->height;
        if (f->width <= 0 || srcH <= 0) return false;
        const auto format = static_cast<AVPixelFormat>(f->format);
        if (format == AV_PIX_FMT_YUV420P && f->width == head.width && srcH == head.height) {
            for (int32_t y = srcY; y < srcY + h; ++y) {
                uint8_t* row = dest + static_cast<ptrdiff_t>(y - srcY) * pitch;
                YuvRowToBgr(f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0],
                            f->data[1] + static_cast<ptrdiff_t>(y / 2) * f->linesize[1],
                            f->data[2] + static_cast<ptrdiff_t>(y / 2) * f->linesize[2], srcX, w,
                            row, dst);
                if (head.alpha && dst == 4) FillAlpha(f, srcH, y, 1, row, pitch, srcX, w);
            }
            return true;
        }
        const AVPixelFormat to = bytesPerPixel == 3 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
        sws = sws_getCachedContext(sws, f->width, srcH, format, head.width, head.height, to,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
        const MoviePictureRows rows = PictureRows(head.width, head.height, bytesPerPixel);
        uint8_t* out = Block(rows.bytes);
        if (!sws || !out) return false;
        uint8_t* outData[4] = {out, nullptr, nullptr, nullptr};
        int outStride[4] = {rows.stride, 0, 0, 0};
        if (sws_scale(sws, f->data, f->linesize, 0, srcH, outData, outStride) <= 0) return false;
        if (head.alpha && format == AV_PIX_FMT_YUV420P)
            FillAlpha(f, srcH, srcY, h, out + static_cast<ptrdiff_t>(srcY) * rows.stride,
                      rows.stride, 0, head.width);
        CopyOut(out, rows.stride, dest, pitch, dst, srcX, srcY, w, h);
        return true;
    }

    // Seconds of movie time now (the drawing side's).
    double Clock() {
        if (!isStarted) return 0;
        uint32_t start;
        {
            std::lock_guard<std::mutex> lock(mutex);
            start = startTicks;
        }
        if (!HasAudio()) return TickSeconds(start);
        if (drainMarked) return drainClock + TickSeconds(drainTicks);
        uint32_t hz = voiceRate;
        options.mixer->GetFrequency(voice, &hz);
        const double latency =
            static_cast<double>(options.mixer->OutputLatency()) * hz / options.mixer->OutputRate();
        const double taken = static_cast<double>(framesTaken.load());
        const double clock = std::max(0.0, (taken - latency) / voiceRate);
        if (audioDrained) {
            // The sound has run out before the pictures: they go on by the game's clock from here.
            drainMarked = true;
            drainClock = clock;
            drainTicks = GetTickCount();
        }
        return clock;
    }

    // The newest picture that is due, or null when none newer than the last taken is; the ones
    // passed over for it go back unconverted.
    std::unique_ptr<Picture> TakeDue() {
        if (!isStarted || stopped) return nullptr;
        const double now = Clock();
        std::unique_ptr<Picture> due;
        {
            std::lock_guard<std::mutex> lock(mutex);
            while (!ready.empty()) {
                const double at = static_cast<double>(ready.front()->index) * frameSeconds;
                if (at > now && (anyShown || ready.front()->index != 0)) break;
                if (due) {
                    av_frame_unref(due->frame);
                    spare.push_back(std::move(due));
                }
                due = std::move(ready.front());
                ready.pop_front();
                anyShown = true;
            }
        }
        if (due) wake.notify_one();
        return due;
    }

    void Recycle(std::unique_ptr<Picture> p) {
        if (!p) return;
        av_frame_unref(p->frame);
        std::lock_guard<std::mutex> lock(mutex);
        spare.push_back(std::move(p));
    }

    // Converts the rectangle (srcX, srcY, w, h), cut to the picture, into dest.
    bool ConvertPart(const AVFrame* f, uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX,
                     int32_t srcY, int32_t w, int32_t h) {
        if (srcX < 0) {
            w += srcX;
            srcX = 0;
        }
        if (srcY < 0) {
            h += srcY;
            srcY = 0;
        }
        w = std::min(w, head.width - srcX);
        h = std::min(h, head.height - srcY);
        if (w <= 0 || h <= 0) return true;
        return Convert(f, dest, pitch, bits / 8, srcX, srcY, w, h);
    }

    std::unique_ptr<Picture> TakeSpare() {
        std::lock_guard<std::mutex> lock(mutex);
        if (spare.empty()) return std::make_unique<Picture>();
        auto p = std::move(spare.back());
        spare.pop_back();
        return p;
    }

    void ReceivePictures() {
        while (avcodec_receive_frame(video, frame) == 0) {
            const int srcH = head.alpha ? frame->height / 2 : frame->height;
            auto pic = TakeSpare();
            if (frame->width <= 0 || srcH <= 0 || !pic->frame) {
                av_frame_unref(frame);
                continue;
            }
            av_frame_move_ref(pic->frame, frame);
            pic->index = decodedPictures.load();
            {
                std::lock_guard<std::mutex> lock(mutex);
                ready.push_back(std::move(pic));
            }
            if (decodedPictures.fetch_add(1) == 0) Begin();
        }
    }

    void ReceiveSound() {
        while (audio && avcodec_receive_frame(audio, frame) == 0) {
            PushPcm(frame);
            av_frame_unref(frame);
        }
    }

    // The first picture is ready: the clock starts, and with it the sound.
    void Begin() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            startTicks = GetTickCount();
            isStarted = true;
        }
        started.notify_all();
        if (voice && !stopped) options.mixer->Play(voice, false);
    }

    bool ShouldSleep() {
        const size_t pictures = ready.size();
        const size_t pcmFrames = PcmFrames();
        const bool hasAudio = HasAudio();
        if (hasAudio && pcmFrames >= static_cast<size_t>(voiceRate * kPcmSeconds)) return true;
        const bool starving = hasAudio && pcmFrames < voiceRate / 4;
        return pictures >= (starving ? kHardPictures : kSoftPictures);
    }

    void Drain() {
        avcodec_send_packet(video, nullptr);
        ReceivePictures();
        if (audio) {
            avcodec_send_packet(audio, nullptr);
            ReceiveSound();
        }
    }

    bool Rewind() {
        if (avio_seek(io, 0, SEEK_SET) < 0) return false;
        avformat_flush(format);
        // Fresh decoders: the sound's header comes again in the first packet of a pass.
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (!OpenCodec(videoIndex, &video)) return false;
        if (audioIndex >= 0 && !OpenCodec(audioIndex, &audio)) audioDead = true;
        return true;
    }

    bool quitRequested() {
        std::lock_guard<std::mutex> lock(mutex);
        return quit || stopped;
    }

    void Run() {
        uint64_t picturesAtPass = 0;
        for (bool opened = OpenStreams(); opened;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [&] { return quit || stopped || !ShouldSleep(); });
                if (quit || stopped) break;
            }
            const int r = av_read_frame(format, packet);
            if (r < 0) {
                Drain();
                const bool passShowedPictures = decodedPictures.load() > picturesAtPass;
                picturesAtPass = decodedPictures.load();
                if (options.loop && passShowedPictures && Rewind()) continue;
                break;
            }
            if (packet->stream_index == videoIndex) {
                avcodec_send_packet(video, packet);
                ReceivePictures();
            } else if (packet->stream_index == audioIndex && audio && !audioDead) {
                avcodec_send_packet(audio, packet);
                ReceiveSound();
            }
            av_packet_unref(packet);
        }
        {
            std::lock_guard<std::mutex> lock(pcmMutex);
            demuxDone = true;
            if (pcmRead == pcm.size()) audioDrained = true;
        }
        started.notify_all();
    }

    void Shutdown() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
        shown.reset();
        // The voice goes before anything its pull callback reads.
        if (voice && options.mixer) options.mixer->DestroyVoice(voice);
        voice = 0;
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    // Movie seconds since `from` on the game's millisecond clock, which is the monotonic clock
    // in the game and a clock moved frame by frame when the game runs in lock step.
    double TickSeconds(uint32_t from) const {
        return static_cast<double>(GetTickCount() - from) / 1000.0 * options.speed / 1000.0;
    }
};

MovieDecoder::MovieDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MovieDecoder::~MovieDecoder() = default;

std::unique_ptr<MovieDecoder> MovieDecoder::OpenFile(const std::string& hostPath,
                                                     const MovieOptions& options,
                                                     std::string* error) {
    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->source = std::make_unique<ByteSource>();
    impl->source->file = OpenRegularStream(hostPath, "rb");
    if (!impl->source->file) {
        if (error)
            *error = "cannot open " + hostPath + (errno == EINVAL ? ": not a regular file" : "");
        return nullptr;
    }
    if (!impl->Open(error)) return nullptr;
    return std::unique_ptr<MovieDecoder>(new MovieDecoder(std::move(impl)));
}

std::unique_ptr<MovieDecoder> MovieDecoder::OpenMemory(
    std::shared_ptr<const std::vector<uint8_t>> bytes, const MovieOptions& options,
    std::string* error) {
    if (!bytes) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->source = std::make_unique<ByteSource>();
    impl->source->memory = std::move(bytes);
    if (!impl->Open(error)) return nullptr;
    return std::unique_ptr<MovieDecoder>(new MovieDecoder(std::move(impl)));
}

const MovieHead& MovieDecoder::Head() const {
    return impl_->head;
}

bool MovieDecoder::WaitStarted(std::chrono::milliseconds limit) {
    Impl& m = *impl_;
    std::unique_lock<std::mutex> lock(m.mutex);
    m.started.wait_for(
        lock, limit, [&] { return m.isStarted.load() || m.demuxDone.load() || m.stopped.load(); });
    return m.isStarted;
}

bool MovieDecoder::Started() const {
    return impl_->isStarted;
}
bool MovieDecoder::Stopped() const {
    return impl_->stopped;
}
bool MovieDecoder::Playing() const {
    return Started() && !Stopped() && !Ended();
}

bool MovieDecoder::Ended() const {
    Impl& m = *impl_;
    if (!m.demuxDone) return false;
    std::lock_guard<std::mutex> lock(m.mutex);
    return m.ready.empty() && (!m.HasAudio() || m.audioDrained);
}

void MovieDecoder::Stop() {
    Impl& m = *impl_;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        m.stopped = true;
    }
    m.wake.notify_all();
    m.started.notify_all();
    if (m.voice && m.options.mixer) m.options.mixer->Stop(m.voice);
}

void MovieDecoder::Close() {
    impl_->Shutdown();
}

double MovieDecoder::Clock() {
    return impl_->Clock();
}

bool MovieDecoder::Draw(uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX, int32_t srcY,
                        int32_t w, int32_t h) {
    Impl& m = *impl_;
    if (!dest || (bits != 24 && bits != 32)) return false;
    std::unique_ptr<Picture> due = m.TakeDue();
    if (!due) return false;
    m.ConvertPart(due->frame, dest, pitch, bits, srcX, srcY, w, h);
    // The decoder's buffer goes back before the next picture is drawn.
    m.Recycle(std::move(due));
    return true;
}

bool MovieDecoder::Take() {
    Impl& m = *impl_;
    std::unique_ptr<Picture> due = m.TakeDue();
    if (!due) return false;
    m.Recycle(std::move(m.shown));
    m.shown = std::move(due);
    return true;
}

bool MovieDecoder::DrawShown(uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX, int32_t srcY,
                             int32_t w, int32_t h) {
    Impl& m = *impl_;
    if (!dest || (bits != 24 && bits != 32) || !m.shown) return false;
    return m.ConvertPart(m.shown->frame, dest, pitch, bits, srcX, srcY, w, h);
}

uint32_t MovieDecoder::Voice() const {
    return impl_->voice;
}
uint64_t MovieDecoder::PicturesDecoded() const {
    return impl_->decodedPictures;
}

bool MovieDecoder::DecodedAhead(double ahead) {
    Impl& m = *impl_;
    if (m.demuxDone || m.stopped) return true;
    if (!m.isStarted) return false;
    std::lock_guard<std::mutex> lock(m.mutex);
    if (m.ready.size() >= kSoftPictures) return true;
    const auto pictureDue = [&](double now) {
        return static_cast<double>(m.decodedPictures.load()) > (now + ahead) / m.frameSeconds;
    };
    if (!m.HasAudio()) return pictureDue(m.TickSeconds(m.startTicks));
    if (m.audioDrained) return !m.ready.empty();
    // The mixer's next pull must find its sound too, or the movie's clock stalls.
    return pictureDue(static_cast<double>(m.framesTaken.load()) / m.voiceRate) &&
           static_cast<double>(m.PcmFrames()) >= ahead * m.voiceRate;
}

}  // namespace plat
