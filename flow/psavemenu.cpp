// The save and load menu.
#include "flow/psavemenu.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "devices/dinputu.h"
#include "flow/dialogu.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/filetime.h"
#include "platform/hostfs.h"
#include "widgets/nyrgbtext.h"

TSaveMenu* SaveMenu = nullptr;
int32_t TSaveMenu::LastPage = 0;

namespace {

constexpr int kThumbW = kThumbnailWidth, kThumbH = kThumbnailHeight;
constexpr int kTitleBytes = 23;

TNyRGBBits* NewBits(ZRBitDepth depth) {
    auto* b = MemMan ? MemMan->CreateVCL<TNyRGBBits>(nullptr) : new TNyRGBBits(nullptr);
    if (!b) return nullptr;
    b->SetBitDepth(depth);
    b->Resize(kThumbW, kThumbH);
    if (!b->Create()) DeleteTracked(b);
    return b;
}

int ThumbX(int i) {
    return 444 + 192 * (i % 4);
}
int ThumbY(int i) {
    return 168 + 151 * (i / 4);
}

// The last write of a slot file in local time, or false.
bool SlotTime(int32_t slot, plat::FileTime& ft) {
    return plat::GetWriteTime(SlotSavePath(slot).c_str(), &ft);
}

}  // namespace

namespace {

// The record's title and thumbnail from a decoded slot.
void FillRecord(const GameState& state, uint32_t thumbSize, const uint8_t* thumb,
                SlotRecord& record) {
    ZRString title = GetStageLabel(state.Stage, kTitleBytes);
    if (title.IsEmpty()) title = ZRString(std::string(kTitleBytes, '-').c_str());
    record.title = title;
    // Only a whole thumbnail is shown; anything shorter would leave pixels unwritten.
    if (thumbSize == kThumbnailMaxSize)
        std::memcpy(record.thumb.data(), thumb, kThumbnailMaxSize);
    else
        record.thumb.fill(0);
}

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

}  // namespace

bool ReadSlotRecord(const uint8_t* data, size_t size, SlotRecord& record) {
    auto state = std::make_unique<GameState>();
    auto thumb = std::make_unique<uint8_t[]>(kThumbnailMaxSize);
    uint32_t thumbSize = 0;
    if (!DecodeSlotSave(data, size, state.get(), nullptr, thumbSize, thumb.get())) return false;
    FillRecord(*state, thumbSize, thumb.get(), record);
    return true;
}

void ReadSlotRecords(const std::string* files, int count, SlotRecord* records, bool* read) {
    if (count < 1) return;
    auto states = std::make_unique<GameState[]>(size_t(count));
    auto thumbs = std::make_unique<uint8_t[]>(size_t(count) * kThumbnailMaxSize);
    std::vector<SlotSaveDecode> d(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        d[size_t(i)].data = Bytes(files[i]);
        d[size_t(i)].size = files[i].size();
        d[size_t(i)].current = &states[size_t(i)];
        d[size_t(i)].thumb = thumbs.get() + size_t(i) * kThumbnailMaxSize;
    }
    DecodeSlotSaves(d.data(), count);
    for (int i = 0; i < count; ++i) {
        const SlotSaveDecode& s = d[size_t(i)];
        read[i] = s.ok;
        if (s.ok) FillRecord(states[size_t(i)], s.thumbSize, s.thumb, records[i]);
    }
}

