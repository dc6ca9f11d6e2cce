// The range decoder against a plain one written step by step from the coder's description
// (a division per symbol, a coarse search table and a bisection, the model rebuilt the slow
// way), on random streams that are mostly not valid, on valid streams cut at random limits,
// and through the move-to-front pass that Pellum runs on its output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "codec_support.h"
#include "foundation/zrblocksort.h"
#include "foundation/zrrangecoder.h"

namespace {

// The byte coders' initial frequencies, symbol by symbol.
std::vector<int> InitialFrequencies() {
    std::vector<int> f = {1400, 640, 320, 240, 160, 120, 80, 64, 48, 40, 32, 24};
    const struct {
        int last, freq;
    } spans[] = {{15, 20}, {19, 16}, {25, 12}, {31, 8}, {47, 6},
                 {63, 5},  {95, 4},  {133, 3}, {256, 2}};
    for (const auto& s : spans)
        while (static_cast<int>(f.size()) <= s.last) f.push_back(s.freq);
    return f;
}

class PlainDecoder {
  public:
    PlainDecoder() {
        const std::vector<int> init = InitialFrequencies();
        cf_[257] = 4096;
        search_[512] = 256;
        for (int i = 0; i < 257; ++i) newf_[i] = static_cast<uint16_t>(init[i]);
        Rescale();
    }

    bool Decode(const unsigned char* in, unsigned char* out, int size, int limit, int& result) {
        if (size < 1) {
            result = 0;
            return true;
        }
        in_ = in;
        size_ = size;
        pos_ = 0;
        overflow_ = false;
        int count = 0;
        if (size < 2) {
            overflow_ = true;
        } else {
            Next();
            buffer_ = Next();
            low_ = buffer_ >> 1;
            range_ = 0x80;
            while (count < limit && !overflow_) {
                Normalize();
                help_ = range_ >> 12;
                uint32_t v = low_ / help_;
                if (v >> 12) v = 4095;
                const int s = Symbol(static_cast<int>(v));
                if (s == 256) break;
                out[count++] = static_cast<unsigned char>(s);
                Update(cf_[s + 1] - cf_[s], cf_[s]);
                if (left_ <= 0) Rescale();
                --left_;
                newf_[s] = static_cast<uint16_t>(newf_[s] + incr_);
            }
            Update(cf_[257] - cf_[256], cf_[256]);
            Normalize();
        }
        result = overflow_ && pos_ >= size_ ? 0 : count;
        return !overflow_;
    }

  private:
    unsigned char Next() {
        if (pos_ < size_) return in_[pos_++];
        overflow_ = true;
        return 0;
    }
    void Normalize() {
        while (range_ <= 0x800000) {
            low_ = (low_ << 8) | ((buffer_ << 7) & 0xFF);
            buffer_ = Next();
            low_ |= buffer_ >> 1;
            range_ <<= 8;
        }
    }
    void Update(uint32_t sy, uint32_t lt) {
        const uint32_t t = help_ * lt;
        low_ -= t;
        range_ = lt + sy < 4096 ? help_ * sy : range_ - t;
    }
    int Symbol(int v) const {
        int lo = search_[v >> 3], hi = search_[(v >> 3) + 1] + 1;
        while (lo + 1 < hi) {
            const int mid = (lo + hi) >> 1;
            if (v < cf_[mid])
                hi = mid;
            else
                lo = mid;
        }
        return lo;
    }
    void Rescale() {
        if (nextleft_) {
            ++incr_;
            left_ = nextleft_;
            nextleft_ = 0;
            return;
        }
        if (rescale_ < 2000) rescale_ = std::min(rescale_ * 2, 2000);
        int c = 4096, missing = 4096;
        for (int i = 256; i > 0; --i) {
            c -= newf_[i];
            cf_[i] = static_cast<uint16_t>(c);
            newf_[i] = static_cast<uint16_t>((newf_[i] >> 1) | 1);
            missing -= newf_[i];
        }
        newf_[0] = static_cast<uint16_t>((newf_[0] >> 1) | 1);
        missing -= newf_[0];
        incr_ = missing / rescale_;
        nextleft_ = missing % rescale_;
        left_ = rescale_ - nextleft_;
        for (int i = 257; i > 0; --i)
            for (int j = cf_[i - 1] >> 3; j <= (cf_[i] - 1) >> 3; ++j)
                search_[j] = static_cast<uint16_t>(i - 1);
    }

