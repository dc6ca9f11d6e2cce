// The character display list: how the character commands rearrange the seven character
// slots of the stage. The staged slots of the game state are unfolded into one entry per
// character (standing in a slot, arriving into one or leaving one), one operation moves the
// entries around, and the result is folded back into the staged slots; the stage then
// animates the difference on the next commit.
//
// Slots are 0-6 from the left. An entry's `from` and `to` are slots, or codes outside 0-6:
// columns off the stage (-1 just past the left edge and on out to -7, 7 just past the right
// edge and on out to 13; the sliding codes reach them), slot + 20 / + 30 / + 40 fading in
// place with one of three kinds of fade.
#pragma once
#include <cstdint>
#include <vector>

class CharSlots;
class GameState;

inline constexpr int32_t kCharRefSlot = 0x100;      // + slot: the entry standing in that slot
inline constexpr int32_t kCharRefNth = 0x110;       // + k: the k-th standing entry from the left
inline constexpr int32_t kCharRefMiddle = 0x130;    // the middle standing entry
inline constexpr int32_t kCharModeMakeRoom = 4096;  // others make room or close ranks
inline constexpr int32_t kCharModeInPlace = 4097;   // others stay (a move swaps)
inline constexpr int32_t kCharModeAlone = 4098;     // a hide leaves the others where they are

struct CharEntry {
    int32_t id;
    int32_t from;
    int32_t to;
    uint8_t flag;  // moves in or out with an effect
    uint8_t speaking;
};

class CharDisplayList {
  public:
    // Unfolds staged slots and their speaking flags.
    void Build(const CharSlots& slots, const uint8_t speaking[7]);
    // Folds the entries back; entries that neither stand in nor leave a slot are dropped.
    void WriteBack(CharSlots& slots, uint8_t speaking[7]) const;

    // Each gives false, changing nothing, when its arguments are refused or the reference
    // names no entry.
    bool Show(int32_t character, int32_t slot, int32_t mode, int32_t position);
    bool Hide(int32_t reference, int32_t position, int32_t mode);
    bool Move(int32_t reference, int32_t position, int32_t mode);
    bool AllMove(int32_t position);
    bool AllHide();
    bool Change(int32_t reference, int32_t character);

    // Index of the entry a reference names, or -1.
    int Find(int32_t reference) const;
    const std::vector<CharEntry>& Entries() const { return entries_; }

  private:
    int StandingIn(int32_t slot) const;
    void MakeRoom(int32_t slot, int32_t code);
    // An entry still standing in `slot` makes way for one arriving there from `from`.
    void Displace(int32_t slot, int32_t from, int keep);
    void LayOut();

    std::vector<CharEntry> entries_;
};

// Where a show code brings a character into slot s from; false when the code is refused.
bool CharShowFrom(int32_t code, int32_t s, int32_t& from);
// Where a hide or move code sends a character standing in slot s; false when refused.
bool CharHideTo(int32_t code, int32_t s, int32_t& to);
bool CharMoveTo(int32_t code, int32_t s, int32_t& to);

// The commands' face: each builds the list from the staged slots of `state`, applies one
// operation and, when it succeeds, writes the list back.
bool CharShow(GameState& state, int32_t character, int32_t slot, int32_t mode, int32_t position);
bool CharHide(GameState& state, int32_t reference, int32_t position, int32_t mode);
bool CharMove(GameState& state, int32_t reference, int32_t position, int32_t mode);
bool CharAllMove(GameState& state, int32_t position);
bool CharAllHide(GameState& state);
bool CharChange(GameState& state, int32_t reference, int32_t character);
