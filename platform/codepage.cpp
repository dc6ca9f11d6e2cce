#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <stdexcept>

namespace plat {
namespace {

const char* IconvName(CodePage cp) {
    return cp == CodePage::ShiftJis ? "CP932" : "CP936";
}

// iconv descriptors are not safe to share between threads: each call opens its own.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; returns false at an invalid or incomplete sequence,
    // leaving `in` at it.
    bool Run(std::string_view& in, std::string& out) {
        char buf[256];
        while (!in.empty()) {
            char* src = const_cast<char*>(in.data());
            size_t left = in.size();
            char* dst = buf;
            size_t room = sizeof buf;
            size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, static_cast<size_t>(dst - buf));
            in.remove_prefix(in.size() - left);
            if (r == static_cast<size_t>(-1) && errno != E2BIG) return false;
        }
        return true;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string ToUtf8(std::string_view bytes, CodePage cp) {
    Converter c("UTF-8", IconvName(cp));
    std::string out;
    while (!c.Run(bytes, out)) {
        out += "\xEF\xBF\xBD";
        bytes.remove_prefix(1);
    }
    return out;
}

std::string FromUtf8(std::string_view utf8, CodePage cp) {
    Converter c(IconvName(cp), "UTF-8");
    std::string out;
    while (!c.Run(utf8, out)) {
        out += '?';
        // Skip the whole UTF-8 sequence that could not be encoded.
        size_t n = 1;
        while (n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) ++n;
        utf8.remove_prefix(n);
    }
    return out;
}

bool FromUtf8Strict(std::string_view utf8, CodePage cp, std::string& out, size_t& bad) {
    Converter c(IconvName(cp), "UTF-8");
    out.clear();
    const size_t total = utf8.size();
    if (c.Run(utf8, out)) return true;
    bad = total - utf8.size();
    return false;
}

std::vector<char32_t> ToCodePoints(std::string_view bytes, CodePage cp) {
    std::string u = ToUtf8(bytes, cp);
    std::vector<char32_t> out;
    for (size_t i = 0; i < u.size();) {
        unsigned char c = static_cast<unsigned char>(u[i]);
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t v = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < n && i + static_cast<size_t>(k) < u.size(); ++k) {
            v = (v << 6) | (static_cast<unsigned char>(u[i + static_cast<size_t>(k)]) & 0x3F);
        }
        out.push_back(v);
        i += static_cast<size_t>(n);
    }
    return out;
}

namespace {
const std::string& Cached(const char* utf8, CodePage cp) {
    static std::mutex lock;
    static std::map<std::pair<const char*, CodePage>, std::string> cache;
    std::lock_guard<std::mutex> g(lock);
    auto key = std::make_pair(utf8, cp);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, FromUtf8(utf8, cp)).first;
    return it->second;
}
}  // namespace

const std::string& SjisText(const char* utf8_literal) {
    return Cached(utf8_literal, CodePage::ShiftJis);
}
const std::string& GbkText(const char* utf8_literal) {
    return Cached(utf8_literal, CodePage::Gbk);
}

CodePage CodePageForCharset(uint8_t charset) {
    return charset == 128 ? CodePage::ShiftJis : CodePage::Gbk;
}

}  // namespace plat
