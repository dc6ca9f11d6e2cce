#include "foundation/zrfont.h"

#include <cstring>
#include <list>
#include <mutex>

#include "foundation/zrhash.h"
#include "foundation/zrsys.h"

namespace {

struct CacheEntry {
    ZRFontHandle handle = nullptr;
    uint8_t charset = 0;
    char face[32] = {};
    uint16_t hash = 0;
    int height = 0;
    uint8_t pitch = 0;
    uint32_t style = 0;
    uint8_t quality = 0;
    uint32_t refs = 0;
};

// Fonts are made and released on the logic thread; the lock only keeps tests and tools
// that use fonts from several threads safe.
struct FontCache {
    std::mutex lock;
    std::list<CacheEntry> entries;  // creation order
};

FontCache& Cache() {
    static FontCache* c = new FontCache;
    return *c;
}

plat::FontSpec LogicalFont(const CacheEntry& e) {
    plat::FontSpec desc;
    desc.charset = e.charset;
    desc.face = ZRString(e.face).UpperCase() == ZRString("DEFAULT") ? "MS UI Gothic" : e.face;
    desc.height = e.height;
    desc.bold = e.style & (1u << fsBold);
    desc.italic = e.style & (1u << fsItalic);
    desc.underline = e.style & (1u << fsUnderline);
    desc.strikeout = e.style & (1u << fsStrikeOut);
    desc.quality = e.quality >= 1 && e.quality <= 4 ? e.quality : 0;
    desc.pitch = e.pitch <= 2 ? e.pitch : 0;
    return desc;
}

ZRFontHandle Acquire(uint8_t charset, const ZRString& name, int height, ZRFontPitch pitch,
                     ZRFontStyle style, ZRFontQuality quality) {
    CacheEntry e;
    e.charset = charset;
    std::strncpy(e.face, name.c_str(), sizeof e.face - 1);
    e.hash = ZRCalcHashMul16(e.face);
    e.height = height;
    e.pitch = pitch;
    e.style = style;
    e.quality = quality;
    FontCache& c = Cache();
    std::lock_guard<std::mutex> g(c.lock);
    for (CacheEntry& x : c.entries) {
        if (x.charset == e.charset && x.hash == e.hash && std::strcmp(x.face, e.face) == 0 &&
            x.height == e.height && x.pitch == e.pitch && x.style == e.style &&
            x.quality == e.quality) {
            ++x.refs;
            return x.handle;
        }
    }
    e.handle = plat::CreateRasterFont(LogicalFont(e));
    if (!e.handle) return nullptr;
    e.refs = 1;
    c.entries.push_back(e);
    return e.handle;
}

void GiveBack(ZRFontHandle h) {
    if (!h) return;
    FontCache& c = Cache();
    std::lock_guard<std::mutex> g(c.lock);
    for (auto it = c.entries.begin(); it != c.entries.end(); ++it) {
        if (it->handle != h) continue;
        if (--it->refs == 0) {
            plat::DeleteRasterFont(it->handle);
            c.entries.erase(it);
        }
        return;
    }
}

void AddRef(ZRFontHandle h) {
    FontCache& c = Cache();
    std::lock_guard<std::mutex> g(c.lock);
    for (CacheEntry& x : c.entries) {
        if (x.handle == h) {
            ++x.refs;
            return;
        }
    }
}

}  // namespace

ZRFont::ZRFont(const ZRFont& f) {
    CopyAttributes(f);
    if (f.handle_) {
        AddRef(f.handle_);
        handle_ = f.handle_;
    }
}

ZRFont::ZRFont(const ZRFontParam& p) {
    TakeAttributes(p);
}

ZRFont::~ZRFont() {
    Release();
}

void ZRFont::CopyAttributes(const ZRFont& f) {
    charset_ = f.GetCharset();
    name_ = f.name_;
    height_ = f.height_;
    pitch_ = f.pitch_;
    style_ = f.style_;
    quality_ = f.quality_;
}

void ZRFont::TakeAttributes(const ZRFontParam& p) {
    charset_ = p.charset;
    name_ = p.name;
    height_ = p.height;
    pitch_ = p.pitch;
    style_ = p.style & 0x0F;
    quality_ = p.quality;
}

ZRFont& ZRFont::operator=(const ZRFont& f) {
    if (f.handle_ && f.handle_ == handle_) return *this;
    CopyAttributes(f);
    if (f.handle_) {
        AddRef(f.handle_);
        Select(f.handle_);
    } else {
        Release();
    }
    return *this;
}

ZRFont& ZRFont::operator=(const ZRFontParam& p) {
    TakeAttributes(p);
    RenewHandle();
    return *this;
}

// Takes a handle whose reference is already counted, giving the old one back and keeping
// an open text output on the new font.
void ZRFont::Select(ZRFontHandle h) {
    ZRFontHandle old = handle_;
    handle_ = h;
    if (dc_) dc_->font = h;
    GiveBack(old);
}

bool ZRFont::Create() {
    if (!handle_) handle_ = Acquire(charset_, name_, height_, pitch_, style_, quality_);
    return handle_ != nullptr;
}

void ZRFont::Release() {
    EndTextOut();
    GiveBack(handle_);
    handle_ = nullptr;
}

