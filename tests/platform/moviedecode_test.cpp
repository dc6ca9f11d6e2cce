#include "platform/moviedecode.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pattern_movie.h"
#include "platform/moviewrite.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {

// The decode thread converts every picture with libswscale into a block laid out by
// PictureRows. Whatever the width, the conversion must stay inside that block: bytes placed
// after it (where the next heap block would begin) must come through untouched. The source
// sizes cover a plain conversion and the scaling a picture of another size gets.
TEST(MoviePictureRows, ConversionStaysInsideTheBlockForEveryWidth) {
    constexpr size_t kGuard = 256;
    constexpr uint8_t kFill = 0xA5;
    for (const int bpp : {3, 4}) {
        const AVPixelFormat dst = bpp == 3 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
        std::vector<int> widths;
        for (int w = 1; w <= 80; ++w) widths.push_back(w);
        widths.insert(widths.end(), {999, 1000, 1001, 1280});
        for (const int width : widths) {
            for (const int srcScale : {1, 2}) {
                const int height = 6;
                AVFrame* src = av_frame_alloc();
                ASSERT_NE(src, nullptr);
                src->format = AV_PIX_FMT_YUV420P;
                src->width = width * srcScale + (srcScale - 1);
                src->height = height * srcScale;
                ASSERT_GE(av_frame_get_buffer(src, 0), 0);
                for (int p = 0; p < 3; ++p) {
                    const int rows = p == 0 ? src->height : (src->height + 1) / 2;
                    for (int y = 0; y < rows; ++y)
                        for (int x = 0; x < src->linesize[p]; ++x)
                            src->data[p][y * src->linesize[p] + x] =
                                static_cast<uint8_t>(x * 7 + y);
                }
                SwsContext* sws =
                    sws_getContext(src->width, src->height, AV_PIX_FMT_YUV420P, width, height, dst,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
                ASSERT_NE(sws, nullptr);

                const plat::MoviePictureRows rows = plat::PictureRows(width, height, bpp);
                ASSERT_GE(rows.stride, width * bpp);
                ASSERT_GE(rows.bytes, static_cast<size_t>(rows.stride) * height);
                std::vector<uint8_t> block(rows.bytes + kGuard, kFill);
                uint8_t* out[4] = {block.data(), nullptr, nullptr, nullptr};
                int outStride[4] = {rows.stride, 0, 0, 0};
                EXPECT_EQ(sws_scale(sws, src->data, src->linesize, 0, src->height, out, outStride),
                          height);
                size_t touched = 0;
                for (size_t i = rows.bytes; i < block.size(); ++i)
                    if (block[i] != kFill) touched = i - rows.bytes + 1;
                EXPECT_EQ(touched, 0u) << "width " << width << ", " << bpp * 8
                                       << "-bit rows, source " << src->width << "x" << src->height;
                sws_freeContext(sws);
                av_frame_free(&src);
            }
        }
    }
}

// The first picture of a movie as libavcodec's own loop decodes it.
AVFrame* FirstPicture(const std::vector<uint8_t>& bytes) {
    // Named for the process: tests of this binary run side by side under CTest.
    const std::string path =
        testing::TempDir() + "first_picture_" + std::to_string(getpid()) + ".sfd";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    AVFormatContext* fmt = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    AVCodecContext* c = nullptr;
    bool got = false;
    if (avformat_open_input(&fmt, path.c_str(), av_find_input_format("mpeg"), nullptr) == 0 &&
        avformat_find_stream_info(fmt, nullptr) >= 0) {
        const int vi = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodec* codec = avcodec_find_decoder(fmt->streams[vi]->codecpar->codec_id);
        c = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(c, fmt->streams[vi]->codecpar);
        avcodec_open2(c, codec, nullptr);
        while (!got && av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == vi) {
                avcodec_send_packet(c, pkt);
                got = avcodec_receive_frame(c, frame) == 0;
            }
            av_packet_unref(pkt);
        }
        if (!got) {
            avcodec_send_packet(c, nullptr);
            got = avcodec_receive_frame(c, frame) == 0;
        }
    }
    avcodec_free_context(&c);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    std::remove(path.c_str());
    if (!got) av_frame_free(&frame);
    return frame;
}

