// Game data: the settings file "Solvane.ini" beside the executable, the record of the
// running story (GameState), the records that outlive a play-through (SystemData,
// ReadHistory) and the save files that hold them. Settings readers keep a field as it was, or
// take the key's default, when a key is missing, empty or does not convert; the writers create
// the file when it is missing. Nothing here is ever reported to the player.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/zrstring.h"

// The user settings of the [Game] section, edited by the configuration menu and read by the
// scenes. Written only on the flow thread; no lock.
class UserConfig {
  public:
    UserConfig();
    // Reads the settings file; keys that are missing or unusable leave their field alone.
    void Load();
    // Writes every field, creating the file when it is missing.
    void Save() const;

    int32_t MesBoxTrans;    // stored only
    int32_t UserTextSpeed;  // percent, 0-200
    int32_t AutoSkipWait;   // auto mode wait in milliseconds, 0-5000
    bool SimpleDisplay;
    bool ShowPlaceName;
    bool AllTextSkip;
    bool EffectCanSkip;
    int32_t RightClickType;  // 0-4
    bool ExitConfirm;
    bool SaveConfirm;
    bool LoadConfirm;  // stored only
};

// The program's one user settings record.
extern UserConfig UserSettings;

// The frame-rate modes and volumes the main window keeps; filled by its settings reader
// before the sound device exists and written back when the window is destroyed.
struct FormSettings {
    uint8_t FpsMode = 2;  // 0 15 fps, 1 30 fps, 2 full, 3 no sync
    int32_t VolumeBGM = 50;
    int32_t VolumeVoice = 100;
    int32_t VolumeSE = 80;
    int32_t VolumeRear = 90;
};

// The settings file: the executable's directory followed by "Solvane.ini" (a game path).
ZRString ConfigFilePath();
// Tests only: puts the settings file elsewhere; an empty path restores the usual place.
void SetConfigFilePath(const ZRString& path);

// Start-up, before the command line: [Game] WindowMode, [Game Debug] ShowFPS, CapEnable,
// AlbumShowAll and [Fullscreen] Height into the display globals.
void LoadConfigFile();
// After the message loop: [Game] WindowMode from DisplayKind.
void SaveWindowMode();
// The main window's part: [Game] FPSMode and the four volumes.
void LoadFormSettings(FormSettings& s);
// [Game] WindowMode from DisplayKind, then FPSMode and the four volumes.
void SaveFormSettings(const FormSettings& s);

// ---------------------------------------------------------------------------------------------
// The record of the running story, the records that outlive a play-through, and their save
// files. The in-memory classes hold typed members; their stored byte images (the slot and
// system save formats) are written and read field by field by Encode and Decode, never by
// copying the objects. Everything here belongs to the logic thread; no lock guards it.

class SystemData;

// Sizes of the stored images; part of the save formats.
inline constexpr size_t kGameStateSize = 60076;
inline constexpr size_t kCallFrameSize = 28;
inline constexpr size_t kCharSlotsSize = 128;
inline constexpr size_t kSystemDataSize = 68;
inline constexpr size_t kReadHistorySize = 0x40000;
// Plain block of a slot save: two states, the thumbnail size and the thumbnail area.
inline constexpr size_t kSlotPlainSize = 182280;
inline constexpr uint32_t kThumbnailMaxSize = 62124;  // 167 x 93 pixels of 4 bytes

// One entry of the VM's call stack: seven 32-bit words.
struct CallFrame {
    CallFrame();
    int32_t ScriptNo;
    uint32_t Checksum;
    uint32_t ReturnPc;
    int32_t Base;    // saved stack frame base
    int32_t Top;     // saved stack top
    int32_t Result;  // saved result register
    int32_t Arg;     // saved argument register
};

// Seven character slots: the half being shown (with where each one moves in from) and the
// half leaving the stage (with where each one moves to).
class CharSlots {
  public:
    static constexpr int kSlots = 7;
    CharSlots();
    // Every slot of both halves empty: id -1, position -100, flag 0.
    void Reset();
    // Keeps the shown ids; clears their moves and flags and empties the leaving half.
    void ClearMoves();
    CharSlots& operator=(const CharSlots&) = default;
    CharSlots(const CharSlots&) = default;
    bool operator==(const CharSlots&) const = default;

    int32_t ShowId[kSlots];    // -1 empty
    int32_t MoveFrom[kSlots];  // -100 none
    uint8_t ShowFlag[kSlots];
    int32_t LeaveId[kSlots];  // -1 empty
    int32_t MoveTo[kSlots];   // -100 none
    uint8_t LeaveFlag[kSlots];
};

// -1, 0 or 1 as date and time a is earlier than, equal to or later than b (month, day, hour,
// minute compared in that order).
int CompareDateTime(int32_t aMonth, int32_t aDay, int32_t aHour, int32_t aMinute, int32_t bMonth,
                    int32_t bDay, int32_t bHour, int32_t bMinute);
