#include "platform/moviedecode.h"

#include <gtest/gtest.h>

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
    const std::string path = testing::TempDir() + "first_picture.sfd";
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

// The whole picture converted in one pass into rows laid out by PictureRows, alpha included:
// what a drawn picture must look like.
std::vector<uint8_t> WholeConversion(const AVFrame* f, int width, int height, bool alpha, int bpp,
                                     int32_t* stride) {
    const plat::MoviePictureRows rows = plat::PictureRows(width, height, bpp);
    std::vector<uint8_t> out(rows.bytes);
    SwsContext* sws = sws_getContext(f->width, height, static_cast<AVPixelFormat>(f->format), width,
                                     height, bpp == 3 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* data[4] = {out.data(), nullptr, nullptr, nullptr};
    int lines[4] = {rows.stride, 0, 0, 0};
    sws_scale(sws, f->data, f->linesize, 0, height, data, lines);
    sws_freeContext(sws);
    if (alpha)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out[y * rows.stride + x * 4 + 3] = static_cast<uint8_t>(std::clamp(
                    (f->data[0][(height + y) * f->linesize[0] + x] - 16) * 255 / 219, 0, 255));
    *stride = rows.stride;
    return out;
}

// A drawn picture is converted a band of rows at a time, straight from the decoder's picture:
// it must come out as the whole picture converted in one pass would, in 24- and 32-bit rows,
// opaque and with alpha, for sizes that do not fill the last band or a whole vector or have an
// odd height, and for rectangles that start and end inside bands. Nothing outside the
// rectangle is written.
TEST(MovieDraw, BandsMatchTheWholePictureConvertedAtOnce) {
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
        // Whole rows of a width every vector divides, into aligned rows: converted in place.
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
        const int srcBpp = c.movieBits / 8, dstBpp = c.destBits / 8;
        int32_t stride = 0;
        const std::vector<uint8_t> whole =
            WholeConversion(first, c.width, c.height, c.alpha, srcBpp, &stride);
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
                const int channel = x % dstBpp;
                const uint8_t want =
                    channel < 3 || srcBpp == 4
                        ? whole[(c.y + py) * stride + (c.x + px) * srcBpp + channel]
                        : 0xFF;
                wrong += got != want;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(outside, 0);
        movie->Close();
    }
}

}  // namespace