// Standard-definition video's colours: luma weights 0.299 (red) and 0.114 (blue), luma over
// 16..235 and chroma over 16..240 about 128; a colour rounded to the nearest byte.
struct Bgr {
    int b, g, r;
};
Bgr VideoColour(int y, int u, int v) {
    constexpr double kr = 0.299, kb = 0.114, kg = 1 - kr - kb;
    const double luma = (y - 16) * 255.0 / 219, cb = (u - 128) * 255.0 / 224,
                 cr = (v - 128) * 255.0 / 224;
    const auto byte = [](double c) {
        return static_cast<int>(std::clamp(std::lround(c), 0L, 255L));
    };
    return {byte(luma + 2 * (1 - kb) * cb),
            byte(luma - 2 * (1 - kb) * kb / kg * cb - 2 * (1 - kr) * kr / kg * cr),
            byte(luma + 2 * (1 - kr) * cr)};
}

// Both step widths a row can go in: 32 pixels a step where the processor has it, 16 otherwise.
class YuvRows : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override { plat::UseWideYuvSteps(GetParam()); }
    void TearDown() override { plat::UseWideYuvSteps(true); }
};
INSTANTIATE_TEST_SUITE_P(Steps, YuvRows, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) {
                             return std::string(i.param ? "Wide" : "Narrow");
                         });

// Every luma, blue-difference and red-difference value there is, through every path a row
// takes (one pixel, runs of vectors, the tail): within one step of the exact colour, four-byte
// pixels opaque.
TEST_P(YuvRows, EveryColourIsWithinOneStepOfTheMatrix) {
    std::vector<uint8_t> luma(256), cb(128), cr(128), out(256 * 4);
    for (int i = 0; i < 256; ++i) luma[i] = static_cast<uint8_t>((i * 167) & 255);
    int worst = 0, notOpaque = 0;
    for (int u = 0; u < 256; ++u)
        for (int v = 0; v < 256; ++v) {
            std::fill(cb.begin(), cb.end(), static_cast<uint8_t>(u));
            std::fill(cr.begin(), cr.end(), static_cast<uint8_t>(v));
            // 1 + 207 + 31 + 17: one odd pixel alone, then runs of each width, then single ones.
            for (const auto& [x, w] : {std::pair{1, 207}, std::pair{0, 1}, std::pair{208, 48}}) {
                plat::YuvRowToBgr(luma.data(), cb.data(), cr.data(), x, w, out.data() + x * 4, 4);
            }
            for (int i = 0; i < 256; ++i) {
                const Bgr want = VideoColour(luma[i], u, v);
                const uint8_t* px = &out[i * 4];
                worst = std::max({worst, std::abs(px[0] - want.b), std::abs(px[1] - want.g),
                                  std::abs(px[2] - want.r)});
                notOpaque += px[3] != 0xFF;
            }
        }
    EXPECT_LE(worst, 1);
    EXPECT_EQ(notOpaque, 0);
}

// A row from any pixel, of any width, into three- or four-byte pixels at any address: each
// pixel takes its own luma and the chroma of its pair (pixels 2k and 2k + 1), and not a byte
// before or after the row's pixels is written.
TEST_P(YuvRows, EachPixelTakesItsPairsChromaAndNothingElseIsWritten) {
    constexpr int kWidth = 1283;  // the chroma rows are 642 wide
    constexpr uint8_t kFill = 0xA5;
    std::vector<uint8_t> luma(kWidth), cb((kWidth + 1) / 2), cr((kWidth + 1) / 2);
    uint32_t seed = 12345;
    const auto next = [&] {
        return static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 23);
    };
    for (auto* plane : {&luma, &cb, &cr})
        for (uint8_t& b : *plane) b = next();
    struct Run {
        int x, w;
    };
    const Run runs[] = {{0, kWidth}, {1, kWidth - 1}, {0, 1},  {kWidth - 1, 1}, {3, 16}, {2, 31},
                        {5, 33},     {6, 64},         {7, 97}, {640, 643},      {1, 2},  {2, 1}};
    for (const int bpp : {3, 4})
        for (const Run& run : runs)
            for (const int shift : {0, 1}) {
                SCOPED_TRACE(testing::Message() << bpp << " bytes, pixels " << run.x << "+" << run.w
                                                << ", out shifted " << shift);
                constexpr int kGuard = 64;
                std::vector<uint8_t> out(kGuard * 2 + shift + run.w * bpp, kFill);
                plat::YuvRowToBgr(luma.data(), cb.data(), cr.data(), run.x, run.w,
                                  out.data() + kGuard + shift, bpp);
                int wrong = 0, outside = 0;
                for (size_t i = 0; i < out.size(); ++i) {
                    const int at = static_cast<int>(i) - kGuard - shift;
                    if (at < 0 || at >= run.w * bpp) {
                        outside += out[i] != kFill;
                        continue;
                    }
                    const int x = run.x + at / bpp, channel = at % bpp;
                    const Bgr c = VideoColour(luma[x], cb[x / 2], cr[x / 2]);
                    const int want = channel == 0   ? c.b
                                     : channel == 1 ? c.g
                                     : channel == 2 ? c.r
                                                    : 255;
                    wrong += std::abs(out[i] - want) > (channel == 3 ? 0 : 1);
                }
                EXPECT_EQ(wrong, 0);
                EXPECT_EQ(outside, 0);
            }
}

