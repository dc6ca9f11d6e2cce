#include "foundation/zrstring.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>

struct ZRStringRep {
    std::string text;
    const ZRString* owner = nullptr;
    int32_t count = 1;
};

namespace {

// One lock guards the registry and every reference count.
struct Registry {
    std::mutex lock;
    std::set<ZRStringRep*> live;
};

Registry& Reg() {
    static Registry* r = new Registry;  // never destroyed: strings may outlive static teardown
    return *r;
}

const std::string& EmptyText() {
    static const std::string* e = new std::string;
    return *e;
}

constexpr int kFormatBufferSize = 1024;

}  // namespace

// ---- representation management ----

void ZRString::Share(ZRStringRep* rep) {
    rep_ = rep;
    if (!rep) return;
    Registry& r = Reg();
    std::lock_guard<std::mutex> g(r.lock);
    if (r.live.count(rep)) ++rep->count;
}

void ZRString::Release() {
    ZRStringRep* rep = rep_;
    rep_ = nullptr;
    if (!rep) return;
    bool free_it = false;
    {
        Registry& r = Reg();
        std::lock_guard<std::mutex> g(r.lock);
        if (!r.live.count(rep)) return;
        if (rep->owner == this) rep->owner = nullptr;
        if (--rep->count < 1) {
            r.live.erase(rep);
            free_it = true;
        }
    }
    if (free_it) delete rep;
}

std::string& ZRString::GetStr() {
    Registry& r = Reg();
    std::unique_lock<std::mutex> g(r.lock);
    if (rep_ && r.live.count(rep_) && rep_->count == 1) {
        if (rep_->owner == this || rep_->owner == nullptr) {
            rep_->owner = this;
            return rep_->text;
        }
    }
    auto* fresh = new ZRStringRep;
    fresh->owner = this;
    if (rep_) fresh->text = rep_->text;
    r.live.insert(fresh);
    g.unlock();
    Release();
    rep_ = fresh;
    return fresh->text;
}

const std::string& ZRString::GetConstStr() const { return rep_ ? rep_->text : EmptyText(); }

void ZRString::Assign(const char* s, size_t n) {
    if (n == 0) {
        Release();
        return;
    }
    GetStr().assign(s, n);
}

// ---- construction and assignment ----

ZRString::ZRString(const ZRString& s) { Share(s.rep_); }
ZRString::ZRString(const char* s) { Assign(s ? s : "", s ? std::strlen(s) : 0); }
ZRString::ZRString(const char* s, unsigned int length) { Assign(s, s ? length : 0); }
ZRString::ZRString(const plat::AnsiString& s) : ZRString(s.c_str()) {}
ZRString::ZRString(char c) {
    if (c) Assign(&c, 1);
}
ZRString::ZRString(short v) { sprintf("%hd", v); }
ZRString::ZRString(unsigned short v) { sprintf("%hu", v); }
ZRString::ZRString(int v) { sprintf("%i", v); }
ZRString::ZRString(unsigned int v) { sprintf("%u", v); }
ZRString::ZRString(long v) { sprintf("%ld", v); }
ZRString::ZRString(unsigned long v) { sprintf("%lu", v); }
ZRString::ZRString(long long v) { sprintf("%lld", v); }
ZRString::ZRString(unsigned long long v) { sprintf("%llu", v); }
ZRString::~ZRString() { Release(); }

ZRString& ZRString::operator=(const ZRString& s) {
    if (rep_ == s.rep_) return *this;
    ZRStringRep* keep = s.rep_;
    Release();
    Share(keep);
    return *this;
}

ZRString& ZRString::operator=(const char* s) {
    std::string copy(s ? s : "");  // s may point into our own text
    Assign(copy.data(), copy.size());
    return *this;
}

ZRString& ZRString::operator=(const plat::AnsiString& s) { return *this = s.c_str(); }

ZRString::operator plat::AnsiString() const { return plat::AnsiString(c_str()); }

// ---- element access ----

void ZRString::ThrowIfOutOfRange(int position) const {
    if (position < 1 || position > Length()) throw std::out_of_range("Index is out of range");
}

char ZRString::operator[](int position) const {
    ThrowIfOutOfRange(position);
    return GetConstStr()[static_cast<size_t>(position - 1)];
}

