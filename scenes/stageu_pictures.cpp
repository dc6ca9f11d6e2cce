// The stage's pictures: which background file a code and the time of day choose, the
// character pictures with their definitions, and the per-frame animation of both.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <string>

#include "game/gamedef.h"
#include "game/gamefunc.h"
#include "media/zrpng.h"
#include "platform/exception.h"
#include "scenes/stageu.h"

// ---- Character records and their definitions ----

void CharRecord::Clear() {
    created = false;
    width = height = 0;
    picture.reset();
    alpha.reset();
    for (auto& i : image) i = {0, 0, 0, 0};
    for (auto& a : anim)
        for (auto& f : a) f = {-1, 1};
    for (auto& e : entry) e = {0, 0, -1, -1, 0, 0};
    blinkTimer = 0;
}

CharRecord::Image CharRecord::EntryImage(int e) const {
    const Entry& en = entry[e];
    int32_t img = en.image;
    if (img < 0 && en.anim >= 0 && en.anim < kAnims) {
        const int32_t f = std::clamp(en.frame, 0, kFrames - 1);
        img = anim[en.anim][f].image;
    }
    if (img < 0 || img >= kImages) return {0, 0, 0, 0};
    return image[img];
}

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A whole decimal integer with an optional sign that fits 32 bits; otherwise the default.
int32_t ToInt(std::string_view s, int32_t def) {
    s = Trim(s);
    bool neg = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        neg = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 10) return def;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return def;
        v = v * 10 + (c - '0');
    }
    if (neg) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return def;
    return static_cast<int32_t>(v);
}

void ParseAnimation(CharRecord::Frame* frames, std::string_view v) {
    for (int n = 0; n < CharRecord::kFrames; ++n) {
        const size_t open = v.find('<');
        if (open == std::string_view::npos) return;
        const size_t close = v.find('>', open);
        if (close == std::string_view::npos || close - open < 4) return;
        const std::string_view inner = Trim(v.substr(open + 1, close - open - 1));
        CharRecord::Frame f{-1, 1};
        if (inner == "LOOP") {
            f.image = -2;
        } else if (inner != "END") {
            const size_t comma = inner.find(',');
            if (comma == 0 || (comma != std::string_view::npos && comma + 1 == inner.size()))
                return;
            f.image = ToInt(inner.substr(0, comma), -1);
            if (comma != std::string_view::npos) f.wait = ToInt(inner.substr(comma + 1), 1);
            if (f.wait < 1) f.wait = 1;
            // An image the record cannot hold ends the list.
            if (f.image < -2 || f.image >= CharRecord::kImages) f.image = -1;
        }
        frames[n] = f;
        if (f.image == -1 && inner != "END") return;
        v.remove_prefix(close + 1);
    }
}

}  // namespace

void ParseCharDefinition(CharRecord& rec, std::string_view text) {
    int section = 0;
    int32_t id = -1;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string line(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const std::string_view l = Trim(line);
        if (l == "[BASE]" || l == "[IMG]" || l == "[ANIM]" || l == "[ENTRY]") {
            section = l == "[BASE]" ? 1 : l == "[IMG]" ? 2 : l == "[ANIM]" ? 3 : 4;
            id = -1;
            continue;
        }
        if (section == 0) continue;
        const size_t eq = line.find('=');
        std::string_view key, value;
        if (eq != std::string::npos && eq > 0) {
            key = Trim(std::string_view(line).substr(0, eq));
            value = Trim(std::string_view(line).substr(eq + 1));
        }
        if (section == 1) {
            // Sizes stay within what a panel can place without overflowing.
            if (key == "WIDTH") rec.width = std::clamp(ToInt(value, 0), 0, CharRecord::kMaxSize);
            if (key == "HEIGHT") rec.height = std::clamp(ToInt(value, 0), 0, CharRecord::kMaxSize);
            continue;
        }
        if (id < 0) {
            if (key != "ID") continue;
            id = ToInt(value, -1);
            const int32_t limit = section == 2 ? CharRecord::kImages : CharRecord::kAnims;
            if (id >= limit || id < 0) id = -1;
            continue;
        }
        if (section == 2) {
            CharRecord::Image& im = rec.image[id];
            if (key == "POSX") im.x = ToInt(value, 0);
            if (key == "POSY") im.y = ToInt(value, 0);
            if (key == "WIDTH") im.w = ToInt(value, 0);
            if (key == "HEIGHT") im.h = ToInt(value, 0);
        } else if (section == 3) {
            if (key == "ANIMATION") ParseAnimation(rec.anim[id], value);
        } else {
            CharRecord::Entry& en = rec.entry[id];
            if (key == "POSX") en.x = ToInt(value, 0);
            if (key == "POSY") en.y = ToInt(value, 0);
            if (key == "IMG_ID") {
                en.image = ToInt(value, -1);
                if (en.image < 0 || en.image >= CharRecord::kImages) en.image = -1;
            }
            if (key == "ANIM_ID") {
                en.anim = ToInt(value, -1);
                if (en.anim < 0 || en.anim >= CharRecord::kAnims) en.anim = -1;
            }
        }
    }
}

