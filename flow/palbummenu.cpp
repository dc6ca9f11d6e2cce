// The album.
#include "flow/palbummenu.h"

#include <cstdio>

#include "devices/dinputu.h"
#include "flow/menucommon.h"
#include "flow/pmenuservices.h"
#include "foundation/zrmemman.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbbits.h"

TAlbumMenu* AlbumMenu = nullptr;

namespace {

constexpr int kThumbX = 444, kThumbY = 168, kThumbStepX = 192, kThumbStepY = 118;
constexpr int kLightX = 433, kLightY = 157;
constexpr int kFadeEnd = 13;
const char* const kPictureExtensions[4] = {".bmp", ".jpg", ".png", ".lzh"};

TNyRGBBits* NewBits(int w, int h) {
    auto* b = new TNyRGBBits();
    b->SetBitDepth(WorkBitDepth);
    b->SetPixFormat(WorkBitDepth == bd32 ? pf32_888 : pf24_888);
    if (!b->Resize(w, h) || !b->Create()) {
        delete b;
        return nullptr;
    }
    b->Cls();
    return b;
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

TAlbumMenu::TAlbumMenu(MenuServices* services)
    : services_(services ? services : MenuServices::Window()) {
    auto mouseDown = [this](TNyRGBPanel* s, TMouseButton b, TShiftState sh, int x, int y) {
        DefaultMouseDown(s, b, sh, x, y);
    };
    auto cursorSound = [this](TNyRGBPanel*) {
        if (ViewState == vsBrowsing) services_->PlaySysSE(menu::seCursor);
    };
    auto pictured = [this](TNyRGBPanel* p, const char* picture) {
        if (picture) p->SetText(picture);
        p->OnCreate = [this](TNyRGBPanel* s) { PanelCreate(s); };
        p->OnRelease = [this](TNyRGBPanel* s) { PanelRelease(s); };
    };
    RootPanel = new TNyRGBPanel(nullptr);
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);
    pictured(RootPanel, "AlbumBG.png");
    RootPanel->OnMouseDown = mouseDown;
    RootPanel->OnMouseWheel = [this](TNyRGBPanel*, TShiftState, int delta, const TPoint&,
                                     bool& handled) {
        handled = true;
        if (ViewState != vsBrowsing) return;
        if (delta < 0 && Page < 2) {
            services_->PlaySysSE(menu::seCursor);
            ShowPage(Page + 1);
        } else if (delta > 0 && Page > 0) {
            services_->PlaySysSE(menu::seCursor);
            ShowPage(Page - 1);
        }
    };

    for (int i = 0; i < kPerPage; ++i) {
        auto* t = new TNyRGBPanel(RootPanel, RootPanel);
        t->SetOffsetX(kThumbX + kThumbStepX * (i % 4));
        t->SetOffsetY(kThumbY + kThumbStepY * (i / 4));
        t->SetSizeX(kThumbW);
        t->SetSizeY(kThumbH);
        t->SetMaskMode(3);
        t->OnDraw = [this, i](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                              int h) { return ThumbNailDraw(i, d, x, y, sx, sy, w, h); };
        t->OnClick = [this, i](TNyRGBPanel*) {
            if (ViewState != vsBrowsing) return;
            SetCursor(i);
            Decide();
        };
        t->OnMouseEnter = [this, i](TNyRGBPanel*) {
            if (ViewState != vsBrowsing) return;
            services_->PlaySysSE(menu::seCursor);
            SetCursor(i);
        };
        t->OnMouseDown = mouseDown;
        ThumbNail[i] = t;
        auto* icon = new TNyRGBPanel(RootPanel, t);
        icon->SetOffsetX(145);
        icon->SetOffsetY(71);
        icon->SetVisible(false);
        icon->SetMouseControl(false);
        MovIcon[i] = icon;
    }

    LightPanel = new TNyRGBSimple(RootPanel, RootPanel);
    pictured(LightPanel, "CmTNLight.png");
    LightPanel->SetVisible(false);
    LightPanel->SetNumBlock(6);
    LightPanel->SetFrameNum(0, 6);
    LightPanel->SetAnimeWait(3);
    LightPanel->SetMouseControl(false);
    LightPanel->OnDraw = [](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                            int h) { return DrawPanelImageAdd(s, d, x, y, sx, sy, w, h); };

    for (int p = 0; p < kPages; ++p) {
        auto* b = new TNyRGBPBtn(RootPanel, RootPanel);
        b->SetOffsetX(1036 + 60 * p);
        b->SetOffsetY(113);
        b->OnClick = [this, p](TNyRGBPanel*) {
            if (ViewState != vsBrowsing) return;
            services_->PlaySysSE(menu::seCursor);
            ShowPage(p);
        };
        b->OnMouseEnter = cursorSound;
        b->OnMouseDown = mouseDown;
        PageBtn[p] = b;
    }

    CloseBtn = new TNyRGBSBtn(RootPanel, RootPanel);
    pictured(CloseBtn, "CmBtnBack.png");
    CloseBtn->SetOffsetX(1105);
    CloseBtn->SetOffsetY(637);
    CloseBtn->SetNumBlock(2);
    CloseBtn->OnClick = [this](TNyRGBPanel*) {
        if (ViewState == vsBrowsing) Leave();
    };
    CloseBtn->OnMouseEnter = cursorSound;
    CloseBtn->OnMouseDown = mouseDown;

    PicturePanel = new TNyRGBPanel(RootPanel, RootPanel);
    PicturePanel->SetSizeX(1280);
    PicturePanel->SetSizeY(720);
    PicturePanel->SetVisible(false);
    PicturePanel->OnMouseDown = [this](TNyRGBPanel*, TMouseButton, TShiftState, int, int) {
        if (ViewState == vsShowing && ShownKind == 0) {
            services_->PlaySysSE(menu::seOK);
            NextItem();
        }
    };
    MoviePanel = new TNyRGBPanel(RootPanel, RootPanel);
    MoviePanel->SetSizeX(1280);
    MoviePanel->SetSizeY(720);
    MoviePanel->SetVisible(false);
    MoviePanel->OnMouseDown = [this](TNyRGBPanel*, TMouseButton, TShiftState, int, int) {
        if (ViewState == vsShowing && ShownKind == 1 && Movie.IsPlay() && Grace == 0) {
            services_->PlaySysSE(menu::seOK);
            Movie.Stop();
            NextItem();
        }
    };
    for (AlbumEntry& e : Entries) {
        for (int32_t& n : e.Numbers) n = -1;
    }
}

TAlbumMenu::~TAlbumMenu() {
    if (SetUp) Release();
    delete RootPanel;
}

void TAlbumMenu::PanelCreate(TNyRGBPanel* sender) {
    // A missing decoration leaves its widget blank; the album still works.
    if (!sender->GetText().IsEmpty()) SetPanelImageFile(sender, Files, sender->GetText());
}

void TAlbumMenu::PanelRelease(TNyRGBPanel* sender) { ReleasePanelImage(sender); }

bool TAlbumMenu::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    if (!EventFiles.InitPack("EvBG.pak")) EventFiles.InitDir("EvBG_Pak");
    if (!RootPanel->AllCreate()) return false;
    for (int p = 0; p < kPages; ++p) {
        char image[32], anime[32];
        std::snprintf(image, sizeof image, "CmPage%d.png", p + 1);
        std::snprintf(anime, sizeof anime, "CmPage%d.anm", p + 1);
        SetPanelAnimeFile(PageBtn[p], Files, image, anime);
    }
    for (int i = 0; i < kPerPage; ++i) {
        Current[i] = NewBits(kThumbW, kThumbH);
        Previous[i] = NewBits(kThumbW, kThumbH);
        if (!Current[i] || !Previous[i]) return false;
    }
    LightPanel->SetMaskMode(3);
    if (LoadImageFile(&iconBits_, &iconAlpha_, Files, "AlbumMov.png")) {
        const ImagePair pair{iconBits_, iconAlpha_};
        for (TNyRGBPanel* icon : MovIcon) {
            SetPanelImageAlpha(icon, &pair);
            icon->SetSizeX(iconBits_->Width());
            icon->SetSizeY(iconBits_->Height());
        }
    }
    if (!CreatePanelImageSized(PicturePanel, 1280, 720, 0)) return false;
    SetUp = true;
    return true;
}

