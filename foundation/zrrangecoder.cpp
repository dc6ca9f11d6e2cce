#include "foundation/zrrangecoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "foundation/zrblocksort.h"

namespace {

constexpr uint32_t kTop = 0x80000000u;
constexpr uint32_t kBottom = kTop >> 8;
constexpr uint32_t kShiftBits = 23;
constexpr uint32_t kExtraBits = 7;
constexpr uint32_t kCarryThreshold = 0xFFu << kShiftBits;

constexpr int kSymbols = 257;  // bytes and the end symbol
constexpr int kEndSymbol = 256;
constexpr int kLgTotal = 12;
constexpr int kTargetRescale = 2000;

// Skewed towards small values, which is what move-to-front output mostly holds.
struct InitialTable {
    int freq[kSymbols];
    constexpr InitialTable() : freq() {
        const int head[12] = {1400, 640, 320, 240, 160, 120, 80, 64, 48, 40, 32, 24};
        for (int i = 0; i < 12; ++i) freq[i] = head[i];
        struct Span {
            int first, last, f;
        };
        const Span spans[] = {{12, 15, 20}, {16, 19, 16}, {20, 25, 12}, {26, 31, 8},
                              {32, 47, 6},  {48, 63, 5},  {64, 95, 4},  {96, 133, 3},
                              {134, 256, 2}};
        for (const Span& s : spans)
            for (int i = s.first; i <= s.last; ++i) freq[i] = s.f;
    }
};
constexpr InitialTable kInitial;

constexpr int TableSum() {
    int sum = 0;
    for (int f : kInitial.freq) sum += f;
    return sum;
}
static_assert(TableSum() == 1 << kLgTotal, "initial frequencies must fill the total");

}  // namespace

bool ZRQSModel::InitQSModel(int n, int lg_totf, int rescale, const int* init, int compress) {
    DeleteQSModel();
    if (n < 1 || lg_totf < 1 || lg_totf > 15 || (1 << lg_totf) < n) return false;
    n_ = n;
    targetrescale_ = rescale;
    cf_ = static_cast<uint16_t*>(std::calloc(n + 1, sizeof(uint16_t)));
    newf_ = static_cast<uint16_t*>(std::calloc(n + 1, sizeof(uint16_t)));
    const bool lookup = !compress && lg_totf <= kLgTotal && n >= 2;
    // Room for the eight-entry stores that fill it.
    if (lookup)
        lookup_ = static_cast<uint32_t*>(std::calloc((1u << lg_totf) + 8, sizeof(uint32_t)));
    if (!cf_ || !newf_ || (lookup && !lookup_)) {
        DeleteQSModel();
        return false;
    }
    cf_[n] = static_cast<uint16_t>(1 << lg_totf);
    cf_[0] = 0;
    ResetQSModel(init);
    created_ = 1;
    return true;
}

void ZRQSModel::ResetQSModel(const int* init) {
    rescale_ = (n_ >> 4) | 2;
    nextleft_ = 0;
    const int total = cf_[n_];
    bool even = init == nullptr;
    if (init) {
        int sum = 0;
        for (int i = 0; i < n_; ++i) {
            newf_[i] = static_cast<uint16_t>(init[i]);
            sum += init[i];
        }
        even = sum != total;
    }
    if (even) {
        const int share = total / n_;
        const int extra = total % n_;
        for (int i = 0; i < n_; ++i) newf_[i] = static_cast<uint16_t>(share + (i < extra));
    }
    DoRescale();
}

void ZRQSModel::DeleteQSModel() {
    std::free(cf_);
    std::free(newf_);
    std::free(lookup_);
    cf_ = newf_ = nullptr;
    lookup_ = nullptr;
    created_ = 0;
}