TSaveMenu::TSaveMenu() {
    SaveMenuWin = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    RootPanel = SaveMenuWin;
    SaveMenuWin->SetKeyControl(true);
    plat::TFont font;
    font.charset = 134;
    font.name = plat::GbkText("黑体");
    font.height = -16;
    for (int i = 0; i < kPerPage; ++i) {
        ThumbNail[i] = Make<TNyRGBPanel>(SaveMenuWin, ThumbX(i), ThumbY(i), kThumbW, kThumbH);
        ThumbNail[i]->OnDraw = [this, i](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int sx, int sy,
                                         int w,
                                         int h) { return DrawThumb(i, d, x, y, sx, sy, w, h); };
        ThumbNail[i]->OnMouseEnter = [this, i](TNyRGBPanel*) {
            menu::PlaySound(menu::seCursor);
            SetCursor(i);
        };
        ThumbNail[i]->OnClick = [this, i](TNyRGBPanel*) {
            SetCursor(i);
            if (Selected >= 0) Decide();
        };
        for (int k = 0; k < 2; ++k) {
            auto* t = Make<TNyRGBText>(SaveMenuWin, ThumbX(i), ThumbY(i) + 100 + 20 * k, 160, 32);
            t->SetFont(&font);
            t->SetFontSize(16);
            t->SetTextColor(0xFFFFFF);
            t->SetVisible(false);
            (k == 0 ? SaveTag : SaveInfo)[i] = t;
        }
    }
    LightPanel = Make<TMenuSimple>(SaveMenuWin, 433, 157, 189, 115, "CmTNLight.png");
    LightPanel->SetNumBlock(6);
    LightPanel->SetFrameNum(0, 6);
    LightPanel->SetAnimeWait(3);
    LightPanel->SetVisible(false);
    LightPanel->SetMouseControl(false);
    LightPanel->OnDraw = [](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                            int h) {
        DrawPanelImageAdd(p, d, x, y, sx, sy, w, h);
        return true;
    };
    NewIcon = Make<TNyRGBPanel>(SaveMenuWin, 0, 0, 0, 0, "SaveNew.png");
    NewIcon->SetVisible(false);
    NewIcon->SetMouseControl(false);
    for (int p = 0; p < 3; ++p) {
        auto* b = Make<TMenuPBtn>(SaveMenuWin, 1036 + 60 * p, 113, 0, 0);
        static const char* const kPics[3] = {"CmPage1.png", "CmPage2.png", "CmPage3.png"};
        static const char* const kAnims[3] = {"CmPage1.anm", "CmPage2.anm", "CmPage3.anm"};
        b->SetText(kPics[p]);
        b->OnCreate = [this, p](TNyRGBPanel* s) {
            SetPanelAnimeFile(static_cast<TMenuPBtn*>(s), Files, kPics[p], kAnims[p]);
        };
        b->OnRelease = [](TNyRGBPanel* s) { ReleasePanelAnime(static_cast<TMenuPBtn*>(s)); };
        b->OnClick = [this, p](TNyRGBPanel*) {
            menu::PlaySound(menu::seCursor);
            ShowPage(p);
        };
        b->OnMouseEnter = [](TNyRGBPanel*) { menu::PlaySound(menu::seCursor); };
        PageBtn[p] = b;
    }
    CloseBtn = Make<TMenuSBtn>(SaveMenuWin, 1105, 637, 0, 0, "CmBtnBack.png");
    CloseBtn->SetNumBlock(2);
    CloseBtn->SetFrameNum(1, 1);
    CloseBtn->OnClick = [this](TNyRGBPanel*) { Cancel(); };
    CloseBtn->OnMouseEnter = [](TNyRGBPanel*) { menu::PlaySound(menu::seCursor); };
    BindRightClick(SaveMenuWin, [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbRight) Cancel();
    });
    Page = LastPage;
}

TSaveMenu::~TSaveMenu() {
    LastPage = Page;
    if (SetUp) Release();
}

bool TSaveMenu::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    bool ok = SaveMenuWin->AllCreate();
    const ZRBitDepth depth = WorkBitDepth == bd24 ? bd24 : bd32;
    for (int i = 0; ok && i < kPerPage; ++i) {
        Current[i] = NewBits(depth);
        Previous[i] = NewBits(depth);
        ok = Current[i] && Previous[i];
    }
    staging_ = ok ? NewBits(bd32) : nullptr;
    if (!ok || !staging_) {
        Release();
        return false;
    }
    LightPanel->SetMaskMode(3);
    SetUp = true;
    return true;
}

void TSaveMenu::Release() {
    Close();
    for (int i = 0; i < kPerPage; ++i) {
        DeleteTracked(Current[i]);
        DeleteTracked(Previous[i]);
    }
    DeleteTracked(staging_);
    if (SaveMenuWin->GetCreated()) SaveMenuWin->AllRelease();
    SetUp = false;
}