void TAlbumMenu::Release() {
    if (transition_) services_->EndPanelTransition();
    transition_ = false;
    Movie.Close();
    for (TNyRGBPanel* icon : MovIcon) ClearPanelImage(icon);
    if (MemMan) {
        if (iconBits_) MemMan->Delete(iconBits_);
        if (iconAlpha_) MemMan->Delete(iconAlpha_);
    }
    iconBits_ = nullptr;
    iconAlpha_ = nullptr;
    for (int i = 0; i < kPerPage; ++i) {
        delete Current[i];
        delete Previous[i];
        Current[i] = Previous[i] = nullptr;
    }
    for (TNyRGBPBtn* b : PageBtn) ReleasePanelAnime(b);
    ReleasePanelImage(PicturePanel);
    EventFiles.Finish();
    if (RootPanel->GetCreated()) RootPanel->AllRelease();
    SetUp = false;
}

void TAlbumMenu::CloseView() {
    PicturePanel->SetVisible(false);
    MoviePanel->SetVisible(false);
    if (PicturePanel->GetImage()) PicturePanel->GetImage()->Cls();
    Movie.Close();
}

void TAlbumMenu::LoadTable() {
    CloseView();
    ViewState = vsBrowsing;
    ZRStream* s = Files ? Files->Open("AlbumTbl.csv") : nullptr;
    ReadAlbumTable(s, SysData, AlbumShowAll, Entries);
    if (s) Files->Close(s);
    for (int i = 0; i < kPerPage; ++i) Shown[i] = Fading[i] = false;
    Page = -1;
    ShowPage(0);
}

