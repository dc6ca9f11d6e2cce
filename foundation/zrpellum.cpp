#include "foundation/zrpellum.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "foundation/zrcodecdriver.h"
#include "foundation/zrstd.h"

namespace {

constexpr int kMaxBlock = 32768;
constexpr int kHeader = 4;
constexpr int kMinRecord = kHeader + 2;  // header and the two index bytes of a stored block
constexpr int kRecordCapacity = 65540;

}  // namespace

bool ZRPellumEncode::Encode(int size, int limit, ZRBaseCallback2<int, void*, int> read,
                            ZRBaseCallback2<int, void*, int> write,
                            ZRBaseCallback1<bool, int> progress) {
    if (size == 0) return true;
    if (busy_ || size < 0) return false;
    srcsize_ = size;
    limit_ = limit;
    read_ = read;
    write_ = write;
    progress_ = progress;
    return ZRRunCodec(
        busy_, finished_, [this] { return Initialize(); }, [this] { Run(); },
        [this] { Finish(); });
}

void ZRPellumEncode::Fail(const char* step) const {
    throw std::runtime_error(std::string(name_) + " : " + step);
}

bool ZRPellumEncode::CreateBuffer() {
    ReleaseBuffer();
    block_ = static_cast<unsigned char*>(std::malloc(blocksize_));
    sort_ = static_cast<unsigned char*>(std::malloc(blocksize_ + 2));
    // The header, then room for the coder's whole output limit of 2 * block + 4.
    record_ = static_cast<unsigned char*>(std::malloc(kHeader + 2 * blocksize_ + 4));
    bwt_ = new (std::nothrow) ZRBWTEncode;
    mtf_ = new (std::nothrow) ZRMTFEncode;
    coder_ = new (std::nothrow) ZRRangeEncode;
    if (!block_ || !sort_ || !record_ || !bwt_ || !mtf_ || !coder_ || !bwt_->Create() ||
        !coder_->Create()) {
        ReleaseBuffer();
        return false;
    }
    return true;
}

void ZRPellumEncode::ReleaseBuffer() {
    std::free(block_);
    std::free(sort_);
    std::free(record_);
    block_ = sort_ = record_ = nullptr;
    delete bwt_;
    delete mtf_;
    delete coder_;
    bwt_ = nullptr;
    mtf_ = nullptr;
    coder_ = nullptr;
}

bool ZRPellumEncode::Initialize() {
    if (!CreateBuffer()) return false;
    srcpos_ = outpos_ = blocklen_ = recsize_ = written_ = 0;
    return true;
}

void ZRPellumEncode::Run() {
    do {
        ReadInBuffer();
        const int n = blocklen_;
        if (!bwt_->Encode(block_, sort_, n) || !mtf_->Encode(sort_, n + 2)) return;
        if (coder_->Encode(sort_, record_ + kHeader, n + 2, 2 * blocksize_ + 4) &&
            coder_->GetResultSize() < n + 2) {
            recsize_ = coder_->GetResultSize() + kHeader;
        } else {
            // The coder ran over this block too; the decoder resets its model on meeting a
            // stored record, so this side must start afresh as well.
            std::memcpy(record_ + kHeader, sort_, n + 2);
            recsize_ = n + kMinRecord;
            coder_->Reset();
        }
        ZRPutLE16(record_, static_cast<uint16_t>(recsize_));
        ZRPutLE16(record_ + 2, static_cast<uint16_t>(n));
        outpos_ += recsize_;
        if (outpos_ > limit_) return;
        WriteOutBuffer();
        ProgressCallback();
    } while (srcpos_ < srcsize_);
    finished_ = 1;
}

void ZRPellumEncode::ReadInBuffer() {
    blocklen_ = std::min(srcsize_ - srcpos_, blocksize_);
    if (read_.Call(block_, blocklen_) != blocklen_) Fail("ReadBuffer Error");
    srcpos_ += blocklen_;
}

void ZRPellumEncode::WriteOutBuffer() {
    if (write_.Call(record_, recsize_) != recsize_) Fail("WriteBuffer Error");
    written_ += recsize_;
}

void ZRPellumEncode::ProgressCallback() {
    if (progress_.IsSet()) progress_.Call(ZRCodecPercent(srcpos_, srcsize_));
}