bool TStageUnit::ReadCharDefinition(CharRecord& rec, const ZRString& name) {
    if (!CGFiles) return false;
    ZRStream* s = CGFiles->Open(name);
    if (!s) return false;
    std::string text;
    const int size = s->GetSize();
    if (size > 0 && size <= (1 << 20)) {
        text.resize(static_cast<size_t>(size));
        const int got = s->Read(text.data(), size);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    CGFiles->Close(s);
    ParseCharDefinition(rec, text);
    return true;
}

// ---- Drawing and animating characters ----

namespace {

// The panel rectangle an entry covers with an image, kept inside what an int can hold.
ZRRect EntryRect(const CharRecord::Entry& en, const CharRecord::Image& im) {
    auto fit = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    const int64_t w = std::clamp(im.w, 0, CharRecord::kMaxSize);
    const int64_t h = std::clamp(im.h, 0, CharRecord::kMaxSize);
    return ZRRect{fit(en.x), fit(en.y), fit(int64_t{en.x} + w), fit(int64_t{en.y} + h)};
}

}  // namespace

void TStageUnit::DrawCharRecord(const CharRecord& rec, TNyRGBBits* dest, int ox, int oy,
                                const ZRRect& area, int32_t rate) {
    if (!rec.Holds() || !dest) return;
    TNyRGBBits* pic = rec.picture.get();
    TNyAlpha* alpha = rec.alpha && rec.alpha->Created() ? rec.alpha.get() : nullptr;
    for (int e = 0; e < CharRecord::kEntries; ++e) {
        const CharRecord::Entry& en = rec.entry[e];
        if (en.image < 0 && en.anim < 0) continue;
        const CharRecord::Image im = rec.EntryImage(e);
        if (im.w <= 0 || im.h <= 0) continue;
        ZRRect r = EntryRect(en, im);
        if (!r.IntersectRect(area)) continue;
        // The bitmap calls themselves refuse or clip a source rectangle outside the picture;
        // only a source beyond what an int can say is left out here.
        const int64_t sx64 = int64_t{im.x} + r.left - en.x, sy64 = int64_t{im.y} + r.top - en.y;
        if (sx64 < INT32_MIN / 2 || sx64 > INT32_MAX / 2 || sy64 < INT32_MIN / 2 ||
            sy64 > INT32_MAX / 2)
            continue;
        const int sx = static_cast<int>(sx64), sy = static_cast<int>(sy64);
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int dx = ox + r.left, dy = oy + r.top;
        if (rate >= 128) {
            if (alpha)
                dest->DrawAlphaMask(dx, dy, pic, sx, sy, w, h, alpha);
            else
                dest->Draw(dx, dy, pic, sx, sy, w, h);
        } else if (rate > 0) {
            if (alpha)
                dest->DrawDoubleAlphaMask(dx, dy, pic, sx, sy, w, h, alpha, rate);
            else
                dest->AlphaBlend(dx, dy, pic, sx, sy, w, h, rate);
        }
    }
}

void TStageUnit::EntryStart(CharRecord& rec, int e) {
    rec.entry[e].counter = 0;
    rec.entry[e].frame = 0;
}

void TStageUnit::EntryStop(CharRecord& rec, int e) {
    rec.entry[e].counter = -1;
    rec.entry[e].frame = 0;
}

bool TStageUnit::EntryAnimTick(CharRecord& rec, int e, TNyRGBPanel* panel) {
    CharRecord::Entry& en = rec.entry[e];
    if (en.anim < 0 || en.anim >= CharRecord::kAnims || en.counter == -1) return false;
    const CharRecord::Frame* frames = rec.anim[en.anim];
    en.frame = std::clamp(en.frame, 0, CharRecord::kFrames - 1);
    if (frames[en.frame].image < 0) return false;
    if (++en.counter < frames[en.frame].wait) return false;
    en.counter = 0;
    const CharRecord::Image before = rec.EntryImage(e);
    const int next = en.frame + 1;
    if (next >= CharRecord::kFrames || frames[next].image == -1 || frames[next].image < -2) {
        en.counter = -1;
    } else if (frames[next].image == -2) {
        en.frame = 0;
    } else {
        en.frame = next;
    }
    const CharRecord::Image after = rec.EntryImage(e);
    if (panel) {
        panel->SetModifyRect(EntryRect(en, before));
        panel->SetModifyRect(EntryRect(en, after));
    }
    return true;
}

void TStageUnit::BlinkTick(int slot) {
    CharRecord& rec = Chars[0][slot];
    if (!rec.Holds()) return;
    const CharRecord::Entry& en = rec.entry[1];
    if (en.anim < 0 || en.counter != -1) return;
    if (rec.blinkTimer == 0) {
        rec.blinkTimer = Rng.Random(60) + 120;
    } else if (--rec.blinkTimer == 0) {
        EntryStart(rec, 1);
    }
}

void TStageUnit::BGAnimTick(StageRecord& rec, TNyRGBPanel* panel) {
    if (rec.pages < 2) return;
    if (++rec.pageCounter < rec.pageWait) return;
    rec.pageCounter = 0;
    rec.page = (rec.page + 1) % rec.pages;
    if (panel) panel->SetModify();
}

void TStageUnit::SetSpeaking(int slot, bool on) {
    if (slot < 0 || slot >= kSlots) return;
    CharRecord& rec = Chars[0][slot];
    // The host repeats the flag every frame: only a change starts or stops the mouth.
    if (on) {
        if (rec.entry[2].counter == -1) EntryStart(rec, 2);
    } else {
        EntryStop(rec, 2);
    }
}

// ---- Backgrounds ----

bool TStageUnit::FindBackgroundFile(int32_t n, uint8_t letter, ZRString& name) {
    if (!BGFiles) return false;
    char buf[32];
    if (letter < 0xFF) {
        std::snprintf(buf, sizeof buf, "an%03d%c.ini", static_cast<int>(n), 'a' + letter);
        if (!BGFiles->FileIsExist(buf)) return false;
        name = buf;
        return true;
    }
    for (const char* ext : {".bmp", ".jpg", ".png", ".lzh"}) {
        std::snprintf(buf, sizeof buf, "bg%03d%s", static_cast<int>(n), ext);
        if (BGFiles->FileIsExist(buf)) {
            name = buf;
            return true;
        }
    }
    return false;
}

namespace {

// The PNG decoder fills a plane for any file it is given one for, all opaque when the file has
// no alpha channel, so whether there is one is read from the file's header. The stream is left
// at its start for the decoder.
bool PngHasAlpha(ZRStream* stream) {
    bool four = false;
    try {
        four = ChkChannelPng(stream) == 4;
    } catch (const std::exception&) {
    }
    stream->Seek(0, zrSeekSet);
    return four;
}

void ApplyColourEffect(TNyRGBBits* b, int32_t effect) {
    if (!b || !b->Created() || effect == 0) return;
    const int x2 = b->Width() - 1, y2 = b->Height() - 1;
    if (effect == 1) {
        b->Sepia(0, 0, x2, y2);
    } else if (effect == 2) {
        b->Monochrome(0, 0, x2, y2);
        b->Negative(0, 0, x2, y2);
    }
}

}  // namespace

void TStageUnit::UpdateBackground(bool keep) {
    uint8_t letter = 0xFF;
    int32_t tone = 0, v = 0, e = 0;
    bool found = false;
    ZRString file;
    const int32_t c = StagedBG;
    int32_t k = c / 1000;
    int32_t n = c % 1000;
    if (n < 0 || k < 0) n = 999, k = 0;
    if (n == 997) n = 999, k = 0;
    const bool A = k == 1 || k == 4 || k == 5;
    const bool B = k == 2 || k == 4;
    const bool C = k == 3 || k == 5;
    const int32_t W = Weather;
    if (n >= 500 && n <= 899) {
        found = FindBackgroundFile(n, 0xFF, file);
    } else if (n < 500) {
        if (W == 2) v = B ? 6 : C ? 7 : A ? 5 : 1;
        if (W == 3) v = A ? 8 : 2;
        if (W == 4) v = 3;
        if (W == 5) v = 4;
        const uint8_t want = W == 2 ? 1 : 0;
        const int32_t base = Period + ((W == 1 || W == 2 || W == 3) ? 4 : 0);
        const int32_t tens = n / 10 * 10;
        int32_t cand[3] = {tens + base, -1, -1};
        if (base == 5) cand[1] = tens + 7, cand[2] = tens + 4;
        if (base == 6) cand[1] = tens + 4;
        if (base == 7) cand[1] = tens + 5, cand[2] = tens + 4;
        for (int32_t m : cand) {
            if (m < 0) continue;
            if (FindBackgroundFile(m, want, file)) {
                letter = want;
            } else if (want == 1 && FindBackgroundFile(m, 0, file)) {
                letter = 0;
            } else if (FindBackgroundFile(m, 0xFF, file)) {
                letter = 0xFF;
            } else {
                continue;
            }
            found = true;
            n = m;
            break;
        }
        if (found) {
            switch (base) {
                case 1:
                    tone = A ? 4 : 3;
                    break;
                case 2:
                    tone = A ? 6 : 5;
                    break;
                case 4:
                case 5:
                case 7:
                    tone = A ? 2 : 1;
                    break;
                case 6:
                    tone = A ? 6 : 5;
                    break;
                default:
                    tone = 0;
                    break;
            }
        }
        if (W == 4) e = 1;
        if (W == 5) e = 2;
    }
    AppliedBG = c;
    ToneMode = tone;
    StageRecord& rec0 = BG[0];
    const bool changed = LoadedBG != n || Letter != letter || ColourEffect != e;
    int32_t variantNow = v;
    if (!changed && rec0.variant == v) {
        rec0.rainLevel = RainLevel;
        weather_[0][0]->SetModify();
        weather_[0][1]->SetModify();
        return;
    }
    if (changed) {
        LoadedBG = n;
        Letter = letter;
        ColourEffect = e;
    }
    if (n >= 500 && n <= 699) SysData.SetAlbumBit(n - 500);
    int32_t pages = 1, wait = 1;
    if (letter != 0xFF) {
        // Background definitions are only recognised: their stand-in picture is shown.
        file = "Dammy.jpg";
        pages = 1;
        wait = 4;
    }
    auto create = [&](StageRecord& r) {
        r = StageRecord{};
        r.picture = std::shared_ptr<TNyRGBBits>(new TNyRGBBits(nullptr));
        r.picture->SetBitDepth(WorkBitDepth == bd24 ? bd24 : bd32);
        r.picture->Resize(kWidth, kHeight * pages);
        if (!r.picture->Create()) throw plat::Exception("TStageUnit::BGStatCreate Create Error");
        r.pages = pages;
        r.pageWait = 1;
        r.created = true;
    };
    if (keep) {
        if (changed) {
            BG[1] = std::move(BG[0]);
            BG[0] = StageRecord{};
            create(BG[0]);
        } else {
            BG[1] = BG[0];
        }
        SecondBG = 1;
    } else if (!rec0.created || rec0.pages != pages) {
        create(rec0);
    }
    if (changed) {
        rec0.pageWait = letter == 0xFF ? 0 : wait;
        rec0.page = rec0.pageCounter = 0;
        rec0.alpha.reset();
        TNyRGBBits* pic = rec0.picture.get();
        const int x2 = pic->Width() - 1, y2 = pic->Height() - 1;
        if (n == 999) {
            pic->BoxFill(0, 0, x2, y2, pic->TNyRGBtoPixel(ZRRGB{0, 0, 0}));
        } else if (n == 998) {
            pic->BoxFill(0, 0, x2, y2, pic->TNyRGBtoPixel(ZRRGB{0xFF, 0xFF, 0xFF}));
        } else if (found) {
            // A smaller file must not leave the old picture around it.
            pic->Cls();
            // Only a file with an alpha channel gets a plane, opaque or not: the plane is what
            // lets the weather through over a class-A background.
            // The file is opened once for the look at its header and the drawing.
            const ImageKind kind = ImageKindOf(file);
            const OpenedFile opened(BGFiles.get(), file);
            std::shared_ptr<TNyAlpha> alpha;
            if (kind == 3 && opened.stream && PngHasAlpha(opened.stream))
                alpha = std::make_shared<TNyAlpha>(nullptr);
            if (kind == 0 || !opened.stream ||
                !DrawImageStream(pic, alpha.get(), kind, 0, 0, opened.stream)) {
                pic->Cls();
            } else if (alpha && alpha->Created()) {
                if (alpha->Width() != pic->Width() || alpha->Height() != pic->Height()) {
                    auto full = std::make_shared<TNyAlpha>(nullptr);
                    full->Resize(pic->Width(), pic->Height());
                    if (full->Create()) {
                        // The margin around a smaller picture lets no weather through.
                        full->Fill(0);
                        full->Draw(0, 0, alpha.get(), 0, 0, std::min(alpha->Width(), pic->Width()),
                                   std::min(alpha->Height(), pic->Height()));
                        rec0.alpha = full;
                    }
                } else {
                    rec0.alpha = alpha;
                }
            }
            ApplyColourEffect(pic, e);
        } else {
            pic->Cls();
        }
    }
    if (A && (W == 2 || W == 3) && !rec0.alpha) variantNow = 0;
    rec0.variant = variantNow;
    rec0.rainLevel = RainLevel;
    ShowWeatherPanels(false, variantNow);
    bgPanel_->SetModify();
    if (variantNow >= 1 && variantNow != 4) WeatherInit(rec0);
}

// ---- Characters ----

void TStageUnit::LoadChar(CharRecord& rec, TNyRGBPanel* panel, int32_t code, int32_t id) {
    rec.Clear();
    rec.created = true;
    auto finish = [&] {
        rec.blinkTimer = 0;
        EntryStop(rec, 1);
        EntryStop(rec, 2);
        panel->SetModify();
    };
    auto hide = [&] {
        panel->Hide();
        rec.picture.reset();
        rec.alpha.reset();
        finish();
    };
    auto place = [&] {
        panel->SetModifyToParent();
        panel->SetSizeX(rec.width);
        panel->SetSizeY(rec.height);
        PlaceAtCode(panel, code);
        panel->Show();
        finish();
    };
    if (id < 0) return hide();
    if (id == 999) {
        rec.picture = std::make_unique<TNyRGBBits>(nullptr);
        rec.picture->SetBitDepth(WorkBitDepth == bd24 ? bd24 : bd32);
        rec.picture->Resize(16, 16);
        rec.alpha = std::make_unique<TNyAlpha>(nullptr);
        rec.alpha->Resize(16, 16);
        if (!rec.picture->Create() || !rec.alpha->Create())
            throw plat::Exception("TStageUnit::CharStatCreate Alloc Error");
        rec.alpha->Fill(0);
        rec.width = rec.height = 16;
        rec.image[0] = {0, 0, 16, 16};
        rec.entry[0].image = 0;
        return place();
    }
    char name[32];
    std::snprintf(name, sizeof name, "chr%03d.png", static_cast<int>(id));
    if (!CGFiles || !CGFiles->FileIsExist(name)) return hide();
    rec.picture = std::make_unique<TNyRGBBits>(nullptr);
    rec.picture->SetBitDepth(WorkBitDepth == bd24 ? bd24 : bd32);
    rec.alpha = std::make_unique<TNyAlpha>(nullptr);
    if (!DrawImageFile(rec.picture.get(), rec.alpha.get(), name, 0, 0, CGFiles.get()))
        return hide();
    if (!rec.alpha->Created()) rec.alpha.reset();
    std::snprintf(name, sizeof name, "chr%03d.ini", static_cast<int>(id));
    if (CGFiles->FileIsExist(name)) {
        ReadCharDefinition(rec, name);
    } else {
        rec.width = std::min(rec.picture->Width(), CharRecord::kMaxSize);
        rec.height = std::min(rec.picture->Height(), CharRecord::kMaxSize);
        rec.image[0] = {0, 0, rec.picture->Width(), rec.picture->Height()};
        rec.entry[0].image = 0;
    }
    static const uint32_t kTones[7] = {0, 0x6D6D6D, 0x777777, 0x80705C, 0x808070, 0x5E5E6D, 0};
    TNyRGBBits* pic = rec.picture.get();
    if (ToneMode >= 1 && ToneMode <= 5)
        pic->ToneChange(0, 0, pic->Width() - 1, pic->Height() - 1, kTones[ToneMode]);
    ApplyColourEffect(pic, ColourEffect);
    place();
}