void TAlbumMenu::Prepare() {
    Page = -1;
    ShowPage(0);
}

void TAlbumMenu::ShowPage(int page) {
    page = Clamp(page, 0, kPages - 1);
    const bool changed = page != Page;
    for (int p = 0; p < kPages; ++p) PageBtn[p]->SetSelected(p == page);
    LightPanel->SetVisible(false);
    Cursor = -1;
    for (int i = 0; i < kPerPage; ++i) {
        // The picture on screen becomes the one the new picture fades in over; a page shown
        // while a fade runs starts afresh.
        if (Shown[i] && FadeCounter < 0 && Current[i] && Previous[i]) {
            Fading[i] = true;
            Previous[i]->Draw(0, 0, Current[i], 0, 0, kThumbW, kThumbH);
        } else {
            Fading[i] = false;
        }
        const int entry = page * kPerPage + i;
        const bool exists = entry < kAlbumEntries && Entries[entry].Count > 0;
        Shown[i] = false;
        if (exists && Current[i]) {
            char name[24];
            std::snprintf(name, sizeof name, "album_ev%02d.png", entry);
            Current[i]->Cls();
            DrawImageFile(Current[i], nullptr, name, 0, 0, Files);
            Shown[i] = true;
        }
        MovIcon[i]->SetVisible(exists && Entries[entry].Movie);
        ThumbNail[i]->SetModify();
    }
    Page = page;
    SetCursor(0);
    RootPanel->SetModify();
    FadeCounter = changed ? 0 : -1;
}

void TAlbumMenu::SetCursor(int index) {
    if (ViewState != vsBrowsing) return;
    if (index < 0 || index >= kPerPage) index = -1;
    if (index == Cursor) return;
    const int old = Cursor;
    Cursor = index;
    if (index < 0) {
        LightPanel->SetVisible(false);
    } else {
        LightPanel->SetOffsetX((index % 4) * kThumbStepX + kLightX);
        LightPanel->SetOffsetY((index / 4) * kThumbStepY + kLightY);
        LightPanel->SetVisible(true);
    }
    if (old >= 0) ThumbNail[old]->SetModify();
    if (index >= 0) ThumbNail[index]->SetModify();
}