void TSaveMenu::Close() {
    ReleasePanelImage(SaveMenuWin);
    if (textsMade_) {
        for (int i = 0; i < kPerPage; ++i) {
            SaveTag[i]->ReleaseBuffer();
            SaveInfo[i]->ReleaseBuffer();
        }
        textsMade_ = false;
    }
    DeleteTracked(ThumbToSave);
}

bool TSaveMenu::Open(int32_t mode, TNyRGBBits* source) {
    // Without its pictures there is nothing to show the records in.
    if (!SetUp) return false;
    Close();
    Mode = mode;
    ReleasePanelImage(SaveMenuWin);
    SetPanelImageFile(SaveMenuWin, Files, mode == 0 ? "SaveBG_S.png" : "SaveBG_L.png");
    const ZRPixFormat format = WorkBitDepth == bd24 ? pf24_888 : pf32_888;
    for (int i = 0; i < kPerPage; ++i) {
        SaveTag[i]->MakeBuffer(format);
        SaveInfo[i]->MakeBuffer(format);
    }
    textsMade_ = true;
    if (source) ThumbToSave = MakeThumbnail(source);
    std::fill(std::begin(Shown), std::end(Shown), false);
    std::fill(std::begin(Fading), std::end(Fading), false);
    Newest = -1;
    uint64_t newestTime = 0;
    for (int s = 0; s < kSlots; ++s) {
        plat::FileTime ft;
        if (!SlotTime(s + 1, ft)) continue;
        // Among equal times the higher slot is the newer.
        if (Newest < 0 || ft.Ticks() >= newestTime) {
            Newest = s;
            newestTime = ft.Ticks();
        }
    }
    Cursor = -1;
    Selected = -1;
    for (SlotRecord& r : Records) r.loaded = false;
    Refresh();
    return true;
}

void TSaveMenu::ReadSlot(int32_t slot) {
    std::string bytes;
    const bool read = ReadSlotFile(slot + 1, bytes) &&
                      ReadSlotRecord(Bytes(bytes), bytes.size(), Records[size_t(slot)]);
    SlotRead(slot, read);
}

// The page's records not read yet, their files decoded a few side by side.
void TSaveMenu::ReadPage(int32_t page) {
    std::vector<int32_t> slots;
    std::vector<std::string> files;
    for (int i = 0; i < kPerPage; ++i) {
        const int32_t slot = page * kPerPage + i;
        if (Records[size_t(slot)].loaded) continue;
        slots.push_back(slot);
        files.emplace_back();
        if (!ReadSlotFile(slot + 1, files.back()))
            files.back().clear();
    }
    const int count = static_cast<int>(slots.size());
    std::vector<SlotRecord> records(static_cast<size_t>(count));
    std::unique_ptr<bool[]> read(new bool[size_t(count)]);
    ReadSlotRecords(files.data(), count, records.data(), read.get());
    for (int i = 0; i < count; ++i) {
        if (read[i]) {
            SlotRecord& r = Records[size_t(slots[size_t(i)])];
            r.title = records[size_t(i)].title;
            r.thumb = records[size_t(i)].thumb;
        }
        SlotRead(slots[size_t(i)], read[i]);
    }
}

// What ReadSlot and ReadPage do once the file is read into the record (or not).
void TSaveMenu::SlotRead(int32_t slot, bool read) {
    SlotRecord& r = Records[size_t(slot)];
    r.exists = read;
    r.month = r.day = r.hour = r.minute = 0;
    plat::FileTime ft;
    if (read && plat::GetWriteTime(SlotSavePath(slot + 1).c_str(), &ft)) {
        const time_t t = static_cast<time_t>(plat::UnixFromFileTime(ft));
        std::tm local{};
        if (localtime_r(&t, &local)) {
            r.month = local.tm_mon + 1;
            r.day = local.tm_mday;
            r.hour = local.tm_hour;
            r.minute = local.tm_min;
        }
    }
    r.loaded = true;
}

void TSaveMenu::CopyThumb(const SlotRecord& r, TNyRGBBits* dest) {
    for (int y = 0; y < kThumbH; ++y)
        std::memcpy(staging_->Bits() + size_t(y) * staging_->Pitch(),
                    r.thumb.data() + size_t(y) * kThumbW * 4, size_t(kThumbW) * 4);
    dest->ConvertCopy(0, 0, staging_, 0, 0, kThumbW, kThumbH);
}

