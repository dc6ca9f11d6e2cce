#include "platform/moviewrite.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace plat {

namespace {

constexpr uint8_t kMarkerBytes[6] = {0x53, 0x6F, 0x66, 0x64, 0x65, 0x63};
constexpr uint8_t kTagBytes[4] = {'Z', 'R', 'M', 'V'};
constexpr size_t kMaxPayload = 2016;
constexpr int64_t kTicks = 90000;

struct Muxer {
    std::vector<uint8_t> out;

    void Put(uint8_t b) { out.push_back(b); }
    void Put16(uint32_t v) {
        Put(static_cast<uint8_t>(v >> 8));
        Put(static_cast<uint8_t>(v));
    }
    void StartCode(uint8_t id) {
        Put(0);
        Put(0);
        Put(1);
        Put(id);
    }
    void Stamp(uint8_t prefix, int64_t t) {
        Put(static_cast<uint8_t>(prefix | ((t >> 29) & 0x0E) | 1));
        Put(static_cast<uint8_t>(t >> 22));
        Put(static_cast<uint8_t>(((t >> 14) & 0xFE) | 1));
        Put(static_cast<uint8_t>(t >> 7));
        Put(static_cast<uint8_t>(((t << 1) & 0xFE) | 1));
    }
    void Pack(int64_t scr) {
        StartCode(0xBA);
        Stamp(0x20, scr);
        const uint32_t muxRate = 25000;  // in 50-byte units: 10 Mbit/s
        Put(static_cast<uint8_t>(0x80 | (muxRate >> 15)));
        Put(static_cast<uint8_t>(muxRate >> 7));
        Put(static_cast<uint8_t>((muxRate << 1) | 1));
    }
    void SystemHeader(bool audio) {
        StartCode(0xBB);
        Put16(audio ? 12 : 9);
        const uint32_t rateBound = 25000;
        Put(static_cast<uint8_t>(0x80 | (rateBound >> 15)));
        Put(static_cast<uint8_t>(rateBound >> 7));
        Put(static_cast<uint8_t>((rateBound << 1) | 1));
        Put(static_cast<uint8_t>((audio ? 1 : 0) << 2));
        Put(0xE1);
        Put(0xFF);
        Put(0xE0);  // video: 232 KiB buffer
        Put(0xE0);
        Put(0xE8);
        if (audio) {
            Put(0xC0);  // audio: 4 KiB buffer
            Put(0xC0);
            Put(0x20);
        }
    }
    void Pes(uint8_t id, const uint8_t* data, size_t size, int64_t pts) {
        StartCode(id);
        Put16(static_cast<uint32_t>(size + (pts >= 0 ? 5 : 1)));
        if (pts >= 0)
            Stamp(0x20, pts);
        else
            Put(0x0F);
        out.insert(out.end(), data, data + size);
    }
};

struct Encoded {
    std::vector<uint8_t> bytes;
    int64_t index = 0;
};

bool EncodeVideo(const MovieWriteOptions& o, const MoviePainter& paint,
                 std::vector<Encoded>* pictures, std::string* error) {
    const int codedH = o.alpha ? o.height * 2 : o.height;
    const AVCodec* codec =
        avcodec_find_encoder(o.chroma422 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!c) {
        if (error) *error = "no MPEG video encoder";
        return false;
    }
    c->width = o.width;
    c->height = codedH;
    c->time_base = AVRational{1, o.fps};
    c->framerate = AVRational{o.fps, 1};
    c->pix_fmt = o.chroma422 ? AV_PIX_FMT_YUV422P : AV_PIX_FMT_YUV420P;
    c->bit_rate = o.bitRate;
    c->gop_size = 15;
    c->max_b_frames = 0;
    c->thread_count = 1;
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    SwsContext* sws = nullptr;
    bool ok = avcodec_open2(c, codec, nullptr) >= 0 && frame && pkt;
    if (ok) {
        frame->format = c->pix_fmt;
        frame->width = c->width;
        frame->height = c->height;
        ok = av_frame_get_buffer(frame, 0) >= 0;
        sws = sws_getContext(o.width, codedH, AV_PIX_FMT_BGRA, o.width, codedH, c->pix_fmt,
                             SWS_BILINEAR, nullptr, nullptr, nullptr);
        ok = ok && sws;
    }
    const int pitch = o.width * 4;
    // libswscale's vector loads read past the last pixel: the tail keeps them inside the block.
    std::vector<uint8_t> bgra(static_cast<size_t>(pitch) * codedH + 64);
    auto drain = [&] {
        while (avcodec_receive_packet(c, pkt) == 0) {
            pictures->push_back({std::vector<uint8_t>(pkt->data, pkt->data + pkt->size), pkt->pts});
            av_packet_unref(pkt);
        }
    };
    for (int32_t i = 0; ok && i < o.frames; ++i) {
        std::fill(bgra.begin(), bgra.end(), 0);
        paint(i, bgra.data(), pitch);
        if (o.alpha) {
            // The alpha plane goes below the picture as grey.
            for (int y = 0; y < o.height; ++y) {
                const uint8_t* src = bgra.data() + static_cast<size_t>(y) * pitch;
                uint8_t* dst = bgra.data() + static_cast<size_t>(y + o.height) * pitch;
                for (int x = 0; x < o.width; ++x) {
                    const uint8_t a = src[x * 4 + 3];
                    dst[x * 4] = dst[x * 4 + 1] = dst[x * 4 + 2] = a;
                    dst[x * 4 + 3] = 0xFF;
                }
            }
        }
        ok = av_frame_make_writable(frame) >= 0;
        const uint8_t* src[4] = {bgra.data(), nullptr, nullptr, nullptr};
        const int srcStride[4] = {pitch, 0, 0, 0};
        sws_scale(sws, src, srcStride, 0, codedH, frame->data, frame->linesize);
        frame->pts = i;
        ok = ok && avcodec_send_frame(c, frame) >= 0;
        drain();
    }
    if (ok) {
        avcodec_send_frame(c, nullptr);
        drain();
    }
    if (!ok && error) *error = "the MPEG video encoder refused the pictures";
    sws_freeContext(sws);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    return ok;
}

}  // namespace