void ZRQSModel::DoRescale() {
    if (nextleft_) {
        // The remainder of the last split goes out one larger step at a time.
        ++incr_;
        left_ = nextleft_;
        nextleft_ = 0;
        return;
    }
    if (rescale_ < targetrescale_) {
        rescale_ <<= 1;
        if (rescale_ > targetrescale_) rescale_ = targetrescale_;
    }
    int c = cf_[n_];
    int missing = c;
    for (int i = n_ - 1; i > 0; --i) {
        c -= newf_[i];
        cf_[i] = static_cast<uint16_t>(c);
        newf_[i] = static_cast<uint16_t>((newf_[i] >> 1) | 1);
        missing -= newf_[i];
    }
    if (c != newf_[0]) {
        DeleteQSModel();
        throw std::logic_error("ZRQSModel : Error in rescale frequency counts");
    }
    newf_[0] = static_cast<uint16_t>((newf_[0] >> 1) | 1);
    missing -= newf_[0];
    incr_ = missing / rescale_;
    nextleft_ = missing % rescale_;
    left_ = rescale_ - nextleft_;
    if (lookup_) {
        // In symbol order, eight entries at a time: what a symbol writes past its range, the
        // next one overwrites, as the ranges lie end to end from 0 to the total.
        uint32_t* const lookup = lookup_;
        const uint16_t* const cf = cf_;
        for (int sym = 0, n = n_; sym < n; ++sym) {
            const uint32_t lo = cf[sym], hi = cf[sym + 1];
            const __m128i e = _mm_set1_epi32(
                static_cast<int>(lo | static_cast<uint32_t>(sym & 0xFF) << 12 | (hi - lo) << 20));
            for (uint32_t v = lo; v < hi; v += 8) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(lookup + v), e);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(lookup + v + 4), e);
            }
        }
    }
}

int ZRQSModel::QSGetSym(int cumfreq) const {
    // The last symbol whose range starts at or below cumfreq holds it.
    int lo = 0, hi = n_;
    while (lo + 1 < hi) {
        const int mid = (lo + hi) >> 1;
        if (cumfreq < cf_[mid])
            hi = mid;
        else
            lo = mid;
    }
    return lo;
}

bool ZRRangeEncode::Create() {
    if (created_) return true;
    if (!model_.InitQSModel(kSymbols, kLgTotal, kTargetRescale, kInitial.freq, 1)) return false;
    created_ = 1;
    return true;
}

void ZRRangeEncode::Release() {
    model_.DeleteQSModel();
    created_ = 0;
}

bool ZRRangeEncode::Reset() {
    Release();
    return Create();
}

void ZRRangeEncode::StartEncoding(unsigned char c, int initlength) {
    low_ = 0;
    range_ = kTop;
    buffer_ = c;
    help_ = 0;
    bytecount_ = static_cast<uint32_t>(initlength);
}

void ZRRangeEncode::EncNormalize() {
    if (range_ == 0) throw std::logic_error("ZRRangeEncode : Range Is Zero");
    while (range_ <= kBottom) {
        if (low_ < kCarryThreshold) {
            OutByte(buffer_);
            for (; help_; --help_) OutByte(0xFF);
            buffer_ = static_cast<uint8_t>(low_ >> kShiftBits);
        } else if (low_ & kTop) {
            OutByte(static_cast<unsigned char>(buffer_ + 1));
            for (; help_; --help_) OutByte(0x00);
            buffer_ = static_cast<uint8_t>(low_ >> kShiftBits);
        } else {
            ++help_;
        }
        range_ <<= 8;
        low_ = (low_ << 8) & (kTop - 1);
        ++bytecount_;
    }
}

void ZRRangeEncode::EncodeFreq(uint32_t sy_f, uint32_t lt_f, uint32_t tot_f) {
    EncNormalize();
    if (tot_f == 0) throw std::logic_error("ZRRangeEncode : Total Is Zero");
    const uint32_t r = range_ / tot_f;
    const uint32_t t = r * lt_f;
    low_ += t;
    range_ = lt_f + sy_f < tot_f ? r * sy_f : range_ - t;
}

void ZRRangeEncode::EncodeShift(uint32_t sy_f, uint32_t lt_f, uint32_t shift) {
    EncNormalize();
    const uint32_t r = range_ >> shift;
    const uint32_t t = r * lt_f;
    low_ += t;
    range_ = ((lt_f + sy_f) >> shift) ? range_ - t : r * sy_f;
}

uint32_t ZRRangeEncode::DoneEncoding() {
    EncNormalize();
    bytecount_ += 5;
    uint32_t t = low_ >> kShiftBits;
    if ((low_ & (kBottom - 1)) >= (bytecount_ >> 1)) ++t;
    if (t > 0xFF) {
        OutByte(static_cast<unsigned char>(buffer_ + 1));
        for (; help_; --help_) OutByte(0x00);
    } else {
        OutByte(buffer_);
        for (; help_; --help_) OutByte(0xFF);
    }
    OutByte(static_cast<unsigned char>(t));
    OutByte(static_cast<unsigned char>(bytecount_ >> 16));
    OutByte(static_cast<unsigned char>(bytecount_ >> 8));
    OutByte(static_cast<unsigned char>(bytecount_));
    return bytecount_;
}

