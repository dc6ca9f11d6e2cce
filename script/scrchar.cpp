// The character display list and the position codes of the character commands.
#include "script/scrchar.h"

#include <algorithm>

#include "game/gamedata.h"

namespace {

constexpr int32_t kSlots = CharSlots::kSlots;

bool InSlots(int32_t v) {
    return v >= 0 && v < kSlots;
}

// Layouts by the number of characters on stage, left to right.
constexpr int32_t kLayouts[7][6] = {
    {}, {3}, {1, 5}, {1, 3, 5}, {0, 2, 4, 6}, {1, 2, 3, 4, 5}, {0, 1, 2, 4, 5, 6},
};

// Where a hide (move = false) or a move sends a character standing in slot s.
bool LeaveTo(int32_t code, int32_t s, bool move, int32_t& to) {
    if (code < 0x200 || code > 0x2FF || code == 544 || code == 608) return false;
    if (code == 512)
        to = s - 2;
    else if (code >= 513 && code <= 519)
        to = s - 1 - (code - 513);
    else if (code == 520)
        to = -1;
    else if (code == 528)
        to = s + 2;
    else if (code >= 529 && code <= 535)
        to = s + (code - 528);
    else if (code == 536)
        to = 7;
    else if (code == 560)
        to = s + 20;
    else if (code == 576)
        to = s + 30;
    else if (code == 592)
        to = s + 40;
    else if (code == 624)
        to = s <= 1 ? -1 : s <= 4 ? s + 20 : 7;
    else
        to = move ? s : s + 20;
    return true;
}

}  // namespace

bool CharShowFrom(int32_t code, int32_t s, int32_t& from) {
    if (code < 0x200 || code > 0x2FF) return false;
    switch (code) {
        case 520:
        case 536:
        case 560:
        case 624:
            return false;
        case 512:
            from = 7;
            return true;
        case 528:
            from = -1;
            return true;
        case 544:
            from = s + 20;
            return true;
        case 576:
            from = s + 40;
            return true;
        case 592:
            from = s + 30;
            return true;
        case 608:
            from = s <= 1 ? -1 : s <= 4 ? s + 20 : 7;
            return true;
        default:
            break;
    }
    if (code >= 513 && code <= 519)
        from = s + 1 + (code - 513);
    else if (code >= 529 && code <= 535)
        from = s - 1 - (code - 529);
    else
        from = s + 20;
    return true;
}

bool CharHideTo(int32_t code, int32_t s, int32_t& to) {
    return LeaveTo(code, s, false, to);
}
bool CharMoveTo(int32_t code, int32_t s, int32_t& to) {
    return LeaveTo(code, s, true, to);
}

void CharDisplayList::Build(const CharSlots& c, const uint8_t speaking[7]) {
    entries_.clear();
    for (int32_t i = 0; i < kSlots; ++i)
        if (c.ShowId[i] >= 0)
            entries_.push_back({c.ShowId[i], c.MoveFrom[i] == -100 ? i : c.MoveFrom[i], i,
                                c.ShowFlag[i], speaking[i]});
    for (int32_t i = 0; i < kSlots; ++i)
        if (c.LeaveId[i] >= 0) {
            // A leaving half that claims to end inside the stage would stand on a shown
            // character; it can only come from a damaged record, and it still leaves.
            const int32_t to = InSlots(c.MoveTo[i]) ? i + 20 : c.MoveTo[i];
            entries_.push_back({c.LeaveId[i], i, to, c.LeaveFlag[i], 0});
        }
}

void CharDisplayList::WriteBack(CharSlots& c, uint8_t speaking[7]) const {
    c.Reset();
    for (const CharEntry& e : entries_) {
        if (InSlots(e.to)) {
            c.ShowId[e.to] = e.id;
            c.MoveFrom[e.to] = e.from == e.to ? -100 : e.from;
            c.ShowFlag[e.to] = e.flag;
            speaking[e.to] = e.speaking;
        } else if (InSlots(e.from)) {
            c.LeaveId[e.from] = e.id;
            c.MoveTo[e.from] = e.to;
            c.LeaveFlag[e.from] = e.flag;
        }
    }
}

int CharDisplayList::StandingIn(int32_t slot) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].to == slot) return static_cast<int>(i);
    return -1;
}