// Weekday of a date of the story's calendar (365 days, no leap years); 0 is the weekday of
// 1 January. A month outside 1-12 gives 0.
int32_t GetWeekdayOf(int32_t month, int32_t day);

class GameState {
  public:
    static constexpr int kFlags = 512;
    static constexpr int kValues = 64;
    static constexpr int kStringVars = 16;
    static constexpr int kStringVarSize = 128;
    static constexpr int kSceneNameSize = 64;
    static constexpr int kStackSlots = 256;
    static constexpr int kMaxCallDepth = 64;
    static constexpr int kMessageSize = 256;
    static constexpr int kLineSize = 53;  // 52 bytes and a NUL
    static constexpr int kPageLines = 16;
    static constexpr int kBacklogLines = 1000;
    static constexpr int kSelectTexts = 4;

    GameState();
    GameState(const GameState&) = default;
    GameState& operator=(const GameState&) = default;

    // The stored image: exactly kGameStateSize bytes at out.
    void Encode(uint8_t* out) const;
    // Reads an image of kGameStateSize bytes; false (and this state unchanged) when size is
    // wrong or a field lies outside what the game can produce. The page line is clamped to 16.
    bool Decode(const uint8_t* in, size_t size);
    // The checks Decode makes, on this state.
    bool IsValid() const;

    // Wait kind: 0 running, 1 click wait, 2 choice, 4 battle.
    void SetWaitState(uint8_t kind) { WaitKind = kind; }
    uint8_t GetWaitState() const { return WaitKind; }

    void SetFlag(int32_t n, bool on);
    bool GetFlag(int32_t n) const;
    void CopySysFlags(const SystemData& sys);
    bool GetSysFlagCopy(int32_t n) const;
    void CopySysValues(const SystemData& sys);
    int32_t GetSysValueCopy(int32_t n) const;
    void SetValue(int32_t n, int32_t v);
    int32_t GetValue(int32_t n) const;
    // Raises EGameErr for a text over 127 bytes (the variable is then left empty).
    void SetStringVar(int32_t n, const ZRString& s);
    ZRString GetStringVar(int32_t n) const;

    void SetResult(int32_t v) { Result = v; }
    int32_t GetResult() const { return Result; }
    void SetArg(int32_t v) { Arg = v; }
    int32_t GetArg() const { return Arg; }
    void SetStage(int32_t v) { Stage = v; }

    // Date and time of the story. Refused values are ignored.
    void SetMonth(int32_t m);
    void SetDay(int32_t d);
    void SetHour(int32_t h);
    void SetMinute(int32_t m);
    void SetSeconds(int32_t s);
    void SetDate(int32_t mmdd);
    void SetTime(int32_t hhmm);
    void NextDay();
    void PrevDay();
    void AddDays(int32_t n);
    void AddHours(int32_t n);
    void AddMinutes(int32_t n);
    int32_t GetWeekday() const;
    bool IsWithinLimit() const;
    void SetLimitMonth(int32_t m);
    void SetLimitDay(int32_t d);
    void SetLimitHour(int32_t h);
    void SetLimitMinute(int32_t m);
    void SetLimitDate(int32_t mmdd);
    void SetLimitTime(int32_t hhmm);

    void SetWeather(int32_t n);
    int32_t GetWeather() const { return Weather; }
    void SetRainPower(int32_t v);
    int32_t GetRainPower() const { return RainPower; }
    int32_t GetRainLevel() const;

    // Raises EGameErr for a name over 63 bytes.
    void SetSceneName(const ZRString& s);
    ZRString GetSceneName() const;

    // Value stack; overflow and underflow raise EGameErr and change nothing.
    void ClearStack();
    void Push(uint32_t v);
    uint32_t Pop();
    uint32_t Peek() const;

    // Call frames; depth 64 on push or 0 on pop raises EGameErr and changes nothing.
    void ClearCallStack();
    void PushFrame(const CallFrame& f);
    void PushFrame(int32_t scriptNo, uint32_t checksum, uint32_t returnPc, int32_t base,
                   int32_t top, int32_t result, int32_t arg);
    void PopFrame(CallFrame& out);

    // The message being shown and whether it was read before.
    void SetMessage(int32_t id, const ZRString& text);
    void SetMessageText(const ZRString& text);
    ZRString GetMessageText() const;
    bool IsMessageTextEmpty() const { return MessageText[0] == 0; }
    void MarkMessageRead();