void TSaveMenu::Refresh() {
    const int32_t cursor = Cursor;
    ShowPage(Page);
    if (cursor != Cursor) SetCursor(cursor);
}

void TSaveMenu::ShowPage(int32_t page) {
    if (!SetUp) return;
    page = std::clamp(page, 0, 2);
    const bool same = page == Page;
    Page = page;
    LastPage = page;
    for (int p = 0; p < 3; ++p) PageBtn[p]->SetSelected(p == page);
    LightPanel->SetVisible(false);
    NewIcon->SetVisible(false);
    Cursor = -1;
    Selected = -1;
    ReadPage(page);
    for (int i = 0; i < kPerPage; ++i) {
        const int32_t slot = page * kPerPage + i;
        if (Shown[i] && PageFade < 0) {
            Fading[i] = true;
            Previous[i]->Draw(0, 0, Current[i], 0, 0, kThumbW, kThumbH);
        } else {
            Fading[i] = false;
        }
        SlotRecord& r = Records[size_t(slot)];
        if (!r.loaded) ReadSlot(slot);
        if (r.exists) {
            ZRString tag, info, time;
            tag.sprintf("%2d: ", slot + 1);
            info.sprintf("    %2d/%2d", r.month, r.day);
            time.sprintf(" %2d:%02d", r.hour, r.minute);
            SaveTag[i]->SetText(tag + r.title);
            SaveInfo[i]->SetText(info + time);
            SaveTag[i]->SetVisible(true);
            SaveInfo[i]->SetVisible(true);
            CopyThumb(r, Current[i]);
            Shown[i] = true;
            if (slot == Newest) {
                NewIcon->SetOffsetX(ThumbX(i));
                NewIcon->SetOffsetY(ThumbY(i) + 8);
                NewIcon->SetVisible(true);
            }
        } else {
            SaveTag[i]->SetVisible(false);
            SaveInfo[i]->SetVisible(false);
            Shown[i] = false;
        }
    }
    SetCursor(0);
    SaveMenuWin->SetModify();
    PageFade = same ? -1 : 0;
}

void TSaveMenu::SetCursor(int32_t i) {
    if (i < 0 || i >= kPerPage) i = -1;
    if (i == Cursor) return;
    if (Cursor >= 0) ThumbNail[Cursor]->SetModify();
    Cursor = i;
    if (i >= 0) {
        LightPanel->SetOffsetX((i % 4) * 192 + 433);
        LightPanel->SetOffsetY((i / 4) * 151 + 157);
        LightPanel->SetVisible(true);
        ThumbNail[i]->SetModify();
        Selected = Page * kPerPage + i;
    } else {
        LightPanel->SetVisible(false);
        Selected = -1;
    }
}

bool TSaveMenu::DrawThumb(int i, TNyRGBBits* d, int x, int y, int sx, int sy, int w, int h) {
    if (!Shown[i] && !Fading[i]) return true;
    const bool atCursor = i == Cursor;
    if (PageFade < 0) {
        if (Shown[i]) d->AlphaBlend(x, y, Current[i], sx, sy, w, h, atCursor ? 128 : 64);
        return true;
    }
    const int level = std::clamp(PageFade - ((i / 3) + (i % 4)), 0, 8) * 16;
    if (Shown[i] && Fading[i]) {
        if (atCursor) {
            d->AlphaBlend(x, y, Previous[i], sx, sy, Current[i], sx, sy, w, h, level);
        } else {
            const int prev = (128 - level) * 128 / (256 - level);
            if (prev > 0) d->AlphaBlend(x, y, Previous[i], sx, sy, w, h, prev);
            if (level / 2 > 0) d->AlphaBlend(x, y, Current[i], sx, sy, w, h, level / 2);
        }
    } else if (Shown[i]) {
        const int rate = atCursor ? level : level / 2;
        if (rate > 0) d->AlphaBlend(x, y, Current[i], sx, sy, w, h, rate);
    } else {
        const int rate = atCursor ? 128 - level : (128 - level) / 2;
        if (rate > 0) d->AlphaBlend(x, y, Previous[i], sx, sy, w, h, rate);
    }
    return true;
}

