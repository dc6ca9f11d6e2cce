#include "foundation/zrorvik.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "foundation/zrcodecdriver.h"
#include "foundation/zrstd.h"

namespace {

constexpr int kHistory = 1536;          // bytes kept before the current position
constexpr int kMaxDistance = 1535;
constexpr int kMaxMatch = 8192;
constexpr int kGoodEnough = 1024;        // a match this long ends the search
constexpr int kBlock = 16384;            // transfer size of the callbacks
constexpr int kWindowSize = kHistory + 2 * kBlock;
constexpr int kEncOutSize = kBlock + 2560;
constexpr int kDecInSize = kBlock + 256;
constexpr int kDecOutSize = kHistory + 2 * kBlock;
constexpr int kHashKeys = 65536;

// Length of the common run of a and b, from 2 (the key bytes match already) up to limit.
int MatchLength(const unsigned char* a, const unsigned char* b, int limit) {
    int len = 2;
    while (len + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y) return len + (__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
}

}  // namespace

bool ZROrvikHash::Create(int count) {
    Release();
    if (count <= 0) return false;
    heads_ = static_cast<ZROrvikHashNode**>(std::malloc(kHashKeys * sizeof(ZROrvikHashNode*)));
    nodes_ = new (std::nothrow) ZROrvikHashNode[count];
    if (!heads_ || !nodes_) {
        Release();
        return false;
    }
    count_ = count;
    created_ = 1;
    Init();
    return true;
}

void ZROrvikHash::Release() {
    std::free(heads_);
    delete[] nodes_;
    heads_ = nullptr;
    nodes_ = nullptr;
    count_ = 0;
    created_ = 0;
}

void ZROrvikHash::Init() {
    if (!created_) return;
    std::fill(heads_, heads_ + kHashKeys, nullptr);
    std::fill(nodes_, nodes_ + count_, ZROrvikHashNode());
    cursor_ = 0;
}

void ZROrvikHash::AddNode(unsigned short key, uint32_t position) {
    if (!created_) return;
    ZROrvikHashNode* node = &nodes_[cursor_];
    if (node->key != -1) {
        if (node->prev)
            node->prev->next = node->next;
        else
            heads_[node->key] = node->next;
        if (node->next) node->next->prev = node->prev;
    }
    node->key = key;
    node->position = position;
    node->prev = nullptr;
    node->next = heads_[key];
    if (node->next) node->next->prev = node;
    heads_[key] = node;
    if (++cursor_ >= count_) cursor_ = 0;
}

bool ZROrvikEncode::Encode(int size, int limit, ZRBaseCallback2<int, void*, int> read,
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

bool ZROrvikEncode::CreateBuffer() {
    ReleaseBuffer();
    // Zeroed so that the key of the last position, which looks one byte past the source,
    // is always the same.
    window_ = static_cast<unsigned char*>(std::calloc(kWindowSize, 1));
    outbuf_ = static_cast<unsigned char*>(std::malloc(kEncOutSize));
    hash_ = new (std::nothrow) ZROrvikHash;
    if (!window_ || !outbuf_ || !hash_ || !hash_->Create(kMaxDistance)) {
        ReleaseBuffer();
        return false;
    }
    return true;
}

void ZROrvikEncode::ReleaseBuffer() {
    std::free(window_);
    std::free(outbuf_);
    delete hash_;
    window_ = outbuf_ = nullptr;
    hash_ = nullptr;
}

bool ZROrvikEncode::Initialize() {
    if (!CreateBuffer()) return false;
    srcpos_ = 0;
    base_ = 0;
    inptr_ = window_ + kHistory;
    flagptr_ = outbuf_;
    outpos_ = 4;
    outptr_ = outbuf_ + 4;
    flag_ = 0;
    bit_ = 0x80000000u;
    tokens_ = 0;
    completed_ = 0;
    written_ = 0;
    const int first = std::min(srcsize_, 2 * kBlock);
    if (read_.Call(window_ + kHistory, first) != first)
        throw std::runtime_error("ZROrvikEncode : ReadBuffer Error");
    return true;
}

void ZROrvikEncode::Run() {
    for (;;) {
        unsigned short length, distance;
        HashSearch(length, distance);
        const int cost = 1 + (length > 255 ? 2 : length > 14 ? 1 : 0) + (distance > 10 ? 1 : 0);
        if (length > 0 && cost <= length) {
            flag_ |= bit_;
            ++tokens_;
            bit_ >>= 1;
            const int lnib = length <= 14 ? length - 1 : length <= 255 ? 14 : 15;
            const int dnib = distance <= 10 ? distance - 1 : 10 + distance / 256;
            unsigned char* const token = outptr_;
            *outptr_++ = static_cast<unsigned char>((lnib << 4) | dnib);
            if (lnib == 14) {
                *outptr_++ = static_cast<unsigned char>(length);
            } else if (lnib == 15) {
                *outptr_++ = static_cast<unsigned char>(length);
                *outptr_++ = static_cast<unsigned char>(length >> 8);
            }
            if (distance > 10) *outptr_++ = static_cast<unsigned char>(distance);
            outpos_ += static_cast<int32_t>(outptr_ - token);
            for (int k = 0; k < length; ++k) {
                AddPosition();
                ++inptr_;
                ++srcpos_;
            }
        } else {
            ++tokens_;
            bit_ >>= 1;
            AddPosition();
            *outptr_++ = *inptr_++;
            ++outpos_;
            ++srcpos_;
        }
        const bool exhausted = srcpos_ >= srcsize_;
        if (exhausted || tokens_ == 32) {
            ZRPutLE32(flagptr_, flag_);
            completed_ = outpos_;
            if (!exhausted) {
                flagptr_ = outptr_;
                outptr_ += 4;
                outpos_ += 4;
                flag_ = 0;
                bit_ = 0x80000000u;
                tokens_ = 0;
            }
        }
        if (outpos_ > limit_) return;
        if (exhausted) {
            finished_ = 1;
            WriteOutBuffer();
            ProgressCallback();
            return;
        }
        if (srcpos_ - base_ > kBlock) {
            ReadInBuffer();
            WriteOutBuffer();
            ProgressCallback();
        }
    }
}

void ZROrvikEncode::HashSearch(unsigned short& length, unsigned short& distance) {
    length = 0;
    distance = 0;
    const int remaining = srcsize_ - srcpos_;
    if (remaining < 2) return;
    const int limit = std::min(remaining, kMaxMatch);
    int best = 0;
    const unsigned short key = static_cast<unsigned short>(inptr_[0] | (inptr_[1] << 8));
    for (ZROrvikHashNode* node = hash_->FirstNode(key); node; node = hash_->NextNode(node)) {
        const uint32_t d = static_cast<uint32_t>(srcpos_) - node->position;
        if (d > kMaxDistance) continue;
        const unsigned char* cand = inptr_ - d;
        // A candidate that differs at the best length so far cannot beat it.
        if (best >= 2 && (best >= limit || cand[best] != inptr_[best])) continue;
        const int len = MatchLength(cand, inptr_, limit);
        if (len > best) {
            best = len;
            distance = static_cast<unsigned short>(d);
            if (best > kGoodEnough) break;
        }
    }
    length = static_cast<unsigned short>(best);
}

void ZROrvikEncode::ReadInBuffer() {
    std::memmove(window_, window_ + kBlock, kWindowSize - kBlock);
    const int64_t loaded = static_cast<int64_t>(base_) + 2 * kBlock;
    if (loaded < srcsize_) {
        const int n = static_cast<int>(std::min<int64_t>(srcsize_ - loaded, kBlock));
        if (read_.Call(window_ + kWindowSize - kBlock, n) != n)
            throw std::runtime_error("ZROrvikEncode : ReadBuffer Error");
    }
    base_ += kBlock;
    inptr_ = window_ + kHistory + (srcpos_ - base_);
}

void ZROrvikEncode::WriteOutBuffer() {
    const int n = completed_ - written_;
    if (n > 0 && write_.Call(outbuf_, n) != n)
        throw std::runtime_error("ZROrvikEncode : WriteBuffer Error");
    const int tail = outpos_ - completed_;
    std::memmove(outbuf_, outbuf_ + n, tail);
    written_ = completed_;
    flagptr_ = outbuf_;
    outptr_ = outbuf_ + tail;
}

void ZROrvikEncode::ProgressCallback() {
    if (progress_.IsSet()) progress_.Call(ZRCodecPercent(srcpos_, srcsize_));
}

bool ZROrvikDecode::Decode(int compsize, int size, ZRBaseCallback2<int, void*, int> read,
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

bool ZROrvikDecode::CreateBuffer() {
    ReleaseBuffer();
    inbuf_ = static_cast<unsigned char*>(std::malloc(kDecInSize));
    outbuf_ = static_cast<unsigned char*>(std::malloc(kDecOutSize));
    if (!inbuf_ || !outbuf_) {
        ReleaseBuffer();
        return false;
    }
    return true;
}

void ZROrvikDecode::ReleaseBuffer() {
    std::free(inbuf_);
    std::free(outbuf_);
    inbuf_ = outbuf_ = nullptr;
}

bool ZROrvikDecode::Initialize() {
    if (!CreateBuffer()) return false;
    inpos_ = outpos_ = 0;
    inbase_ = bytesread_ = written_ = done_ = 0;
    inptr_ = inbuf_;
    outptr_ = outbuf_ + kHistory;
    count_ = 0;
    flag_ = 0;
    bit_ = 0x80000000u;
    return true;
}

// Every read is checked against the bytes actually loaded, which never run past the
// compressed size, and every match against the bytes produced and the room left, so damaged
// input fails instead of reading stale bytes or writing outside the buffers.
void ZROrvikDecode::Run() {
    const auto corrupt = [] { throw std::runtime_error("ZROrvikDecode : Data Error"); };
    ReadInBuffer();
    unsigned char* const obase = outbuf_ + kHistory;
    unsigned char* const oend = outbuf_ + kDecOutSize;
    unsigned char* ip = inptr_;
    unsigned char* iend = inbuf_ + (bytesread_ - inbase_);
    unsigned char* op = outptr_;
    uint32_t flag = flag_, bit = bit_;
    int count = count_;
    const auto sync = [&] {
        inptr_ = ip;
        inpos_ = inbase_ + static_cast<int32_t>(ip - inbuf_);
        outptr_ = op;
        outpos_ = written_ + static_cast<int32_t>(op - obase);
    };
    const auto service = [&] {
        if (iend - ip < 256 && bytesread_ < compsize_) {
            sync();
            ReadInBuffer();
            ip = inptr_;
            iend = inbuf_ + (bytesread_ - inbase_);
            ProgressCallback();
        }
        if (op - obase > kBlock) {
            sync();
            WriteOutBuffer();
            op = outptr_;
            done_ = outpos_;
        }
    };
    while (written_ + (op - obase) < size_) {
        if (count == 0) {
            if (iend - ip < 4) corrupt();
            flag = ZRGetLE32(ip);
            ip += 4;
            bit = 0x80000000u;
            // A whole packet of literals, as incompressible stretches give, goes in one copy.
            if (flag == 0 && iend - ip >= 32 && size_ - (written_ + (op - obase)) >= 32) {
                std::memcpy(op, ip, 32);
                op += 32;
                ip += 32;
                service();
                continue;
            }
        }
        if (flag & bit) {
            if (ip == iend) corrupt();
            const int control = *ip++;
            const int lnib = control >> 4, dnib = control & 15;
            const int extra = (lnib == 14) + 2 * (lnib == 15) + (dnib >= 10);
            if (iend - ip < extra) corrupt();
            int length = lnib + 1;
            if (lnib == 14) {
                length = *ip++;
            } else if (lnib == 15) {
                length = ZRGetLE16(ip);
                ip += 2;
            }
            const int distance = dnib < 10 ? dnib + 1 : (dnib - 10) * 256 + *ip++;
            const int64_t produced = written_ + (op - obase);
            if (distance == 0 || distance > produced) corrupt();
            // A last match running past the end is cut there.
            if (length > size_ - produced) length = static_cast<int>(size_ - produced);
            if (length > oend - op) corrupt();
            const unsigned char* src = op - distance;
            if (distance == 1) {
                std::memset(op, src[0], length);
            } else if (distance >= 8 && length + 8 <= oend - op) {
                // Chunks may write up to 7 bytes past the match; those are overwritten later.
                for (int k = 0; k < length; k += 8) std::memcpy(op + k, src + k, 8);
            } else {
                for (int k = 0; k < length; ++k) op[k] = src[k];
            }
            op += length;
        } else {
            if (ip == iend) corrupt();
            *op++ = *ip++;
        }
        if (count < 31) {
            ++count;
            bit >>= 1;
        } else {
            count = 0;
        }
        service();
    }
    sync();
    flag_ = flag;
    bit_ = bit;
    count_ = count;
    outpos_ = size_;
    finished_ = 1;
    WriteOutBuffer();
    done_ = size_;
    ProgressCallback();
}

void ZROrvikDecode::ReadInBuffer() {
    const int keep = bytesread_ - inpos_;
    if (keep > 0) std::memmove(inbuf_, inptr_, keep);
    inbase_ = inpos_;
    inptr_ = inbuf_;
    if (bytesread_ < compsize_) {
        const int n = std::min(compsize_ - bytesread_, kBlock);
        if (read_.Call(inbuf_ + std::max(keep, 0), n) != n)
            throw std::runtime_error("ZROrvikDecode : ReadBuffer Error");
        bytesread_ += n;
    }
}

void ZROrvikDecode::WriteOutBuffer() {
    const int n = outpos_ - written_;
    if (n < kHistory && !finished_) return;
    if (n > 0 && write_.Call(outbuf_ + kHistory, n) != n)
        throw std::runtime_error("ZROrvikDecode : WriteBuffer Error");
    if (!finished_) {
        std::memmove(outbuf_, outbuf_ + n, kHistory);
        written_ = outpos_;
        outptr_ = outbuf_ + kHistory;
    }
}

void ZROrvikDecode::ProgressCallback() {
    if (progress_.IsSet()) progress_.Call(ZRCodecPercent(inpos_, compsize_));
}