std::vector<uint8_t> WriteMovie(const MovieWriteOptions& o, const MoviePainter& paint,
                                std::string* error) {
    if (o.width <= 0 || o.height <= 0 || o.fps <= 0 || o.frames <= 0 || !paint) {
        if (error) *error = "bad movie options";
        return {};
    }
    std::vector<Encoded> pictures;
    if (!EncodeVideo(o, paint, &pictures, error)) return {};

    const bool audio = !o.adx.empty() && o.adxRate > 0 &&
                       (o.adxChannels == 1 || o.adxChannels == 2) && o.adx.size() >= 4;
    // ADX goes out in whole block groups, the header with the first of them.
    const size_t group = 18 * static_cast<size_t>(o.adxChannels ? o.adxChannels : 1);
    const size_t adxStart =
        audio ? std::min<size_t>(o.adx.size(), (static_cast<size_t>(o.adx[2]) << 8 | o.adx[3]) + 4)
              : 0;
    size_t adxPos = 0;
    int64_t adxSamples = 0;

    Muxer m;
    m.Pack(0);
    m.SystemHeader(audio);
    if (o.marker) {
        std::vector<uint8_t> marker(kMarkerBytes, kMarkerBytes + sizeof kMarkerBytes);
        marker.insert(marker.end(), kTagBytes, kTagBytes + sizeof kTagBytes);
        marker.push_back(o.alpha ? 1 : 0);
        marker.resize(32, 0);
        m.StartCode(0xBF);
        m.Put16(static_cast<uint32_t>(marker.size()));
        m.out.insert(m.out.end(), marker.begin(), marker.end());
    }
    auto sendAudioUntil = [&](int64_t ticks) {
        while (audio && adxPos < o.adx.size() && adxSamples * kTicks / o.adxRate <= ticks) {
            const size_t head = adxPos == 0 ? adxStart : 0;
            const size_t groups = (kMaxPayload - head) / group;
            const size_t n = std::min(o.adx.size() - adxPos, head + groups * group);
            m.Pack(adxSamples * kTicks / o.adxRate);
            m.Pes(0xC0, o.adx.data() + adxPos, n, adxSamples * kTicks / o.adxRate);
            adxSamples += static_cast<int64_t>((n - head) / group * 32);
            adxPos += n;
        }
    };
    for (const Encoded& p : pictures) {
        const int64_t t = p.index * kTicks / o.fps;
        sendAudioUntil(t + kTicks / 5);
        for (size_t at = 0; at < p.bytes.size(); at += kMaxPayload) {
            m.Pack(t);
            m.Pes(0xE0, p.bytes.data() + at, std::min(kMaxPayload, p.bytes.size() - at),
                  at == 0 ? t + kTicks / 10 : -1);
        }
    }
    sendAudioUntil(INT64_MAX / 2);
    m.StartCode(0xB9);
    return std::move(m.out);
}

void PaintFrameBars(uint8_t* bgra, int32_t pitch, int32_t width, int32_t height, uint32_t number) {
    static const uint8_t kHues[kFrameBarBits][3] = {
        {255, 64, 64},  {64, 255, 64},  {64, 64, 255},  {255, 255, 64}, {255, 64, 255},
        {64, 255, 255}, {255, 160, 64}, {160, 255, 64}, {64, 160, 255}, {255, 255, 255}};
    const int32_t barW = width / kFrameBarBits;
    for (int32_t y = height / 3; y < height * 2 / 3; ++y) {
        uint8_t* row = bgra + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t x = 0; x < barW * kFrameBarBits; ++x) {
            const int bit = x / barW;
            const bool on = (number >> bit) & 1;
            const uint8_t* hue = kHues[bit];
            row[x * 4 + 0] = on ? hue[2] : 16;
            row[x * 4 + 1] = on ? hue[1] : 16;
            row[x * 4 + 2] = on ? hue[0] : 16;
            row[x * 4 + 3] = 0xFF;
        }
    }
}

uint32_t ReadFrameBars(const uint8_t* pixels, int32_t pitch, int32_t bits, int32_t width,
                       int32_t height) {
    const int32_t barW = width / kFrameBarBits;
    const int bpp = bits / 8;
    const uint8_t* row = pixels + static_cast<ptrdiff_t>(height / 2) * pitch;
    uint32_t number = 0;
    for (int bit = 0; bit < kFrameBarBits; ++bit) {
        const uint8_t* p = row + static_cast<ptrdiff_t>(bit * barW + barW / 2) * bpp;
        if (p[0] + p[1] + p[2] > 3 * 100) number |= 1u << bit;
    }
    return number;
}

}  // namespace plat
