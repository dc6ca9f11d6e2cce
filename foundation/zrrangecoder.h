// Adaptive order-0 byte coder: a quasi-static frequency model (counts gather continuously,
// the coding table is rebuilt only at growing intervals) driving a 32-bit range coder with
// deferred carries and a byte-count trailer. It is the entropy stage of the Pellum codec and,
// used alone, the compressor of the game's save files, so every constant here is part of a
// stored format: all coder arithmetic is uint32_t and relies on its wrap at 32 bits.
#pragma once
#include <cstdint>

class ZRMTFDecode;

class ZRQSModel {
public:
    ZRQSModel() = default;
    ~ZRQSModel() { DeleteQSModel(); }
    ZRQSModel(const ZRQSModel&) = delete;
    ZRQSModel& operator=(const ZRQSModel&) = delete;

    // n symbols whose frequencies sum to 1 << lg_totf; the table is rebuilt every rescale
    // updates at most. With compress = 0 (and at most 4,096 as the total) the decoder's
    // look-up table is kept as well.
    bool InitQSModel(int n, int lg_totf, int rescale, const int* init, int compress);
    void ResetQSModel(const int* init);
    void DeleteQSModel();
    void DoRescale();
    void QSGetFreq(int sym, int* sy_f, int* lt_f) const {
        *lt_f = cf_[sym];
        *sy_f = cf_[sym + 1] - cf_[sym];
    }
    // Cumulative frequency (0 .. total - 1) to the symbol whose range holds it.
    int QSGetSym(int cumfreq) const;
    void QSUpdate(int sym) {
        if (left_ <= 0) DoRescale();
        --left_;
        newf_[sym] = static_cast<uint16_t>(newf_[sym] + incr_);
    }
    bool IsCreated() const { return created_ != 0; }

private:
  // The decoder's symbol loop keeps the update state in registers.
  friend class ZRRangeDecode;

  uint8_t created_ = 0;
  int32_t n_ = 0;
  int32_t left_ = 0;
  int32_t nextleft_ = 0;
  int32_t rescale_ = 0;
  int32_t targetrescale_ = 0;
  int32_t incr_ = 0;
  uint16_t* cf_ = nullptr;
  uint16_t* newf_ = nullptr;
  // Decoder only, one entry per cumulative frequency v, for the symbol s whose range holds
  // v: lt_f | (s & 0xFF) << 12 | sy_f << 20, so that one look-up gives all a decode step
  // needs. With every frequency at least 1, sy_f stays below the total and fits.
  uint32_t* lookup_ = nullptr;
};

// The buffers of one whole-buffer call and how far it has come in each, shared by the
// encoder and the decoder.
struct ZRRangeCoderCall {
    // Sets them up for a call on size bytes of input with room for limit bytes of output.
    void BeginCall(const unsigned char* input, unsigned char* output, int size, int limit) {
        input_ = input;
        output_ = output;
        incount_ = outcount_ = 0;
        insize_ = size;
        outlimit_ = limit;
        overflow_ = 0;
    }

    uint8_t overflow_ = 0;
    const unsigned char* input_ = nullptr;
    unsigned char* output_ = nullptr;
    int32_t incount_ = 0;
    int32_t outcount_ = 0;
    int32_t insize_ = 0;
    int32_t outlimit_ = 0;
};

class ZRRangeEncode : private ZRRangeCoderCall {
public:
    ZRRangeEncode() = default;
    ~ZRRangeEncode() { Release(); }
    ZRRangeEncode(const ZRRangeEncode&) = delete;
    ZRRangeEncode& operator=(const ZRRangeEncode&) = delete;

    bool Create();
    void Release();
    // Returns the model to its initial table.
    bool Reset();

    void StartEncoding(unsigned char c, int initlength);
    void EncNormalize();
    void EncodeFreq(uint32_t sy_f, uint32_t lt_f, uint32_t tot_f);
    void EncodeShift(uint32_t sy_f, uint32_t lt_f, uint32_t shift);
    uint32_t DoneEncoding();