// What a drawn picture must look like, four bytes a pixel: each pixel by the colour matrix from
// its luma and its 2x2 block's chroma, and for an alpha movie the lower half's luma over the
// video range as its alpha.
std::vector<Bgr> ExpectedColours(const AVFrame* f, int width, int height) {
    std::vector<Bgr> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(VideoColour(f->data[0][y * f->linesize[0] + x],
                                      f->data[1][y / 2 * f->linesize[1] + x / 2],
                                      f->data[2][y / 2 * f->linesize[2] + x / 2]));
    return out;
}

// A drawn picture is converted straight from the decoder's picture into the caller's rows:
// in 24- and 32-bit rows, opaque and with alpha, for sizes that fill no whole vector or have an
// odd height, rectangles that start and end anywhere, and destinations at any alignment.
// Nothing outside the rectangle is written.
TEST(MovieDraw, RectanglesMatchTheColourMatrixWithNothingWrittenOutside) {
    struct Case {
        int width, height;
        bool alpha;
        int movieBits, destBits;
        int x, y, w, h;
        int margin = 4;  // pixels around the rectangle in the destination
    };
    const Case cases[] = {
        {160, 96, false, 32, 32, 0, 0, 160, 96},
        {70, 38, false, 32, 32, 0, 0, 70, 38},
        {70, 38, false, 24, 24, 3, 5, 60, 30},
        {70, 38, false, 32, 24, 1, 15, 69, 2},
        {70, 38, false, 24, 32, 0, 17, 70, 21},
        {66, 50, true, 32, 32, 0, 0, 66, 50},
        {66, 50, true, 32, 32, 9, 31, 40, 19},
        {48, 45, false, 32, 32, 0, 30, 48, 15},
        // Whole rows of a width every vector divides, into aligned rows and not.
        {128, 48, false, 32, 32, 0, 0, 128, 48, 16},
        {128, 40, false, 24, 24, 0, 0, 128, 40, 16},
        {128, 48, false, 32, 32, 0, 10, 128, 30, 16},
        {128, 48, false, 32, 32, 0, 0, 128, 48},
    };
    constexpr uint8_t kFill = 0xA5;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << (c.alpha ? " alpha" : "") << " "
                     << c.movieBits << "->" << c.destBits << " at " << c.x << "," << c.y);
        const auto bytes = std::make_shared<const std::vector<uint8_t>>(
            PatternMovie(c.width, c.height, c.alpha));
        ASSERT_FALSE(bytes->empty());
        AVFrame* first = FirstPicture(*bytes);
        ASSERT_NE(first, nullptr);
        const int dstBpp = c.destBits / 8;
        const std::vector<Bgr> colours = ExpectedColours(first, c.width, c.height);
        std::vector<int> alphas(colours.size(), 0xFF);
        if (c.alpha)
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    alphas[y * c.width + x] = std::clamp(
                        (first->data[0][(c.height + y) * first->linesize[0] + x] - 16) * 255 / 219,
                        0, 255);
        av_frame_free(&first);

        plat::MovieOptions mo;
        mo.frameBits = c.movieBits;
        mo.speed = 1;  // the second picture falls due only after half a minute
        auto movie = plat::MovieDecoder::OpenMemory(bytes, mo, nullptr);
        ASSERT_NE(movie, nullptr);
        ASSERT_TRUE(movie->WaitStarted(std::chrono::seconds(5)));
        // The destination is wider and taller than the rectangle, with a margin on every side.
        const int m = c.margin;
        const int pitch = (c.width + 2 * m) * dstBpp;
        std::vector<uint8_t> dest(static_cast<size_t>(pitch) * (c.height + 2 * m), kFill);
        uint8_t* at = dest.data() + m * pitch + m * dstBpp;
        ASSERT_TRUE(movie->Draw(at, pitch, c.destBits, c.x, c.y, c.w, c.h));
        int wrong = 0, outside = 0;
        for (int y = 0; y < c.height + 2 * m; ++y)
            for (int x = 0; x < (c.width + 2 * m) * dstBpp; ++x) {
                const int px = x / dstBpp - m, py = y - m;
                const uint8_t got = dest[static_cast<size_t>(y) * pitch + x];
                if (px < 0 || py < 0 || px >= c.w || py >= c.h) {
                    outside += got != kFill;
                    continue;
                }
                const int channel = x % dstBpp, at = (c.y + py) * c.width + c.x + px;
                const Bgr& colour = colours[at];
                const int want = channel == 0   ? colour.b
                                 : channel == 1 ? colour.g
                                 : channel == 2 ? colour.r
                                                : alphas[at];
                wrong += std::abs(got - want) > (channel == 3 ? 0 : 1);
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(outside, 0);
        movie->Close();
    }
}