void ZRFont::RenewHandle() {
    if (!handle_) return;
    Select(Acquire(charset_, name_, height_, pitch_, style_, quality_));
}

void ZRFont::SetCharset(unsigned char charset) {
    charset_ = charset;
    RenewHandle();
}
void ZRFont::SetName(const ZRString& name) {
    name_ = name;
    RenewHandle();
}
void ZRFont::SetHeight(int height) {
    height_ = height;
    RenewHandle();
}
void ZRFont::SetPitch(ZRFontPitch pitch) {
    pitch_ = pitch;
    RenewHandle();
}
void ZRFont::SetStyle(ZRFontStyle style) {
    style_ = style & 0x0F;
    RenewHandle();
}
void ZRFont::SetQuality(ZRFontQuality quality) {
    quality_ = quality;
    RenewHandle();
}
void ZRFont::AddStyle(int bit) {
    if (bit < 0 || bit >= 4) return;
    style_ = static_cast<ZRFontStyle>(style_ | (1u << bit));
    RenewHandle();
}
void ZRFont::DelStyle(int bit) {
    if (bit < 0 || bit >= 4) return;
    style_ = static_cast<ZRFontStyle>(style_ & ~(1u << bit));
    RenewHandle();
}

void ZRFont::CopyFromTFont(const plat::TFont* f) {
    if (!f) return;
    charset_ = f->charset;
    name_ = ZRString(f->name.c_str());
    height_ = f->height;
    pitch_ = f->pitch == plat::FontPitch::Variable ? fpVariable
             : f->pitch == plat::FontPitch::Fixed  ? fpFixed
                                                   : fpDefault;
    style_ = static_cast<ZRFontStyle>((f->bold ? 1 : 0) | (f->italic ? 2 : 0) |
                                      (f->underline ? 4 : 0) | (f->strikeout ? 8 : 0));
    RenewHandle();
}

void ZRFont::CopyFromTFont(const plat::TFont* f, ZRFontQuality q) {
    quality_ = q;
    CopyFromTFont(f);
}

void ZRFont::CopyFromHandle(ZRFontHandle h) {
    plat::FontSpec desc;
    if (!h || h == handle_ || !plat::DescribeRasterFont(h, desc)) return;
    charset_ = desc.charset;
    name_ = ZRString(desc.face.c_str());
    height_ = desc.height;
    pitch_ = desc.pitch == 2 ? fpFixed : desc.pitch == 1 ? fpVariable : fpDefault;
    style_ = static_cast<ZRFontStyle>((desc.bold ? 1 : 0) | (desc.italic ? 2 : 0) |
                                      (desc.underline ? 4 : 0) | (desc.strikeout ? 8 : 0));
    quality_ = desc.quality >= 1 && desc.quality <= 4 ? static_cast<ZRFontQuality>(desc.quality)
                                                      : fqDefault;
    RenewHandle();
}

bool ZRFont::StartTextOut(plat::DrawSurface* dc, uint32_t rgb) {
    if (!handle_ || !dc) return false;
    EndTextOut();
    dc_ = dc;
    previous_ = dc->font;
    dc->font = handle_;
    dc->transparent = true;
    dc->text_colour = DWORD2COLORREF(rgb);
    return true;
}

void ZRFont::EndTextOut() {
    if (!dc_) return;
    dc_->font = previous_;
    dc_ = nullptr;
    previous_ = nullptr;
}

void ZRFont::SetColor(uint32_t rgb) {
    if (dc_) dc_->text_colour = DWORD2COLORREF(rgb);
}

bool ZRFont::GetExtentPoint(const char* text, int length, ZRSize* size) const {
    if (!dc_ || !text || !size || length < 0) return false;
    plat::TextExtent e;
    if (!plat::MeasureText(handle_, std::string_view(text, static_cast<size_t>(length)), e))
        return false;
    size->cx = e.cx;
    size->cy = e.cy;
    return true;
}

bool ZRFont::GetExtentPoint(const ZRString& text, ZRSize* size) const {
    return GetExtentPoint(text.c_str(), text.Length(), size);
}

bool ZRFont::Write(int x, int y, const char* text, int length) {
    if (!dc_ || !text || length < 0) return false;
    return plat::DrawText(*dc_, x, y, std::string_view(text, static_cast<size_t>(length)));
}

bool ZRFont::Write(int x, int y, const ZRString& text) {
    return Write(x, y, text.c_str(), text.Length());
}

int _ZRDBG_GetFontSize() {
    FontCache& c = Cache();
    std::lock_guard<std::mutex> g(c.lock);
    return static_cast<int>(c.entries.size());
}

int _ZRDBG_GetFontList(ZRFontParam* out, int max) {
    FontCache& c = Cache();
    std::lock_guard<std::mutex> g(c.lock);
    int n = 0;
    for (auto it = c.entries.begin(); it != c.entries.end() && n < max; ++it, ++n) {
        out[n].charset = it->charset;
        out[n].name = it->face;
        out[n].height = it->height;
        out[n].pitch = static_cast<ZRFontPitch>(it->pitch);
        out[n].style = static_cast<ZRFontStyle>(it->style);
        out[n].quality = static_cast<ZRFontQuality>(it->quality);
    }
    return n;
}
