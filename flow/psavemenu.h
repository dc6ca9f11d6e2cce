// TSaveMenu: saving and loading over 36 slots, three pages of twelve thumbnails. The same
// screen saves (opened from the scene with a picture of the screen for the thumbnail) and loads
// (from the scene or the title). It reads what it shows from the slot files lazily, page by
// page, after every open, and tells its owner 5 when a save or a load has succeeded and 6 when
// the player closes it.
#pragma once
#include <array>
#include <cstdint>

#include "flow/menucommon.h"
#include "foundation/zrstring.h"
#include "game/gamedata.h"

class TDInputUnit;
class TNyRGBBits;
class TNyRGBText;

// What the menu shows of one slot.
struct SlotRecord {
    bool loaded = false;
    bool exists = false;
    ZRString title;
    int32_t month = 0, day = 0, hour = 0, minute = 0;
    std::array<uint8_t, kThumbnailMaxSize> thumb{};
};

// Fills the record's title and thumbnail from a slot file's bytes; false (record untouched)
// for anything the save reader refuses. A file that holds no whole thumbnail shows black.
bool ReadSlotRecord(const uint8_t* data, size_t size, SlotRecord& record);

class TSaveMenu : public MenuScreen {
  public:
    static constexpr int kSlots = 36;
    static constexpr int kPerPage = 12;

    TSaveMenu();
    ~TSaveMenu() override;

    bool Setup(ZRFileMan* files);
    void Release();
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { Callback = cb; }
    // Mode 0 save (the thumbnail made from `source`), 1 load.
    bool Open(int32_t mode, TNyRGBBits* source = nullptr);
    void Close();
    void HandleKeyInput(int ticks, TDInputUnit* input);

    void ShowPage(int32_t page);
    void SetCursor(int32_t i);
    void Decide();

    TNyRGBPanel* SaveMenuWin = nullptr;
    TNyRGBPanel* ThumbNail[kPerPage] = {};
    TNyRGBText* SaveTag[kPerPage] = {};
    TNyRGBText* SaveInfo[kPerPage] = {};
    TMenuSimple* LightPanel = nullptr;
    TNyRGBPanel* NewIcon = nullptr;
    TMenuPBtn* PageBtn[3] = {};
    TMenuSBtn* CloseBtn = nullptr;

    bool SetUp = false;
    int32_t Mode = 1;
    ZRBaseCallback1<void, int> Callback;
    TNyRGBBits* ThumbToSave = nullptr;
    std::array<SlotRecord, kSlots> Records;
    int32_t Newest = -1;
    int32_t Page = 0;
    int32_t Cursor = -1;
    TNyRGBBits* Current[kPerPage] = {};
    TNyRGBBits* Previous[kPerPage] = {};
    bool Shown[kPerPage] = {};
    bool Fading[kPerPage] = {};
    int32_t PageFade = -1;
    int32_t Selected = -1;

    // The page the next menu starts on.
    static int32_t LastPage;

  private:
    void ReadSlot(int32_t slot);
    void Refresh();
    void SaveSelected();
    void LoadSelected();
    void DialogCallback(int code);
    void Cancel();
    void MovePage(int32_t page);
    void CopyThumb(const SlotRecord& r, TNyRGBBits* dest);
    bool DrawThumb(int i, TNyRGBBits* d, int x, int y, int sx, int sy, int w, int h);
    TNyRGBBits* staging_ = nullptr;
    bool textsMade_ = false;
};

// The save menu, null while it does not exist.
extern TSaveMenu* SaveMenu;