char& ZRString::operator[](int position) {
    ThrowIfOutOfRange(position);
    return GetStr()[static_cast<size_t>(position - 1)];
}

// ---- concatenation and comparison ----

ZRString& ZRString::operator+=(const ZRString& s) {
    std::string tail = s.GetConstStr();  // s may be this string
    GetStr() += tail;
    return *this;
}

ZRString ZRString::operator+(const ZRString& s) const {
    ZRString r(*this);
    r += s;
    return r;
}

ZRString ZRString::operator+(const char* s) const { return *this + ZRString(s); }

ZRString operator+(const char* a, const ZRString& b) { return ZRString(a) + b; }

bool ZRString::operator==(const ZRString& s) const { return GetConstStr() == s.GetConstStr(); }

int ZRString::Compare(const ZRString& s) const {
    const std::string& a = GetConstStr();
    const std::string& b = s.GetConstStr();
    size_t n = std::min(a.size(), b.size());
    int c = std::memcmp(a.data(), b.data(), n);
    if (c != 0) return c;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// ---- editing ----

ZRString& ZRString::Insert(const ZRString& s, int position) {
    std::string ins = s.GetConstStr();
    int64_t offset = static_cast<int64_t>(position) - 1;
    if (offset < 0) offset = 0;
    if (offset > Length()) offset = Length();
    GetStr().insert(static_cast<size_t>(offset), ins);
    return *this;
}

namespace {
// Shared clamping of Delete and SubString: returns false when nothing is selected.
bool ClampRange(int length, int position, int count, int64_t& offset, int64_t& n) {
    offset = static_cast<int64_t>(position) - 1;
    n = count;
    if (offset < 0) {
        n += offset;
        offset = 0;
    }
    if (length < offset + n) n = length - offset;
    return n > 0;
}
}  // namespace

ZRString& ZRString::Delete(int position, int count) {
    int64_t offset, n;
    if (ClampRange(Length(), position, count, offset, n)) {
        GetStr().erase(static_cast<size_t>(offset), static_cast<size_t>(n));
    }
    if (IsEmpty()) Release();
    return *this;
}

void ZRString::SetLength(int n) {
    if (n <= 0) {
        Release();
        return;
    }
    GetStr().resize(static_cast<size_t>(n), '\0');
}

void ZRString::Clear() { Release(); }

ZRString ZRString::StringOfChar(char c, int n) {
    ZRString r;
    if (n > 0) r.Assign(std::string(static_cast<size_t>(n), c).data(), static_cast<size_t>(n));
    return r;
}

// ---- formatting ----

void ZRString::vprintf(const char* format, va_list args) {
    thread_local char buffer[kFormatBufferSize];
    // Format before taking write access: the arguments may point into this string's text.
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    std::string& text = GetStr();
    if (n <= 0) {
        text.clear();
    } else if (n >= kFormatBufferSize) {
        text.assign(buffer, kFormatBufferSize);
    } else {
        text.assign(buffer);
    }
}

ZRString& ZRString::sprintf(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
    return *this;
}

void ZRString::printf(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
}

// ---- copies with changes ----

namespace {
template <typename F>
ZRString MapAscii(const std::string& s, F f) {
    std::string out = s.c_str();  // an embedded NUL ends the result
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (ZRString::IsLead(c)) {
            ++i;
            continue;
        }
        out[i] = f(out[i]);
    }
    return ZRString(out.c_str());
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

ZRString ZRString::LowerCase() const {
    return MapAscii(GetConstStr(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
}

ZRString ZRString::UpperCase() const {
    return MapAscii(GetConstStr(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
}

ZRString ZRString::TrimLeft() const {
    const char* p = c_str();
    while (*p && IsBlank(*p)) ++p;
    return ZRString(p);
}

ZRString ZRString::TrimRight() const {
    std::string s = c_str();
    while (!s.empty() && IsBlank(s.back())) s.pop_back();
    return ZRString(s.c_str());
}

ZRString ZRString::Trim() const { return TrimLeft().TrimRight(); }

ZRString ZRString::SubString(int position, int count) const {
    int64_t offset, n;
    if (!ClampRange(Length(), position, count, offset, n)) return ZRString();
    return ZRString(GetConstStr().data() + offset, static_cast<unsigned int>(n));
}

// ---- search and character tests ----

int ZRString::Pos(const ZRString& s) const {
    const std::string& t = GetConstStr();
    if (t.empty()) return 0;
    size_t at = t.find(s.GetConstStr());
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

int ZRString::AnsiPos(const ZRString& s) const {
    const std::string& t = GetConstStr();
    const std::string& n = s.GetConstStr();
    if (n.empty()) return 0;
    size_t off = 0;
    while (off + n.size() <= t.size()) {
        if (t[off] == n[0] && t.compare(off, n.size(), n) == 0) return static_cast<int>(off) + 1;
        off += IsLead(static_cast<unsigned char>(t[off])) ? 2 : 1;
    }
    return 0;
}

int ZRString::ByteType(int position) const {
    if (position < 1 || position > Length()) return 0;
    const std::string& t = GetConstStr();
    auto lead = [&](int pos) { return IsLead(static_cast<unsigned char>(t[static_cast<size_t>(pos - 1)])); };
    int leads = 0;
    for (int p = position - 1; p >= 1 && lead(p); --p) ++leads;
    if (leads & 1) return 2;
    return lead(position) ? 1 : 0;
}

bool ZRString::IsDelimiter(const ZRString& delimiters, int position) const {
    if (position < 1 || position > Length() || ByteType(position) != 0) return false;
    char c = GetConstStr()[static_cast<size_t>(position - 1)];
    return delimiters.GetConstStr().find(c) != std::string::npos;
}

bool ZRString::IsPathDelimiter(int position) const { return IsDelimiter(ZRString("\\"), position); }

int ZRString::LastDelimiter(const ZRString& delimiters) const {
    const std::string& t = GetConstStr();
    const std::string& d = delimiters.GetConstStr();
    int found = 0;
    for (size_t i = 0; i < t.size();) {
        if (d.find(t[i]) != std::string::npos) found = static_cast<int>(i) + 1;
        i += IsLead(static_cast<unsigned char>(t[i])) ? 2 : 1;
    }
    return found;
}

int ZRLastDelimiter(const ZRString s, const ZRString delimiters) { return s.LastDelimiter(delimiters); }

const char* ZRString::AnsiLastChar() const {
    int n = Length();
    if (n == 0) throw std::out_of_range("AnsiLastChar error");
    const char* base = c_str();
    return ByteType(n) == 2 ? base + n - 2 : base + n - 1;
}

// ---- numbers ----

bool ZRString::ParseInt(int& value) const {
    const std::string& t = GetConstStr();
    if (t.empty()) return false;
    uint32_t v = 0;
    bool negative = false;
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c == '-' && i == 0) {
            negative = true;
        } else if (c >= '0' && c <= '9') {
            v = v * 10u + static_cast<uint32_t>(c - '0');  // wraps as 32-bit arithmetic does
        } else {
            return false;
        }
    }
    if (negative) v = 0u - v;
    value = static_cast<int>(v);
    return true;
}

int ZRString::ToInt() const {
    int v;
    if (!ParseInt(v)) throw std::invalid_argument("ToInt error");
    return v;
}

int ZRString::ToIntDef(int def) const {
    int v;
    return ParseInt(v) ? v : def;
}

ZRString ZRIntToStr(int value) { return ZRString(value); }
ZRString ZRIntToStr(long long value) { return ZRString(value); }

namespace {
ZRString PadHex(ZRString s, int digits) {
    if (digits > s.Length()) s.Insert(ZRString::StringOfChar('0', digits - s.Length()), 1);
    return s;
}
}  // namespace

ZRString ZRIntToHex(int value, int digits) { return PadHex(ZRString().sprintf("%X", value), digits); }
ZRString ZRIntToHex(long long value, int digits) {
    return PadHex(ZRString().sprintf("%llX", value), digits);
}

// ---- debug registry ----

int _ZRDBG_GetStrSize() {
    Registry& r = Reg();
    std::lock_guard<std::mutex> g(r.lock);
    return static_cast<int>(r.live.size());
}

int _ZRDBG_GetStrList(const std::string** list, int max) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> g(r.lock);
    int n = 0;
    for (auto it = r.live.begin(); it != r.live.end() && n < max; ++it) list[n++] = &(*it)->text;
    return n;
}