    // The page of up to 16 lines (line 0 is a speech's name line) and the backlog ring.
    void SetPageLine(int32_t i, const ZRString& text);
    ZRString GetPageLine(int32_t i) const;
    void AddText(const ZRString& text);
    void NewLine();
    void ClearPage();
    void LocateText(int32_t col, int32_t line);
    int32_t GetBacklogCount() const;
    void SetBacklogLine(int32_t i, const ZRString& text);
    ZRString GetBacklogLine(int32_t i) const;
    void AppendBacklogLine(const ZRString& text);
    void NewBacklogLine();
    void ClearBacklog();

    void SetSelectText(int32_t i, const ZRString& text);
    ZRString GetSelectText(int32_t i) const;
    void ClearSelectTexts();

    // New game; keeps the argument register and the script checksum.
    void Reset();
    void ResetScene();
    void ResetScreen();
    void ResetSound();

    // ---- the record, in the order of its stored image ----
    uint8_t WaitKind;
    uint8_t Flags[kFlags / 8];
    uint8_t SysFlagCopy[8];
    int32_t Values[kValues];
    int32_t SysValueCopy[8];
    char StringVars[kStringVars][kStringVarSize];
    int32_t Result;
    int32_t Arg;
    int32_t Stage;  // key of the day-and-period label
    int8_t Month;
    int8_t Day;
    int8_t Hour;
    int8_t Minute;
    uint32_t Millis;    // elapsed within the current minute
    int32_t Period;     // 0 day, 1 evening, 2 night, 3 morning
    int8_t LimitMonth;  // 0 no limit
    int8_t LimitDay;
    int8_t LimitHour;
    int8_t LimitMinute;
    int32_t RainPower;  // 0-255
    char SceneName[kSceneNameSize];
    uint32_t Stack[kStackSlots];
    int32_t StackBase;
    int32_t StackTop;  // slots in use
    int32_t ScriptNo;
    uint32_t ScriptSum;
    uint32_t Pc;
    uint8_t Halted;
    uint8_t Waiting;  // a command waits for a value from the scene
    CallFrame Frames[kMaxCallDepth];
    int32_t CallDepth;
    int32_t Weather;  // 0-5
    int32_t BgShown;  // 998 white, 999 black
    int32_t BgStaged;
    int32_t FadeSpeed;  // at least 1
    CharSlots CharShown;
    CharSlots CharStaged;
    uint8_t SpeakShown[CharSlots::kSlots];
    uint8_t SpeakStaged[CharSlots::kSlots];
    int32_t PriorityShown;  // 0-3
    int32_t PriorityStaged;
    uint8_t NovelMode;
    uint8_t TextWindowShown;
    uint8_t Reserved[2];  // kept as loaded
    uint8_t CursorShown;
    uint8_t SkipDisabled;
    int32_t PlaceCard;
    char MessageText[kMessageSize];  // the part not yet shown
    int32_t MessageId;               // -1 none
    uint8_t MessageRead;
    char PageLines[kPageLines][kLineSize];
    int32_t PageLine;   // 0-15; 16 once the page has run over
    int32_t TextSpeed;  // 0-3000
    char Backlog[kBacklogLines][kLineSize];
    int32_t BacklogHead;  // oldest line
    int32_t BacklogTail;  // line being written
    char SelectTexts[kSelectTexts][kLineSize];
    int32_t MusicTrack;  // -1 none
    int32_t MusicVolume;
    int32_t VoiceVolume;
    int32_t VoicePos[2];
    int32_t SeVolume;
    int32_t SePos[2];
    int32_t EnvTrack;  // -1 none
    int32_t EnvVolume;
    int32_t EnvPos[2];
    int32_t EnvNextPos[2];
    int32_t RainSoundLevel;  // -1 none
    int32_t RainVolume;
    int32_t ExSelArg;
    int32_t MovieNo;  // movie, ending or battle number
    int32_t BattleResult;

  private:
    void StepDays(int64_t n);
    void AddHours64(int64_t n);
    void ClampToLimit();
};

// The flags, values and album bits that scripts keep across play-throughs.
class SystemData {
  public:
    static constexpr int kFlags = 64;
    static constexpr int kValues = 8;
    static constexpr int kAlbumBits = 200;

    SystemData();
    bool operator==(const SystemData&) const = default;

    // The stored image: exactly kSystemDataSize bytes.
    void Encode(uint8_t* out) const;
    void Decode(const uint8_t* in);

    void SetFlag(int32_t n, bool on);
    bool GetFlag(int32_t n) const;
    void GetFlags(uint8_t out[8]) const;
    void GetValues(uint32_t out[8]) const;
    void SetValue(int32_t n, uint32_t v);
    uint32_t GetValue(int32_t n) const;
    // Bits are never cleared.
    void SetAlbumBit(int32_t n);
    bool GetAlbumBit(int32_t n) const;

    uint8_t Flags[kFlags / 8];
    uint32_t Values[kValues];
    uint8_t Album[25];
};