bool TAlbumMenu::ThumbNailDraw(int i, TNyRGBBits* dest, int x, int y, int sx, int sy, int w,
                               int h) {
    if (!Shown[i] && !Fading[i]) return true;
    const bool atCursor = i == Cursor;
    if (FadeCounter < 0) {
        if (Shown[i]) dest->AlphaBlend(x, y, Current[i], sx, sy, w, h, atCursor ? 128 : 64);
        return true;
    }
    // Row plus column: the new page sweeps in from the top left corner. Away from the cursor
    // the pair keeps the half strength the grid shows there.
    const int level = Clamp(FadeCounter - (i / 4 + i % 4), 0, 8) * 16;
    if (Shown[i] && Fading[i]) {
        if (atCursor) {
            dest->AlphaBlend(x, y, Previous[i], sx, sy, Current[i], sx, sy, w, h, level);
        } else {
            const int previous = (128 - level) * 128 / (256 - level);
            if (previous > 0) dest->AlphaBlend(x, y, Previous[i], sx, sy, w, h, previous);
            if (level / 2 > 0) dest->AlphaBlend(x, y, Current[i], sx, sy, w, h, level / 2);
        }
    } else if (Shown[i]) {
        const int rate = atCursor ? level : level / 2;
        if (rate > 0) dest->AlphaBlend(x, y, Current[i], sx, sy, w, h, rate);
    } else {
        const int rate = atCursor ? 128 - level : (128 - level) / 2;
        if (rate > 0) dest->AlphaBlend(x, y, Previous[i], sx, sy, w, h, rate);
    }
    return true;
}

void TAlbumMenu::MoveCursor(int direction) {
    const int i = Cursor;
    if (i < 0) {
        services_->PlaySysSE(menu::seCursor);
        SetCursor(0);
        return;
    }
    int next;
    switch (direction) {
        case 0: next = i >= 4 ? i - 4 : i + 12; break;
        case 2: next = i % 4 == 3 ? i - 3 : i + 1; break;
        case 4: next = i < 12 ? i + 4 : i - 12; break;
        case 6: next = i % 4 == 0 ? i + 3 : i - 1; break;
        default: return;
    }
    services_->PlaySysSE(menu::seCursor);
    SetCursor(next);
}

void TAlbumMenu::Decide() {
    services_->PlaySysSE(menu::seOK);
    if (Cursor >= 0 && Page * kPerPage + Cursor < kAlbumEntries)
        OpenEntry(Page * kPerPage + Cursor);
}

void TAlbumMenu::OpenEntry(int entry) {
    if (entry < 0 || entry >= kAlbumEntries) return;
    ViewedEntry = entry;
    if (Entries[entry].Count <= 0) return;
    ViewState = vsIntoPicture;
    ItemIndex = 0;
    ShowItem();
}

void TAlbumMenu::AlbumMusic() {
    if (services_->GetBGMTrack() != kAlbumTrack || !services_->IsBGMPlaying())
        services_->PlayBGM(kAlbumTrack, true, true);
}

void TAlbumMenu::DrawPicture(int32_t number) {
    TNyRGBBits* image = PicturePanel->GetImage();
    if (!image) return;
    image->Cls();
    const ZRString base = AlbumItemName(number);
    SetGnyTable(1);
    for (const char* ext : kPictureExtensions) {
        const ZRString name = base + ext;
        if (!EventFiles.FileIsExist(name)) continue;
        // A picture that does not decode stays black.
        if (!DrawImageFile(image, nullptr, name, 0, 0, &EventFiles)) image->Cls();
        return;
    }
}