bool ZRPellumDecode::Decode(int compsize, int size, ZRBaseCallback2<int, void*, int> read,
                            ZRBaseCallback2<int, void*, int> write,
                            ZRBaseCallback1<bool, int> progress) {
    if (compsize == 0) return true;
    if (busy_ || compsize < 0 || size < 0) return false;
    compsize_ = compsize;
    size_ = size;
    read_ = read;
    write_ = write;
    progress_ = progress;
    return ZRRunCodec(
        busy_, finished_, [this] { return Initialize(); }, [this] { Run(); },
        [this] { Finish(); });
}

bool ZRPellumDecode::CreateBuffer() {
    ReleaseBuffer();
    record_ = static_cast<unsigned char*>(std::malloc(kRecordCapacity));
    sort_ = static_cast<unsigned char*>(std::malloc(kMaxBlock + 2));
    block_ = static_cast<unsigned char*>(std::malloc(kMaxBlock));
    bwt_ = new (std::nothrow) ZRBWTDecode;
    mtf_ = new (std::nothrow) ZRMTFDecode;
    coder_ = new (std::nothrow) ZRRangeDecode;
    if (!record_ || !sort_ || !block_ || !bwt_ || !mtf_ || !coder_ ||
        !bwt_->Create(kMaxBlock) || !coder_->Create()) {
        ReleaseBuffer();
        return false;
    }
    return true;
}

void ZRPellumDecode::ReleaseBuffer() {
    std::free(record_);
    std::free(sort_);
    std::free(block_);
    record_ = sort_ = block_ = nullptr;
    delete bwt_;
    delete mtf_;
    delete coder_;
    bwt_ = nullptr;
    mtf_ = nullptr;
    coder_ = nullptr;
}

bool ZRPellumDecode::Initialize() {
    if (!CreateBuffer()) return false;
    inpos_ = outpos_ = recsize_ = blocklen_ = done_ = 0;
    return true;
}

void ZRPellumDecode::Run() {
    const auto corrupt = [] { throw std::runtime_error("ZRPellumDecode : Data Error"); };
    for (;;) {
        ReadInBuffer();
        int n = blocklen_;
        const int body = n + 2;
        if (recsize_ == n + kMinRecord) {
            std::memcpy(sort_, record_ + kHeader, body);
            coder_->Reset();
            if (!mtf_->Decode(sort_, body)) corrupt();
        } else if (!coder_->DecodeMoveToFront(record_ + kHeader, sort_, recsize_ - kHeader, body,
                                              *mtf_) ||
                   coder_->GetResultSize() != body) {
            corrupt();
        }
        if (!bwt_->Decode(sort_, block_, body)) corrupt();
        if (outpos_ + n > size_) n = size_ - outpos_;
        outpos_ += n;
        blocklen_ = n;
        WriteOutBuffer();
        ProgressCallback();
        if (outpos_ >= size_) {
            finished_ = 1;
            return;
        }
        if (inpos_ >= compsize_) return;
    }
}

// Record size and block length are checked before anything reaches the sort buffer, and a
// record may not reach past the compressed size.
void ZRPellumDecode::ReadInBuffer() {
    const auto corrupt = [] { throw std::runtime_error("ZRPellumDecode : Data Error"); };
    if (compsize_ - inpos_ < 2) corrupt();
    if (read_.Call(record_, 2) != 2) throw std::runtime_error("ZRPellumDecode : ReadBuffer Error");
    recsize_ = ZRGetLE16(record_);
    if (recsize_ < kMinRecord || recsize_ > compsize_ - inpos_) corrupt();
    if (read_.Call(record_ + 2, recsize_ - 2) != recsize_ - 2)
        throw std::runtime_error("ZRPellumDecode : ReadBuffer Error");
    inpos_ += recsize_;
    blocklen_ = ZRGetLE16(record_ + 2);
    if (blocklen_ < 1 || blocklen_ > kMaxBlock) corrupt();
}

void ZRPellumDecode::WriteOutBuffer() {
    if (blocklen_ > 0 && write_.Call(block_, blocklen_) != blocklen_)
        throw std::runtime_error("ZRPellumDecode : WriteBuffer Error");
    done_ = outpos_;
}

void ZRPellumDecode::ProgressCallback() {
    if (progress_.IsSet()) progress_.Call(ZRCodecPercent(inpos_, compsize_));
}