// Pictures our own kernel does not take (here 4:2:2 chroma) go through libswscale into the
// decoder's block, even at the movie's size. Its vector stores reach past the last pixel of a
// row when the width is 8 to 15 pixels past a multiple of 16: the block must hold them (the
// Release build's heap checks and valgrind see what libswscale writes; the sanitizers do not).
TEST(MovieConvert, FullHeightChromaPicturesConvertInsideTheirBlock) {
    struct Case {
        int width, height, bits;
    };
    constexpr uint8_t kFill = 0xA5;
    constexpr int kMargin = 4;
    for (const Case c :
         {Case{1001, 96, 32}, Case{1001, 96, 24}, Case{2, 96, 32}, Case{2, 96, 24}}) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.bits);
        const auto bytes = std::make_shared<const std::vector<uint8_t>>(
            PatternMovie(c.width, c.height, false, true));
        ASSERT_FALSE(bytes->empty());
        AVFrame* first = FirstPicture(*bytes);
        ASSERT_NE(first, nullptr);
        const int format = first->format;
        if (format != AV_PIX_FMT_YUV422P) av_frame_free(&first);
        ASSERT_EQ(format, AV_PIX_FMT_YUV422P);
        std::vector<Bgr> colours;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                colours.push_back(VideoColour(first->data[0][y * first->linesize[0] + x],
                                              first->data[1][y * first->linesize[1] + x / 2],
                                              first->data[2][y * first->linesize[2] + x / 2]));
        av_frame_free(&first);

        plat::MovieOptions mo;
        mo.frameBits = c.bits;
        mo.speed = 1;
        auto movie = plat::MovieDecoder::OpenMemory(bytes, mo, nullptr);
        ASSERT_NE(movie, nullptr);
        ASSERT_TRUE(movie->WaitStarted(std::chrono::seconds(5)));
        const int bpp = c.bits / 8, pitch = (c.width + 2 * kMargin) * bpp;
        std::vector<uint8_t> dest(static_cast<size_t>(pitch) * (c.height + 2 * kMargin), kFill);
        ASSERT_TRUE(movie->Draw(dest.data() + kMargin * pitch + kMargin * bpp, pitch, c.bits, 0, 0,
                                c.width, c.height));
        int wrong = 0, outside = 0;
        for (int y = 0; y < c.height + 2 * kMargin; ++y)
            for (int x = 0; x < (c.width + 2 * kMargin) * bpp; ++x) {
                const int px = x / bpp - kMargin, py = y - kMargin, channel = x % bpp;
                const uint8_t got = dest[static_cast<size_t>(y) * pitch + x];
                if (px < 0 || py < 0 || px >= c.width || py >= c.height) {
                    outside += got != kFill;
                    continue;
                }
                const Bgr& colour = colours[py * c.width + px];
                const int want = channel == 0   ? colour.b
                                 : channel == 1 ? colour.g
                                 : channel == 2 ? colour.r
                                                : 0xFF;
                wrong += std::abs(got - want) > 3;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(outside, 0);
        movie->Close();
    }
}

}  // namespace
