// TAlbumMenu: the album. Sixteen thumbnails a page over three pages of 39 entries; an
// unlocked entry shows its pictures one after another in full screen, or plays its movie.
#pragma once
#include <cstdint>

#include "devices/crisofdec.h"
#include "flow/pmenutables.h"
#include "foundation/zrfileman.h"
#include "widgets/nyrgbpanel.h"

class TDInputUnit;
class TNyRGBBits;
class TNyAlpha;
class TNyRGBSimple;
class TNyRGBSBtn;
class TNyRGBPBtn;
class MenuServices;

class TAlbumMenu {
  public:
    static constexpr int kPerPage = 16;
    static constexpr int kPages = 3;
    static constexpr int kThumbW = 167, kThumbH = 93;
    static constexpr int32_t kAlbumTrack = 13;
    static constexpr int32_t kMovieGrace = 30;
    enum : uint8_t { vsBrowsing = 0, vsIntoPicture = 1, vsShowing = 2, vsBack = 3 };

    explicit TAlbumMenu(MenuServices* services = nullptr);
    ~TAlbumMenu();
    TAlbumMenu(const TAlbumMenu&) = delete;
    TAlbumMenu& operator=(const TAlbumMenu&) = delete;

    bool Setup(ZRFileMan* files);
    void Release();
    void LoadTable();
    void Prepare();
    void HandleKeyInput(int ticks, TDInputUnit* input);

    // The player's actions and the steps of the view, as keys and mouse give them.
    void ShowPage(int page);
    void SetCursor(int index);
    void MoveCursor(int direction);
    void Decide();
    void OpenEntry(int entry);
    void ShowItem();
    void NextItem();
    void EndView();
    void ViewFrame(int ticks, bool decide);
    void Leave();

    TNyRGBPanel* RootPanel = nullptr;  // AlbumPanel
    TNyRGBPanel* ThumbNail[kPerPage] = {};
    TNyRGBPanel* MovIcon[kPerPage] = {};
    TNyRGBSimple* LightPanel = nullptr;
    TNyRGBPBtn* PageBtn[kPages] = {};
    TNyRGBSBtn* CloseBtn = nullptr;
    TNyRGBPanel* PicturePanel = nullptr;
    TNyRGBPanel* MoviePanel = nullptr;

    bool SetUp = false;
    ZRFileMan* Files = nullptr;
    ZRFileMan EventFiles;
    AlbumEntry Entries[kAlbumEntries];
    int32_t Page = -1;
    int32_t Cursor = -1;
    TNyRGBBits* Current[kPerPage] = {};
    TNyRGBBits* Previous[kPerPage] = {};
    bool Shown[kPerPage] = {};
    bool Fading[kPerPage] = {};
    int32_t FadeCounter = -1;
    uint8_t ViewState = vsBrowsing;
    int32_t ViewedEntry = -1;
    int32_t ItemIndex = 0;
    int32_t ShownKind = 0;  // 0 picture, 1 movie
    int32_t Grace = 0;      // frames left in which a movie cannot be skipped
    CriMovie Movie;

  private:
    bool ThumbNailDraw(int i, TNyRGBBits* dest, int x, int y, int sx, int sy, int w, int h);
    void DefaultMouseDown(TNyRGBPanel* sender, TMouseButton button, TShiftState, int, int);
    void PanelCreate(TNyRGBPanel* sender);
    void PanelRelease(TNyRGBPanel* sender);
    void CloseView();
    void AlbumMusic();
    void DrawPicture(int32_t number);

    MenuServices* services_;
    TNyRGBBits* iconBits_ = nullptr;
    TNyAlpha* iconAlpha_ = nullptr;
    bool transition_ = false;  // the window's transition runs with our draw hooks
};

// The album, null while it does not exist.
extern TAlbumMenu* AlbumMenu;
