#include "platform/moviedecode.h"

#include <gtest/gtest.h>

#include <vector>

extern "C" {
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

}  // namespace