void TSaveMenu::Cancel() {
    menu::PlaySound(menu::seCancel);
    Selected = -1;
    menu::Report(Callback, 6);
}

void TSaveMenu::MovePage(int32_t page) {
    menu::PlaySound(menu::seCursor);
    ShowPage(page);
}

void TSaveMenu::HandleKeyInput(int ticks, TDInputUnit* input) {
    const menu::Pad pad = menu::ReadPad(input, true);
    if (pad.decide) {
        if (Selected >= 0) Decide();
    } else if (pad.cancel) {
        Cancel();
    } else if (pad.pagePrev) {
        if (Page > 0) MovePage(Page - 1);
    } else if (pad.pageNext) {
        if (Page < 2) MovePage(Page + 1);
    } else if (pad.direction >= 0) {
        const int d = pad.direction, i = Cursor;
        if (i < 0) {
            menu::PlaySound(menu::seCursor);
            SetCursor(0);
        } else if (d == 0 || d == 2 || d == 4 || d == 6) {
            menu::PlaySound(menu::seCursor);
            if (d == 0) SetCursor(i < 4 ? i + 8 : i - 4);
            if (d == 2) SetCursor(i % 4 != 3 ? i + 1 : i - 3);
            if (d == 4) SetCursor(i >= 8 ? i - 8 : i + 4);
            if (d == 6) SetCursor(i % 4 != 0 ? i - 1 : i + 3);
        }
    }
    if (ticks > 0 && PageFade >= 0) {
        if (++PageFade > 12) PageFade = -1;
        for (TNyRGBPanel* t : ThumbNail) t->SetModify();
    }
}

void TSaveMenu::Decide() {
    if (Selected < 0) return;
    if (Mode != 0) {
        LoadSelected();
    } else if (!UserSettings.SaveConfirm) {
        SaveSelected();
    } else if (DlgUnit && !DlgUnit->IsBusy() && !DlgUnit->IsVisible()) {
        menu::PlaySound(menu::seOpen);
        DlgUnit->SetKind(1);
        DlgUnit->SetCallback(ZRBaseCallback1<void, int>(this, &TSaveMenu::DialogCallback));
        DlgUnit->Attach(SaveMenuWin);
        DlgUnit->ShowConfirm(true);
    }
}

void TSaveMenu::DialogCallback(int code) {
    if (code == 8) {
        DlgUnit->Detach();
        DlgUnit->SetCallback(ZRBaseCallback1<void, int>());
    } else if (code == 14) {
        SaveSelected();
        DlgUnit->Hide(false);
    } else if (code == 15) {
        DlgUnit->Hide(false);
    }
}

void TSaveMenu::SaveSelected() {
    const int32_t slot = Selected;
    if (slot < 0) return;
    bool ok;
    if (ThumbToSave && ThumbToSave->Bits()) {
        std::array<uint8_t, kThumbnailMaxSize> pixels;
        for (int y = 0; y < kThumbH; ++y)
            std::memcpy(pixels.data() + size_t(y) * kThumbW * 4,
                        ThumbToSave->Bits() + size_t(y) * ThumbToSave->Pitch(),
                        size_t(kThumbW) * 4);
        ok = SaveGameSlotThumb(slot + 1, pixels.data(), kThumbnailMaxSize);
    } else {
        // Without a picture the slot is still saved, with no thumbnail.
        ok = SaveGameSlot(slot + 1);
    }
    if (ok) {
        Newest = slot;
        menu::PlaySound(menu::seOK);
        menu::Report(Callback, 5);
    } else {
        menu::PlaySound(menu::seError);
    }
    ReadSlot(slot);
    Refresh();
}

void TSaveMenu::LoadSelected() {
    const int32_t slot = Selected;
    if (slot < 0) return;
    if (Records[size_t(slot)].exists && LoadGameSlot(slot + 1)) {
        menu::PlaySound(menu::seOK);
        menu::Report(Callback, 5);
        return;
    }
    menu::PlaySound(menu::seError);
    // The page shows what is on disk after a failure, too.
    ReadSlot(slot);
    Refresh();
}