bool ZRRangeEncode::Encode(const unsigned char* input, unsigned char* output, int size,
                           int limit) {
    if (size < 1) {
        resultsize_ = 0;
        return true;
    }
    if (!created_ || busy_) return false;
    busy_ = 1;
    bool ok = false;
    try {
        BeginCall(input, output, size, limit);
        StartEncoding(0, 0);
        int sy_f, lt_f;
        while (incount_ < insize_ && !overflow_) {
            const int b = input_[incount_++];
            model_.QSGetFreq(b, &sy_f, &lt_f);
            EncodeShift(sy_f, lt_f, kLgTotal);
            model_.QSUpdate(b);
        }
        model_.QSGetFreq(kEndSymbol, &sy_f, &lt_f);
        EncodeShift(sy_f, lt_f, kLgTotal);
        DoneEncoding();
        ok = !overflow_;
    } catch (...) {
        ok = false;
        // A failed rescale deletes the model; the object is then no longer usable.
        if (!model_.IsCreated()) created_ = 0;
    }
    resultsize_ = ok ? outcount_ : 0;
    busy_ = 0;
    return ok;
}

bool ZRRangeDecode::Create() {
    if (created_) return true;
    if (!model_.InitQSModel(kSymbols, kLgTotal, kTargetRescale, kInitial.freq, 0)) return false;
    created_ = 1;
    return true;
}

void ZRRangeDecode::Release() {
    model_.DeleteQSModel();
    created_ = 0;
}

bool ZRRangeDecode::Reset() {
    Release();
    return Create();
}

int ZRRangeDecode::StartDecoding() {
    if (insize_ - incount_ < 2) return -1;
    const int c = InByte();
    buffer_ = InByte();
    low_ = buffer_ >> (8 - kExtraBits);
    range_ = 1u << kExtraBits;
    return c;
}

void ZRRangeDecode::DecNormalize() {
    if (range_ == 0) throw std::logic_error("ZRRangeDecode : Range Is Zero");
    while (range_ <= kBottom) {
        low_ = (low_ << 8) | ((static_cast<uint32_t>(buffer_) << kExtraBits) & 0xFF);
        buffer_ = InByte();
        low_ |= buffer_ >> (8 - kExtraBits);
        range_ <<= 8;
    }
}

uint32_t ZRRangeDecode::DecodeCulFreq(uint32_t tot_f) {
    DecNormalize();
    if (tot_f == 0) throw std::logic_error("ZRRangeDecode : Total Is Zero");
    help_ = range_ / tot_f;
    const uint32_t t = low_ / help_;
    return t < tot_f - 1 ? t : tot_f - 1;
}

uint32_t ZRRangeDecode::DecodeCulShift(uint32_t shift) {
    DecNormalize();
    help_ = range_ >> shift;
    const uint32_t t = low_ / help_;
    return (t >> shift) ? (1u << shift) - 1 : t;
}

void ZRRangeDecode::DecodeUpdate(uint32_t sy_f, uint32_t lt_f, uint32_t tot_f) {
    const uint32_t t = help_ * lt_f;
    low_ -= t;
    range_ = lt_f + sy_f < tot_f ? help_ * sy_f : range_ - t;
}

unsigned char ZRRangeDecode::DecodeByte() {
    const uint32_t v = DecodeCulShift(8);
    DecodeUpdate(1, v, 1u << 8);
    return static_cast<unsigned char>(v);
}

unsigned short ZRRangeDecode::DecodeShort() {
    const uint32_t v = DecodeCulShift(16);
    DecodeUpdate(1, v, 1u << 16);
    return static_cast<unsigned short>(v);
}

bool ZRRangeDecode::Decode(const unsigned char* input, unsigned char* output, int size,
                           int limit) {
    return DecodeWith(input, output, size, limit, nullptr);
}

bool ZRRangeDecode::DecodeMoveToFront(const unsigned char* input, unsigned char* output, int size,
                                      int limit, ZRMTFDecode& mtf) {
    return DecodeWith(input, output, size, limit, &mtf);
}

