// The 1280x720 movie the movie benchmarks play, libavcodec's plain decode loop as their peer,
// and the process's CPU clock.
#pragma once
#include <time.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/moviewrite.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

constexpr int kW = 1280, kH = 720, kFrames = 60;

const std::shared_ptr<const std::vector<uint8_t>>& Movie() {
    static const auto bytes = [] {
        plat::MovieWriteOptions o;
        o.width = kW;
        o.height = kH;
        o.frames = kFrames;
        o.bitRate = 6000000;
        auto v = plat::WriteMovie(
            o,
            [](int32_t i, uint8_t* bgra, int32_t pitch) {
                for (int y = 0; y < kH; ++y)
                    for (int x = 0; x < kW; ++x) {
                        uint8_t* p = bgra + y * pitch + x * 4;
                        p[0] = static_cast<uint8_t>(x + i * 4);
                        p[1] = static_cast<uint8_t>(y);
                        p[2] = static_cast<uint8_t>((x ^ y) + i);
                    }
                plat::PaintFrameBars(bgra, pitch, kW, kH, static_cast<uint32_t>(i));
            },
            nullptr);
        return std::make_shared<const std::vector<uint8_t>>(std::move(v));
    }();
    return bytes;
}

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    int64_t pos = 0;
    static int Read(void* o, uint8_t* buf, int size) {
        auto* r = static_cast<MemoryReader*>(o);
        const int64_t left = static_cast<int64_t>(r->bytes->size()) - r->pos;
        if (left <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<int64_t>(left, size));
        std::memcpy(buf, r->bytes->data() + r->pos, static_cast<size_t>(n));
        r->pos += n;
        return n;
    }
};

// libavcodec's own loop: demux and decode every picture of the file, nothing more, or with
// `each` called on every picture as it comes out.
int PlainDecode(const std::vector<uint8_t>& bytes,
                const std::function<void(const AVFrame*)>& each = {}) {
    MemoryReader reader{&bytes};
    AVFormatContext* fmt = avformat_alloc_context();
    auto* buffer = static_cast<uint8_t*>(av_malloc(32768));
    fmt->pb = avio_alloc_context(buffer, 32768, 0, &reader, &MemoryReader::Read, nullptr, nullptr);
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVIOContext* io = fmt->pb;
    avformat_open_input(&fmt, nullptr, av_find_input_format("mpeg"), nullptr);
    avformat_find_stream_info(fmt, nullptr);
    const int vi = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[vi]->codecpar->codec_id);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(c, fmt->streams[vi]->codecpar);
    c->thread_count = 1;
    avcodec_open2(c, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int pictures = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(c, frame) == 0) {
            ++pictures;
            if (each) each(frame);
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == vi) {
            avcodec_send_packet(c, pkt);
            drain();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(c, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    avformat_close_input(&fmt);
    av_freep(&io->buffer);
    avio_context_free(&io);
    return pictures;
}

}  // namespace