// Which message lines of which script have been read. The buffer keeps the stored layout:
// u32 bytes in use (head included), u32 record count, then per scene u32 R, u32 scene id,
// u32 version and R / 4 ranges of u16 first and last line, ascending, neither overlapping nor
// touching.
class ReadHistory {
  public:
    ReadHistory();
    ReadHistory(const ReadHistory& o);
    ReadHistory& operator=(const ReadHistory& o);

    uint32_t GetSize() const;
    uint32_t GetCount() const;
    const uint8_t* GetBuffer() const { return buf_.get(); }
    // Takes a stored block. A block too large for the buffer is refused and the history
    // kept; one that is not well formed leaves the history empty. Both give false.
    bool Load(const uint8_t* bytes, size_t size);
    void Clear();
    // A script file was loaded: a changed version forgets what was read of it.
    void RegisterScene(uint32_t scene, uint32_t version);
    // key = scene << 16 | line; line 0 is never recorded.
    void MarkRead(uint32_t key);
    bool IsRead(uint32_t key) const;

  private:
    int64_t Find(uint32_t scene) const;
    uint32_t Get32(size_t at) const;
    void Put32(size_t at, uint32_t v);
    // Opens (n > 0) or closes (n < 0) a gap of |n| bytes at `at`, moving what follows.
    void Shift(size_t at, int64_t n);

    std::unique_ptr<uint8_t[]> buf_;
    mutable int64_t cacheScene_ = -1;
    mutable size_t cacheOffset_ = 0;
};

// The game-data globals: the running story, its state when the current scene began, the
// system record and the read history.
extern GameState CurrentState;
extern GameState SceneSnapshot;
extern SystemData SysData;
extern ReadHistory ReadHist;

// ---- save files, in the executable's directory ----

// The directory the saves live in (a game path with its trailing separator).
ZRString SaveDirectory();
// Tests only: puts the saves in another directory (with its trailing separator); empty
// restores the usual place.
void SetSaveDirectory(const ZRString& dir);
// "SVSys.sav" and "SV%02d.sav" inside SaveDirectory().
ZRString SystemSavePath();
ZRString SlotSavePath(int32_t slot);
// One line on the error output naming a file (host path) that could not be written and why,
// from errno (0: reason unknown). Settings and system data that fail to be written are lost
// at quit, and their callers go on without a word.
void SayNotWritten(const std::string& host, int err);

// The file images. Encoders give false when the coder fails; decoders check every length and
// field and give false (outputs untouched) for anything malformed.
bool EncodeSystemSave(const SystemData& sys, const ReadHistory& hist, std::string& out);
// A history that is not well formed refuses the whole file.
bool DecodeSystemSave(const uint8_t* data, size_t size, SystemData& sys, ReadHistory& hist);
bool EncodeSlotSave(const GameState& current, const GameState& snapshot, uint32_t thumbSize,
                    const uint8_t* thumb, std::string& out);
// thumb, when given, receives up to kThumbnailMaxSize bytes. A block that decodes whole stores
// its thumbnail size even when that size is too large and the slot is refused.
bool DecodeSlotSave(const uint8_t* data, size_t size, GameState* current, GameState* snapshot,
                    uint32_t& thumbSize, uint8_t* thumb);
// DecodeSlotSave's arguments and result.
struct SlotSaveDecode {
    const uint8_t* data = nullptr;
    size_t size = 0;
    GameState* current = nullptr;
    GameState* snapshot = nullptr;
    uint32_t thumbSize = 0;
    uint8_t* thumb = nullptr;
    bool ok = false;
};
// DecodeSlotSave of count files, their coded blocks decoded a few side by side (for a page of
// the save menu: about twice as fast as one after the other); each result as DecodeSlotSave
// gives it.
void DecodeSlotSaves(SlotSaveDecode* slots, int count);

// Writers replace the file atomically: a failed save keeps the previous one.
bool SaveSystemData();
bool LoadSystemData();
bool SaveGameData(int32_t slot, const GameState& current, const GameState& snapshot,
                  uint32_t thumbSize, const uint8_t* thumb);
bool SaveGameSlot(int32_t slot);
bool SaveGameSlotThumb(int32_t slot, const uint8_t* thumb, uint32_t thumbSize);
// Reads a slot's file for DecodeSlotSave; false when it is missing, unreadable or larger than
// any slot the writers make.
bool ReadSlotFile(int32_t slot, std::string& bytes);
bool LoadGameSlotData(int32_t slot, GameState* current, GameState* snapshot, uint32_t& thumbSize,
                      uint8_t* thumb);
bool LoadGameSlot(int32_t slot);
// Start-up, before anything is read or written: removes the temporary files that a process
// ended between writing a save or the settings file and renaming it left beside them.
void RemoveInterruptedWrites();