// The symbol loop of Decode with the coder state in locals: stores to the output may alias
// any member, which would otherwise reload the whole state after every byte. The steps are
// those of DecNormalize, DecodeCulShift, QSGetSym, QSGetFreq, DecodeUpdate and QSUpdate, whose
// range never reaches zero here (help is at least 2,048 and every symbol's frequency at least
// 1). Few enough values live across a step to stay in registers, those of the chain from one
// symbol to the next above all: the input and output as pointers, of the byte last read only
// the bit that low still takes, and the model's counters left in memory, as they are off that
// chain. Running out of input ends the loop after the symbol it is in.
//
// That chain is a division, a table look-up, a mask, a multiply and a subtraction: in the
// middle of a stream (Fast) the normalisation that follows a symbol is folded into its update, which
// takes the shifted low and help from before the look-up, so that neither waits on the
// symbol. Near the end of the output or the input, each symbol is normalised at the start of
// the next one, exactly when and as far as DecNormalize would (Plain).
namespace {
struct AsByte {
    unsigned char operator()(int s) const { return static_cast<unsigned char>(s); }
};
}  // namespace

class ZRRangeDecode::Lane {
public:
    explicit Lane(ZRRangeDecode& d)
        : dec_(d),
          model_(d.model_),
          ip_(d.input_ + d.incount_),
          iend_(d.input_ + d.insize_),
          op_(d.output_ + d.outcount_),
          oend_(d.output_ + std::max(d.outlimit_, d.outcount_)),
          low_(d.low_),
          range_(d.range_),
          help_(d.help_),
          carry_(Carry(d.buffer_)),
          lookup_(d.model_.lookup_),
          newf_(d.model_.newf_) {}

    // Whether the loop runs at all; if it does, either Run, or Step until it returns false.
    bool Live() const { return dec_.outcount_ < dec_.outlimit_ && !dec_.overflow_; }

    // One symbol with the normalisation before it; false when the loop is over: the end
    // symbol, the limit, the input run out, or the model failing its rescale (which its
    // update rule never lets happen). For streams run side by side, where the core has other
    // work while a symbol waits on its division, the least work per symbol.
    template <class Put>
    bool Step(Put put) {
        Normalize();
        return Plain(put);
    }

    // The whole loop for one stream, with the normalisation folded into the symbol before
    // wherever it can be, and runs of symbols between two rescales taken without leaving the
    // inner loop.
    template <class Put>
    void Run(Put put) {
        Normalize();
        for (;;) {
            if (InZone() && model_.left_ > 0) {
                if (!Burst(put)) return;
            } else if (!Next(put)) {
                return;
            }
        }
    }

    // Hands the state back to the decoder; false when the model failed.
    bool Save() {
        if (failed_) return false;
        dec_.incount_ = static_cast<int32_t>(ip_ - dec_.input_);
        dec_.outcount_ = static_cast<int32_t>(op_ - dec_.output_);
        dec_.low_ = low_;
        dec_.range_ = range_;
        dec_.help_ = help_;
        dec_.buffer_ = static_cast<uint8_t>(carry_ >> kExtraBits);
        return true;
    }

private:
    static constexpr uint32_t kTotal = 1u << kLgTotal;
    static constexpr uint32_t kIn = 8 - kExtraBits;  // what a byte read shifts by

    // The bits of a byte read that low takes only at the next normalisation.
    static uint32_t Carry(uint32_t byte) { return (byte << kExtraBits) & 0xFF; }

    // A step of Run: a symbol, normalised after it.
    template <class Put>
    bool Next(Put put) {
        if (InZone()) return Fast(put);
        if (!Plain(put)) return false;
        Normalize();
        return true;
    }

    // Where a symbol and the normalisation after it can be taken at once: at least one more
    // byte of output to go after it, and two of input left, as much as a normalisation ever
    // reads since help * sy_f is at least 2,048. Running out of input never happens there.
    bool InZone() const { return op_ + 1 < oend_ && iend_ - ip_ >= 2; }

    void Normalize() {
        while (range_ <= kBottom) {
            uint32_t next = 0;
            if (ip_ < iend_) {
                next = *ip_++;
            } else {
                dec_.overflow_ = 1;
                oend_ = op_ + 1;
            }
            low_ = (low_ << 8) | carry_ | next >> kIn;
            carry_ = Carry(next);
            range_ <<= 8;
        }
        help_ = range_ >> kLgTotal;
    }

