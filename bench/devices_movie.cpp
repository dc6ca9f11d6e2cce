// Movies at 1280x720: decode plus conversion per picture beside libavcodec's own decode loop
// of the same file (goal: at most 1.3 times), the draw's copy of a picture beside memcpy of
// one (goal: at most 1.5 times), and the CPU one second of playing takes, drawing every
// picture into a screen-size bitmap, beside the plain decode of that second (goal: at most
// 1.5 times); a stopped movie should take none.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "devices/crisofdec.h"
#include "media/zradx.h"
#include "platform/moviedecode.h"
#include "platform/moviewrite.h"
#include "widgets/nyrgbbits.h"

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

// libavcodec's own loop: demux and decode every picture of the file, nothing more.
int PlainDecode(const std::vector<uint8_t>& bytes) {
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

void BM_PlainDecode720p(benchmark::State& state) {
    int pictures = 0;
    for (auto _ : state) pictures += PlainDecode(*Movie());
    state.SetItemsProcessed(pictures);
}
BENCHMARK(BM_PlainDecode720p)->Unit(benchmark::kMillisecond);

std::unique_ptr<plat::MovieDecoder> OpenFast() {
    plat::MovieOptions o;
    o.speed = 1000000;  // every picture due at once
    return plat::MovieDecoder::OpenMemory(Movie(), o, nullptr);
}

// Timed by the CPU of the whole process (the work is on the decode thread), like the peer,
// which runs on one thread. The pictures are taken without being copied anywhere.
void BM_DecodeAndConvert720p(benchmark::State& state) {
    std::vector<uint8_t> rows(size_t{kW} * kH * 4);
    uint64_t pictures = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        auto m = OpenFast();
        while (!m->Ended()) {
            m->Draw(rows.data(), kW * 4, 32, 0, 0, 0, 0);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        pictures += m->PicturesDecoded();
        m.reset();
        state.SetIterationTime(CpuSeconds() - c0);
    }
    state.SetItemsProcessed(static_cast<int64_t>(pictures));
}
BENCHMARK(BM_DecodeAndConvert720p)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_DrawCopy720p(benchmark::State& state) {
    std::vector<uint8_t> rows(size_t{kW} * kH * 4);
    auto m = OpenFast();
    for (auto _ : state) {
        for (;;) {
            if (m->Ended()) m = OpenFast();
            const auto t0 = std::chrono::steady_clock::now();
            const bool drawn = m->Draw(rows.data(), kW * 4, 32, 0, 0, kW, kH);
            const auto t1 = std::chrono::steady_clock::now();
            if (drawn) {
                state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
                break;
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_DrawCopy720p)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_MemcpyOf720pPicture(benchmark::State& state) {
    std::vector<uint8_t> a(size_t{kW} * kH * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_MemcpyOf720pPicture)->Unit(benchmark::kMicrosecond);

// The same copy from pictures that are not in the cache, as a freshly decoded one is not.
void BM_MemcpyOfColdPicture(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> pictures(8, std::vector<uint8_t>(size_t{kW} * kH * 4, 1));
    std::vector<uint8_t> b(pictures[0].size());
    size_t i = 0;
    for (auto _ : state) {
        std::memcpy(b.data(), pictures[i++ % pictures.size()].data(), b.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.size()));
}
BENCHMARK(BM_MemcpyOfColdPicture)->Unit(benchmark::kMicrosecond);

// Plays one second of the movie through the glue as the movie scene does: 30 ticks, each
// drawing the due picture into a screen-size bitmap. Reports CPU seconds per movie second.
void PlayOneSecond(benchmark::State& state, bool stopped) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zrbench_movie";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "m.sfd", std::ios::binary)
        .write(reinterpret_cast<const char*>(Movie()->data()),
               static_cast<std::streamsize>(Movie()->size()));
    CriMwSystemInitAt(dir.string(), nullptr, bd32);
    TNyRGBBits screen(nullptr);
    screen.SetBitDepth(bd32);
    screen.SetWidth(kW);
    screen.SetHeight(kH);
    screen.Create();
    double cpu = 0;
    for (auto _ : state) {
        CriMovie m;
        m.Open(nullptr, true, "m.sfd");
        if (stopped) {
            m.Stop();
            // Let the decode thread finish the picture it was on.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const double c0 = CpuSeconds();
        auto next = std::chrono::steady_clock::now();
        for (int tick = 0; tick < 30; ++tick) {
            m.DrawTo(&screen, 0, 0);
            next += std::chrono::microseconds(33333);
            std::this_thread::sleep_until(next);
        }
        cpu += CpuSeconds() - c0;
    }
    state.counters["cpu_per_movie_s"] = cpu / static_cast<double>(state.iterations());
    CriMwSystemFinish();
    std::filesystem::remove_all(dir);
}

void BM_PlayOneSecondCpu(benchmark::State& state) {
    PlayOneSecond(state, false);
}
BENCHMARK(BM_PlayOneSecondCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_StoppedMovieOneSecondCpu(benchmark::State& state) {
    PlayOneSecond(state, true);
}
BENCHMARK(BM_StoppedMovieOneSecondCpu)->Iterations(2)->Unit(benchmark::kMillisecond);

// The peer: the CPU of the plain decode of one second (30 pictures) of the same movie.
void BM_PlainDecodeOneSecondCpu(benchmark::State& state) {
    double cpu = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        PlainDecode(*Movie());
        cpu += (CpuSeconds() - c0) * 30 / kFrames;
    }
    state.counters["cpu_per_movie_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlainDecodeOneSecondCpu)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