    uint16_t cf_[258] = {}, newf_[258] = {}, search_[513] = {};
    int left_ = 0, nextleft_ = 0, rescale_ = 18, incr_ = 0;
    const unsigned char* in_ = nullptr;
    int size_ = 0, pos_ = 0;
    bool overflow_ = false;
    uint32_t low_ = 0, range_ = 0, help_ = 0, buffer_ = 0;
};

// One decoder of each kind goes through the same calls, so the models carry over alike;
// whatever either writes, in the output and past it, must agree.
void ExpectSameCalls(const std::vector<std::pair<Bytes, int>>& calls, const char* what) {
    ZRRangeDecode fast;
    ASSERT_TRUE(fast.Create());
    PlainDecoder plain;
    for (size_t c = 0; c < calls.size(); ++c) {
        const Bytes& in = calls[c].first;
        const int limit = calls[c].second;
        Bytes a(limit + 8, 0xA5), b(limit + 8, 0xA5);
        int result = -1;
        const bool okA = fast.Decode(in.data(), a.data(), static_cast<int>(in.size()), limit);
        const bool okB =
            plain.Decode(in.data(), b.data(), static_cast<int>(in.size()), limit, result);
        ASSERT_EQ(okA, okB) << what << " call " << c;
        ASSERT_EQ(fast.GetResultSize(), result) << what << " call " << c;
        ASSERT_EQ(a, b) << what << " call " << c;
    }
}

TEST(ZRRangeDecodePlain, RandomStreamsDecodeAlike) {
    std::mt19937 rng(41);
    for (int run = 0; run < 40; ++run) {
        std::vector<std::pair<Bytes, int>> calls;
        for (int c = 0; c < 12; ++c) {
            Bytes in = gen::Random(rng() % 3000, rng());
            // Some streams open with small bytes, which keep the decoder on likely symbols.
            if (rng() % 2)
                for (size_t i = 2; i < in.size(); ++i) in[i] &= 0x1F;
            calls.push_back({in, static_cast<int>(rng() % 20000)});
        }
        ExpectSameCalls(calls, "random");
    }
}

TEST(ZRRangeDecodePlain, ValidStreamsCutAtRandomLimitsDecodeAlike) {
    std::mt19937 rng(42);
    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    std::vector<std::pair<Bytes, int>> calls;
    for (size_t n : {size_t(1), size_t(700), size_t(5000), size_t(60000)}) {
        for (const auto& [name, data] : gen::AllShapes(n)) {
            Bytes coded(2 * n + 16);
            ASSERT_TRUE(enc.Encode(data.data(), coded.data(), static_cast<int>(n),
                                   static_cast<int>(coded.size())));
            coded.resize(enc.GetResultSize());
            // Whole, cut short of its limit, and short of its input.
            calls.push_back({coded, static_cast<int>(n)});
            calls.push_back({coded, static_cast<int>(rng() % (n + 1))});
            calls.push_back({Bytes(coded.begin(), coded.begin() + rng() % (coded.size() + 1)),
                             static_cast<int>(n)});
        }
    }
    ExpectSameCalls(calls, "valid");
}

// Decoders side by side, through a run of calls whose streams end at different points (or
// fail, or are empty), give what each gives alone: the models carry over alike. Groups of one
// to five, with a decoder given twice in one call, which must run its jobs in order.
TEST(ZRRangeDecodePlain, SideBySideMatchesOneAfterTheOther) {
    std::mt19937 rng(45);
    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    const auto stream = [&](int kind) {
        if (kind == 0) return Bytes();
        if (kind == 1) return gen::Random(rng() % 4000, rng());
        const size_t n = rng() % 30000;
        const Bytes data = kind == 2 ? gen::Text(n, rng()) : gen::Random(n, rng());
        Bytes coded(2 * n + 16);
        enc.Encode(data.data(), coded.data(), static_cast<int>(n), static_cast<int>(coded.size()));
        coded.resize(enc.GetResultSize());
        return coded;
    };
    constexpr int kDecoders = 4;
    ZRRangeDecode fast[kDecoders];
    PlainDecoder plain[kDecoders];
    for (auto& f : fast) ASSERT_TRUE(f.Create());
    for (int call = 0; call < 40; ++call) {
        const int count = 1 + static_cast<int>(rng() % 5);
        std::vector<Bytes> in(count), out(count), want(count);
        std::vector<int> which(count), limit(count);
        std::vector<ZRRangeDecode*> decoders(count);
        std::vector<ZRRangeDecode::Job> jobs(count);
        for (int k = 0; k < count; ++k) {
            which[k] = static_cast<int>(rng() % kDecoders);
            in[k] = stream(static_cast<int>(rng() % 4));
            limit[k] = static_cast<int>(rng() % 40000) - 10;
            out[k] = want[k] = Bytes(std::max(limit[k], 0) + 8, 0x5A);
            decoders[k] = &fast[which[k]];
            jobs[k] = {in[k].data(), out[k].data(), static_cast<int>(in[k].size()), limit[k], false};
        }
        ZRRangeDecode::DecodeSideBySide(decoders.data(), jobs.data(), count);
        // Results sizes are read back per decoder, so compare each decoder's last job.
        std::vector<int> lastResult(kDecoders, -1);
        for (int k = 0; k < count; ++k) {
            int result = -1;
            const bool ok = plain[which[k]].Decode(in[k].data(), want[k].data(),
                                                   static_cast<int>(in[k].size()), limit[k], result);
            ASSERT_EQ(jobs[k].ok, ok) << call << " " << k;
            ASSERT_EQ(out[k], want[k]) << call << " " << k;
            lastResult[which[k]] = result;
        }
        for (int d = 0; d < kDecoders; ++d)
            if (lastResult[d] >= 0) {
                ASSERT_EQ(fast[d].GetResultSize(), lastResult[d]) << call;
            }
    }
}

// Pellum's single pass is the decoder and then move-to-front over what it produced.
TEST(ZRRangeDecodePlain, MoveToFrontPassMatchesTwoPasses) {
    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    ZRRangeDecode one, two;
    ASSERT_TRUE(one.Create() && two.Create());
    ZRMTFDecode mtfOne, mtfTwo;
    std::mt19937 rng(43);
    for (int block = 0; block < 30; ++block) {
        const size_t n = 1 + rng() % 9000;
        Bytes data = block % 3 ? gen::Text(n, rng()) : gen::Random(n, rng());
        ZRMTFEncode recode;
        recode.Encode(data.data(), static_cast<int>(n));
        Bytes coded(2 * n + 16);
        ASSERT_TRUE(enc.Encode(data.data(), coded.data(), static_cast<int>(n),
                               static_cast<int>(coded.size())));
        coded.resize(enc.GetResultSize());
        if (block == 29) coded.resize(coded.size() / 2);  // a damaged record fails alike
        Bytes a(n, 0), b(n, 0);
        const bool okA = one.DecodeMoveToFront(
            coded.data(), a.data(), static_cast<int>(coded.size()), static_cast<int>(n), mtfOne);
        const bool okB =
            two.Decode(coded.data(), b.data(), static_cast<int>(coded.size()), static_cast<int>(n));
        ASSERT_EQ(okA, okB) << block;
        ASSERT_EQ(one.GetResultSize(), two.GetResultSize()) << block;
        if (!okA) break;
        mtfTwo.Decode(b.data(), two.GetResultSize());
        ASSERT_EQ(a, b) << block;
    }
}

}  // namespace