int CharDisplayList::Find(int32_t ref) const {
    if (ref >= kCharRefSlot && ref < kCharRefNth) {
        // Only 0-6 name a slot; 0x107 would otherwise find a character leaving by the right.
        const int32_t s = ref & 15;
        return InSlots(s) ? StandingIn(s) : -1;
    }
    int32_t k;
    if (ref >= kCharRefNth && ref < kCharRefMiddle) {
        k = ref - kCharRefNth;
    } else if (ref == kCharRefMiddle) {
        int32_t n = 0;
        for (int32_t s = 0; s < kSlots; ++s) n += StandingIn(s) >= 0;
        if (n == 0) return -1;
        k = (n - 1) / 2;
    } else {
        return -1;
    }
    for (int32_t s = 0; s < kSlots; ++s) {
        const int i = StandingIn(s);
        if (i >= 0 && k-- == 0) return i;
    }
    return -1;
}

void CharDisplayList::Displace(int32_t slot, int32_t from, int keep) {
    const int i = StandingIn(slot);
    if (i < 0 || i == keep) return;
    CharEntry& e = entries_[static_cast<size_t>(i)];
    int32_t to = from;
    // Sliding out towards a slot another character holds would put two in one slot.
    if (InSlots(to) && StandingIn(to) >= 0) to = slot + 20;
    e.to = to;
    if (!InSlots(to)) e.flag = 1;
}

void CharDisplayList::MakeRoom(int32_t s, int32_t c) {
    if (c == 608) c = s <= 1 ? 528 : s <= 4 ? 544 : 512;
    int32_t d;
    if (c >= 512 && c <= 527)
        d = 512;
    else if (c >= 528 && c <= 543)
        d = 528;
    else if (c == 576)
        d = 592;
    else if (c == 592)
        d = 576;
    else
        d = 560;

    if (d == 560 || d == 576 || d == 592) {
        const int i = StandingIn(s);
        if (i >= 0) {
            entries_[static_cast<size_t>(i)].to = s + (d == 560 ? 20 : d == 576 ? 30 : 40);
            entries_[static_cast<size_t>(i)].flag = 1;
        }
    }
    int32_t j = -1;
    if (d == 512 && StandingIn(s) >= 0)
        j = s;
    else if (s - 1 >= 0 && StandingIn(s - 1) >= 0)
        j = s - 1;
    int32_t r = -1;
    if (d == 528 && StandingIn(s) >= 0)
        r = s;
    else if (s + 1 < kSlots && StandingIn(s + 1) >= 0)
        r = s + 1;
    const int32_t L = j >= 0 ? 2 - (s - j) : 0;
    const int32_t R = r >= 0 ? 2 - (r - s) : 0;
    for (CharEntry& e : entries_) {
        if (!InSlots(e.to)) continue;
        if (j >= 0 && e.to < j) {
            if (e.to < L) {
                e.to = -1;
                e.flag = 1;
            } else {
                e.to -= L;
            }
        } else if (r >= 0 && e.to > r) {
            if (e.to > kSlots - 1 - R) {
                e.to = 7;
                e.flag = 1;
            } else {
                e.to += R;
            }
        }
    }
}

void CharDisplayList::LayOut() {
    std::vector<CharEntry*> standing;
    for (int32_t s = 0; s < kSlots; ++s) {
        const int i = StandingIn(s);
        if (i >= 0) standing.push_back(&entries_[static_cast<size_t>(i)]);
    }
    const size_t n = standing.size();
    if (n == 0 || n >= static_cast<size_t>(kSlots)) return;
    for (size_t k = 0; k < n; ++k) standing[k]->to = kLayouts[n][k];
}

bool CharDisplayList::Show(int32_t character, int32_t slot, int32_t mode, int32_t position) {
    if (character < 0 || slot < 0 || slot >= 256) return false;
    if (mode != kCharModeMakeRoom && mode != kCharModeInPlace) return false;
    // Slots 7-15 would index past the seven slots.
    const int32_t s = slot & 15;
    if (!InSlots(s)) return false;
    int32_t from;
    if (!CharShowFrom(position, s, from)) return false;
    if (mode == kCharModeMakeRoom) MakeRoom(s, position);
    Displace(s, from, -1);
    entries_.push_back({character, from, s, 1, 0});
    return true;
}