    // A symbol from a normalised state, leaving it as DecodeUpdate does.
    template <class Put>
    bool Plain(Put put) {
        uint32_t v = low_ / help_;
        v = v < kTotal ? v : kTotal - 1;
        const uint32_t e = lookup_[v];
        const uint32_t lt = e & 0xFFF, sy = e >> 20;
        // Only the end symbol, the last, reaches the total; every other one ends below it,
        // so DecodeUpdate's other case (range - t) never arises in this loop.
        if (lt + sy == kTotal) return false;
        low_ -= help_ * lt;
        range_ = help_ * sy;
        return Emit(put, (e >> 12) & 0xFF) && op_ < oend_;
    }

    // In the zone: a symbol (its byte in s) and the normalisation after it, from a normalised
    // state and to one; false, changing nothing, at the end symbol. The bits a normalisation
    // carries over from the last byte read are in that byte, ip[-1].
    static bool Symbol(uint32_t& low, uint32_t& range, uint32_t& help, const unsigned char*& ip,
                       const uint32_t* lookup, int& s) {
        const uint32_t v = low / help;
        // Clamped, v would land on the end symbol, whose range ends at the total.
        if (v >= kTotal) return false;
        const uint32_t e = lookup[v];
        const uint32_t lt = e & 0xFFF, sy = e >> 20;
        s = (e >> 12) & 0xFF;
        if (lt + sy == kTotal) return false;
        const uint32_t r = help * sy;
        const uint32_t carry = Carry(ip[-1]);
        if (r > kBottom) {
            low -= help * lt;
            range = r;
            help = r >> kLgTotal;
        } else if (r > kBottom >> 8) {
            const uint32_t a = ip[0];
            ip += 1;
            low = ((low << 8) | carry | a >> kIn) - (help << 8) * lt;
            range = r << 8;
            help = r >> (kLgTotal - 8);
        } else {
            const uint32_t a = ip[0], b = ip[1];
            ip += 2;
            low = ((low << 16) | (carry | a >> kIn) << 8 | Carry(a) |
                   b >> kIn) -
                  (help << 16) * lt;
            range = r << 16;
            help = r << (16 - kLgTotal);
        }
        return true;
    }

    template <class Put>
    bool Fast(Put put) {
        int s;
        if (!Symbol(low_, range_, help_, ip_, lookup_, s)) return false;
        carry_ = Carry(ip_[-1]);
        return Emit(put, s);
    }

    // Symbols in the zone while the model needs no rescale, in a loop of their own with the
    // state in locals: nothing in it calls out, so all of that state stays in registers.
    // False at the end symbol.
    template <class Put>
    [[gnu::noinline]] bool Burst(Put put) {
        uint32_t low = low_, range = range_, help = help_;
        const unsigned char* ip = ip_;
        unsigned char* op = op_;
        const uint32_t* const lookup = lookup_;
        uint16_t* const newf = newf_;
        const int32_t incr = model_.incr_;
        // Symbols that may go before leaving: each reads two bytes of input at most.
        const int64_t room = std::min<int64_t>(oend_ - 1 - op, (iend_ - ip - 2) / 2 + 1);
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(model_.left_, room));
        int32_t k = 0;
        bool more = true;
        while (k < count) {
            int s;
            if (!Symbol(low, range, help, ip, lookup, s)) {
                more = false;
                break;
            }
            *op++ = put(s);
            newf[s] = static_cast<uint16_t>(newf[s] + incr);
            ++k;
        }
        model_.left_ -= k;
        low_ = low;
        range_ = range;
        help_ = help;
        ip_ = ip;
        op_ = op;
        carry_ = Carry(ip[-1]);
        return more;
    }

    // Writes the symbol and counts it in the model.
    template <class Put>
    bool Emit(Put put, int s) {
        *op_++ = put(s);
        if (model_.left_ <= 0 && !Rescale()) return false;
        --model_.left_;
        newf_[s] = static_cast<uint16_t>(newf_[s] + model_.incr_);
        return true;
    }

    bool Rescale() {
        try {
            model_.DoRescale();
            return true;
        } catch (...) {
            failed_ = true;
            return false;
        }
    }

    ZRRangeDecode& dec_;
    ZRQSModel& model_;
    const unsigned char* ip_;
    const unsigned char* const iend_;
    unsigned char* op_;
    unsigned char* oend_;
    uint32_t low_, range_, help_, carry_;
    const uint32_t* const lookup_;
    uint16_t* const newf_;
    bool failed_ = false;
};