void TAlbumMenu::ShowItem() {
    const AlbumEntry& e = Entries[ViewedEntry];
    const int32_t n = e.Numbers[ItemIndex];
    Movie.Close();
    if (n >= kAlbumFirstMovie) {
        ShownKind = Movie.Open(MoviePanel, true, AlbumItemName(n)) ? 1 : 0;
        if (ShownKind == 0 && PicturePanel->GetImage()) PicturePanel->GetImage()->Cls();
    } else {
        ShownKind = 0;
        DrawPicture(n);
    }
    if (ShownKind == 0) {
        AlbumMusic();
        PicturePanel->SetVisible(true);
        PicturePanel->SetModify();
        MoviePanel->SetVisible(false);
        services_->SetCursorType(-1);
        transition_ = services_->StartPanelTransition();
        ViewState = transition_ ? vsIntoPicture : vsShowing;
    } else {
        if (services_->IsBGMPlaying()) services_->StopBGM(true);
        PicturePanel->SetVisible(false);
        MoviePanel->SetVisible(true);
        services_->SetCursorType(-1);
        Grace = kMovieGrace;
        ViewState = vsShowing;
    }
}

void TAlbumMenu::NextItem() {
    ++ItemIndex;
    if (ItemIndex >= Entries[ViewedEntry].Count)
        EndView();
    else
        ShowItem();
}

void TAlbumMenu::EndView() {
    AlbumMusic();
    PicturePanel->SetVisible(false);
    if (PicturePanel->GetImage()) PicturePanel->GetImage()->Cls();
    MoviePanel->SetVisible(false);
    services_->SetCursorType(0);
    Movie.Close();
    RootPanel->SetModify();
    transition_ = services_->StartPanelTransition();
    ViewState = transition_ ? vsBack : vsBrowsing;
}

void TAlbumMenu::ViewFrame(int ticks, bool decide) {
    switch (ViewState) {
        case vsIntoPicture:
        case vsBack:
            if (transition_ && services_->AdvancePanelTransition(ticks)) return;
            if (transition_) services_->EndPanelTransition();
            transition_ = false;
            if (ViewState == vsIntoPicture) {
                ViewState = vsShowing;
            } else {
                CloseView();
                ViewState = vsBrowsing;
            }
            break;
        case vsShowing:
            if (ShownKind == 0) {
                if (decide) {
                    services_->PlaySysSE(menu::seOK);
                    NextItem();
                }
                break;
            }
            if (Grace > 0) --Grace;  // one a frame, however many ticks the frame carries
            Movie.Draw();
            if (Movie.IsPlay() && Grace == 0 && decide) {
                services_->PlaySysSE(menu::seOK);
                Movie.Stop();
                NextItem();
            } else if (!Movie.IsPlay()) {
                Movie.Stop();
                NextItem();
            }
            break;
        default:
            break;
    }
}

void TAlbumMenu::Leave() {
    services_->PlaySysSE(menu::seCancel);
    services_->EndWait(0);
}

void TAlbumMenu::HandleKeyInput(int ticks, TDInputUnit* input) {
    if (!input) return;
    const menu::Pad pad = menu::ReadPad(input, false);
    if (ViewState != vsBrowsing) {
        ViewFrame(ticks, pad.decide);
        return;
    }
    [&] {
        if (pad.decide) return Decide();
        if (pad.cancel) return Leave();
        if (pad.pagePrev && Page >= 1) {
            services_->PlaySysSE(menu::seCursor);
            return ShowPage(Page - 1);
        }
        if (pad.pageNext && Page <= 1) {
            services_->PlaySysSE(menu::seCursor);
            return ShowPage(Page + 1);
        }
        if (input->IsPush(2)) return;
        if (pad.direction >= 0) MoveCursor(pad.direction);
    }();
    if (ticks > 0 && FadeCounter >= 0) {
        ++FadeCounter;
        if (FadeCounter > kFadeEnd) FadeCounter = -1;
        for (TNyRGBPanel* t : ThumbNail) t->SetModify();
    }
}

void TAlbumMenu::DefaultMouseDown(TNyRGBPanel*, TMouseButton button, TShiftState, int, int) {
    if (button == mbRight && ViewState == vsBrowsing) Leave();
}