bool CharDisplayList::Hide(int32_t reference, int32_t position, int32_t mode) {
    if (mode != kCharModeMakeRoom && mode != kCharModeAlone) return false;
    const int i = Find(reference);
    if (i < 0) return false;
    CharEntry& e = entries_[static_cast<size_t>(i)];
    int32_t to;
    if (!CharHideTo(position, e.to, to)) return false;
    e.to = InSlots(to) ? to + 20 : to;
    e.flag = 1;
    if (mode == kCharModeMakeRoom) LayOut();
    return true;
}

bool CharDisplayList::Move(int32_t reference, int32_t position, int32_t mode) {
    if (mode != kCharModeMakeRoom && mode != kCharModeInPlace) return false;
    const bool slotCode = position >= 0 && position <= 0xFF;
    if (!slotCode && (position < 0x200 || position > 0x2FF || position == 544 || position == 608))
        return false;
    const int i = Find(reference);
    if (i < 0) return false;
    const int32_t s = entries_[static_cast<size_t>(i)].to;
    int32_t target, roomCode;
    if (slotCode) {
        target = position & 15;
        roomCode = target < s ? 512 : target > s ? 528 : 544;
    } else {
        CharMoveTo(position, s, target);
        roomCode = position;
    }
    if (mode == kCharModeInPlace) {
        if (target == s) return true;
        if (InSlots(target)) {
            const int other = StandingIn(target);
            if (other >= 0) entries_[static_cast<size_t>(other)].to = s;
            entries_[static_cast<size_t>(i)].to = target;
        } else {
            entries_[static_cast<size_t>(i)].to = target;
            entries_[static_cast<size_t>(i)].flag = 1;
        }
        return true;
    }
    if (!InSlots(target)) {
        entries_[static_cast<size_t>(i)].to = target;
        entries_[static_cast<size_t>(i)].flag = 1;
        LayOut();
        return true;
    }
    CharEntry mover = entries_[static_cast<size_t>(i)];
    entries_.erase(entries_.begin() + i);
    MakeRoom(target, roomCode);
    int32_t from;
    if (!CharShowFrom(roomCode, target, from)) from = target + 20;
    Displace(target, from, -1);
    mover.to = target;
    entries_.push_back(mover);
    return true;
}

bool CharDisplayList::AllMove(int32_t position) {
    if (position < 0x200 || position > 0x2FF || position == 544 || position == 608) return false;
    for (CharEntry& e : entries_) {
        if (!InSlots(e.to)) continue;
        CharMoveTo(position, e.to, e.to);
        if (!InSlots(e.to)) e.flag = 1;
    }
    return true;
}

bool CharDisplayList::AllHide() {
    for (int32_t s = 0; s < kSlots; ++s) Hide(kCharRefSlot + s, 624, kCharModeAlone);
    return true;
}

bool CharDisplayList::Change(int32_t reference, int32_t character) {
    if (character < 0) return false;
    const int i = Find(reference);
    if (i < 0) return false;
    entries_[static_cast<size_t>(i)].id = character;
    return true;
}

namespace {

template <typename Op>
bool Apply(GameState& state, Op op) {
    CharDisplayList list;
    list.Build(state.CharStaged, state.SpeakStaged);
    if (!op(list)) return false;
    list.WriteBack(state.CharStaged, state.SpeakStaged);
    return true;
}

}  // namespace

bool CharShow(GameState& st, int32_t character, int32_t slot, int32_t mode, int32_t position) {
    return Apply(st, [&](CharDisplayList& l) { return l.Show(character, slot, mode, position); });
}
bool CharHide(GameState& st, int32_t reference, int32_t position, int32_t mode) {
    return Apply(st, [&](CharDisplayList& l) { return l.Hide(reference, position, mode); });
}
bool CharMove(GameState& st, int32_t reference, int32_t position, int32_t mode) {
    return Apply(st, [&](CharDisplayList& l) { return l.Move(reference, position, mode); });
}
bool CharAllMove(GameState& st, int32_t position) {
    return Apply(st, [&](CharDisplayList& l) { return l.AllMove(position); });
}
bool CharAllHide(GameState& st) {
    return Apply(st, [&](CharDisplayList& l) { return l.AllHide(); });
}
bool CharChange(GameState& st, int32_t reference, int32_t character) {
    return Apply(st, [&](CharDisplayList& l) { return l.Change(reference, character); });
}