    // Codes size bytes and the end symbol into at most limit bytes; the byte count lands in
    // GetResultSize(). False when the output did not fit (result 0), when not created or busy.
    // The model carries over to the next call.
    bool Encode(const unsigned char* input, unsigned char* output, int size, int limit);
    int GetResultSize() const { return resultsize_; }

private:
    void OutByte(unsigned char b) {
        if (outcount_ < outlimit_)
            output_[outcount_++] = b;
        else
            overflow_ = 1;
    }

    uint8_t created_ = 0;
    uint8_t busy_ = 0;
    int32_t resultsize_ = 0;
    uint32_t low_ = 0;
    uint32_t range_ = 0;
    uint32_t help_ = 0;
    uint8_t buffer_ = 0;
    uint32_t bytecount_ = 0;
    ZRQSModel model_;
};

class ZRRangeDecode : private ZRRangeCoderCall {
public:
    ZRRangeDecode() = default;
    ~ZRRangeDecode() { Release(); }
    ZRRangeDecode(const ZRRangeDecode&) = delete;
    ZRRangeDecode& operator=(const ZRRangeDecode&) = delete;

    bool Create();
    void Release();
    bool Reset();

    // -1 when fewer than two bytes are left to start from.
    int StartDecoding();
    void DecNormalize();
    uint32_t DecodeCulFreq(uint32_t tot_f);
    uint32_t DecodeCulShift(uint32_t shift);
    void DecodeUpdate(uint32_t sy_f, uint32_t lt_f, uint32_t tot_f);
    unsigned char DecodeByte();
    unsigned short DecodeShort();
    void DoneDecoding() { DecNormalize(); }

    // Decodes a stream of size bytes into at most limit bytes (stopping early, without error,
    // when the limit comes before the end symbol); the byte count lands in GetResultSize().
    // False when the stream runs out or cannot be started, when not created or busy.
    bool Decode(const unsigned char* input, unsigned char* output, int size, int limit);
    // Decode with each byte undone by mtf's move-to-front on its way out, in the same pass:
    // what Decode and then mtf.Decode(output, GetResultSize()) give. The bytes produced go
    // through mtf even when the call fails.
    bool DecodeMoveToFront(const unsigned char* input, unsigned char* output, int size, int limit,
                           ZRMTFDecode& mtf);
    int GetResultSize() const { return resultsize_; }

    // One whole-buffer Decode: its arguments, and its result once done.
    struct Job {
        const unsigned char* input;
        unsigned char* output;
        int size;
        int limit;
        bool ok;
    };
    // decoders[i]->Decode(jobs[i]) for count independent streams, up to kSideBySide of them
    // run side by side for speed: the same results, bytes and model states as the calls one
    // after the other.
    static constexpr int kSideBySide = 3;
    static void DecodeSideBySide(ZRRangeDecode* const* decoders, Job* jobs, int count);

private:
    class Lane;

    bool DecodeWith(const unsigned char* input, unsigned char* output, int size, int limit,
                    ZRMTFDecode* mtf);
    // The steps of a whole-buffer Decode: Open sets up and starts the coder (false when the
    // call is already over, its result in ok); a Lane runs the symbol loop; Close decodes the
    // end symbol and Conclude sets the result size and clears busy.
    bool Open(const unsigned char* input, unsigned char* output, int size, int limit, bool& ok);
    bool Close(bool started);
    bool Conclude(bool ok);
    unsigned char InByte() {
        if (incount_ < insize_) return input_[incount_++];
        overflow_ = 1;
        return 0;
    }

    uint8_t created_ = 0;
    uint8_t busy_ = 0;
    int32_t resultsize_ = 0;
    uint32_t low_ = 0;
    uint32_t range_ = 0;
    uint32_t help_ = 0;
    uint8_t buffer_ = 0;
    ZRQSModel model_;
};