bool ZRRangeDecode::Open(const unsigned char* input, unsigned char* output, int size,
                         int limit, bool& ok) {
    if (size < 1) {
        resultsize_ = 0;
        ok = true;
        return false;
    }
    if (!created_ || busy_) {
        ok = false;
        return false;
    }
    busy_ = 1;
    BeginCall(input, output, size, limit);
    if (StartDecoding() < 0) {
        overflow_ = 1;
        ok = Close(false);
        return false;
    }
    return true;
}

// After the symbol loop: the end symbol's update and the last normalisation, which meets a
// zero range when a limit stopped the loop on a damaged stream.
bool ZRRangeDecode::Close(bool started) {
    bool ok = false;
    try {
        if (started) {
            int sy_f, lt_f;
            model_.QSGetFreq(kEndSymbol, &sy_f, &lt_f);
            DecodeUpdate(sy_f, lt_f, 1u << kLgTotal);
            DoneDecoding();
        }
        ok = !overflow_;
    } catch (...) {
        ok = false;
    }
    return Conclude(ok);
}

bool ZRRangeDecode::Conclude(bool ok) {
    if (!model_.IsCreated()) created_ = 0;
    resultsize_ = outcount_;
    if (overflow_ && incount_ >= insize_) resultsize_ = 0;
    busy_ = 0;
    return ok;
}

bool ZRRangeDecode::DecodeWith(const unsigned char* input, unsigned char* output, int size,
                               int limit, ZRMTFDecode* mtf) {
    bool ok = false;
    if (!Open(input, output, size, limit, ok)) return ok;
    Lane lane(*this);
    if (lane.Live()) {
        // The move-to-front steps hang off the symbols and not the coder state, so they run
        // beside the coder's chain of dependent steps instead of after it.
        if (mtf)
            lane.Run([mtf](int s) { return mtf->Next(s); });
        else
            lane.Run(AsByte());
    }
    return lane.Save() ? Close(true) : Conclude(false);
}

void ZRRangeDecode::DecodeSideBySide(ZRRangeDecode* const* decoders, Job* jobs, int count) {
    // Decoders that start a loop, at most kSideBySide of them at a time; one given twice, or
    // a group's remainder, waits for the next group.
    int k = 0;
    while (k < count) {
        ZRRangeDecode* group[kSideBySide];
        Job* groupJobs[kSideBySide];
        int n = 0;
        for (; k < count && n < kSideBySide; ++k) {
            ZRRangeDecode* d = decoders[k];
            bool repeated = false;
            for (int g = 0; g < n; ++g) repeated = repeated || group[g] == d;
            if (repeated) break;
            Job& j = jobs[k];
            if (!d->Open(j.input, j.output, j.size, j.limit, j.ok)) continue;
            group[n] = d;
            groupJobs[n] = &jobs[k];
            ++n;
        }
        if (n == 0) continue;
        // Lanes for the whole group, idle ones included, so the loop below has a fixed shape.
        ZRRangeDecode* const d0 = group[0];
        ZRRangeDecode* const d1 = n > 1 ? group[1] : d0;
        ZRRangeDecode* const d2 = n > 2 ? group[2] : d0;
        Lane l0(*d0), l1(*d1), l2(*d2);
        bool go0 = l0.Live(), go1 = n > 1 && l1.Live(), go2 = n > 2 && l2.Live();
        // Each step's division and look-up wait on the step before in the same stream; the
        // streams' steps in turn keep the core busy during those waits.
        while (go0 | go1 | go2) {
            if (go0) go0 = l0.Step(AsByte());
            if (go1) go1 = l1.Step(AsByte());
            if (go2) go2 = l2.Step(AsByte());
        }
        Lane* const lanes[kSideBySide] = {&l0, &l1, &l2};
        for (int g = 0; g < n; ++g)
            groupJobs[g]->ok = lanes[g]->Save() ? group[g]->Close(true) : group[g]->Conclude(false);
    }
}
