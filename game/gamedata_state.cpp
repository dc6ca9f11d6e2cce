// The record of the running story: its operations, its calendar and its stored image.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "game/maint.h"

namespace {

constexpr int32_t kDaysOfMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int32_t kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int32_t kMaxMillis = 59999 * 1000;
constexpr int kLineText = GameState::kLineSize - 1;

int32_t DaysOf(int32_t month) {
    return month >= 1 && month <= 12 ? kDaysOfMonth[month - 1] : 31;
}

int32_t PeriodOf(int32_t hour) {
    if (hour >= 17 && hour <= 18) return 1;
    if (hour >= 19 || hour <= 5) return 2;
    if (hour <= 9) return 3;
    return 0;
}

// The first `limit` bytes of s, one fewer when the last kept byte would be the lead byte of
// a double-byte character, so that no half character is stored.
std::string Cut(const ZRString& s, int limit) {
    if (s.Length() <= limit) return s.GetConstStr();
    const int keep = s.ByteType(limit) == 1 ? limit - 1 : limit;
    return s.GetConstStr().substr(0, static_cast<size_t>(keep));
}

// Clears a fixed text field and stores text (already short enough) with its NUL.
void Store(char* field, size_t fieldSize, const std::string& text) {
    std::memset(field, 0, fieldSize);
    std::memcpy(field, text.data(), std::min(text.size(), fieldSize - 1));
}

ZRString Text(const char* field, size_t fieldSize) {
    return ZRString(field, static_cast<unsigned int>(strnlen(field, fieldSize)));
}

void StoreLine(char* line, const ZRString& text) {
    Store(line, GameState::kLineSize, Cut(text, kLineText));
}

bool HasNul(const char* field, size_t size) {
    return std::memchr(field, 0, size) != nullptr;
}

// Byte writer and reader over the stored image; offsets advance field by field so that the
// order of the calls is the layout, and each block ends with a check of its offset.
class Out {
  public:
    explicit Out(uint8_t* p) : p_(p) {}
    void U8(uint8_t v) { p_[at_++] = v; }
    void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
    void U32(uint32_t v) {
        ZRPutLE32(p_ + at_, v);
        at_ += 4;
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Bytes(const void* src, size_t n) {
        std::memcpy(p_ + at_, src, n);
        at_ += n;
    }
    void Zero(size_t n) {
        std::memset(p_ + at_, 0, n);
        at_ += n;
    }
    size_t at() const { return at_; }

  private:
    uint8_t* p_;
    size_t at_ = 0;
};

class In {
  public:
    explicit In(const uint8_t* p) : p_(p) {}
    uint8_t U8() { return p_[at_++]; }
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint32_t U32() {
        const uint32_t v = ZRGetLE32(p_ + at_);
        at_ += 4;
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    void Bytes(void* dst, size_t n) {
        std::memcpy(dst, p_ + at_, n);
        at_ += n;
    }
    void Skip(size_t n) { at_ += n; }
    size_t at() const { return at_; }

  private:
    const uint8_t* p_;
    size_t at_ = 0;
};

void PutFrame(Out& o, const CallFrame& f) {
    o.I32(f.ScriptNo);
    o.U32(f.Checksum);
    o.U32(f.ReturnPc);
    o.I32(f.Base);
    o.I32(f.Top);
    o.I32(f.Result);
    o.I32(f.Arg);
}

void GetFrame(In& in, CallFrame& f) {
    f.ScriptNo = in.I32();
    f.Checksum = in.U32();
    f.ReturnPc = in.U32();
    f.Base = in.I32();
    f.Top = in.I32();
    f.Result = in.I32();
    f.Arg = in.I32();
}

void PutSlots(Out& o, const CharSlots& c) {
    for (int32_t v : c.ShowId) o.I32(v);
    for (int32_t v : c.MoveFrom) o.I32(v);
    o.Bytes(c.ShowFlag, sizeof c.ShowFlag);
    o.Zero(1);
    for (int32_t v : c.LeaveId) o.I32(v);
    for (int32_t v : c.MoveTo) o.I32(v);
    o.Bytes(c.LeaveFlag, sizeof c.LeaveFlag);
    o.Zero(1);
}

void GetSlots(In& in, CharSlots& c) {
    for (int32_t& v : c.ShowId) v = in.I32();
    for (int32_t& v : c.MoveFrom) v = in.I32();
    in.Bytes(c.ShowFlag, sizeof c.ShowFlag);
    in.Skip(1);
    for (int32_t& v : c.LeaveId) v = in.I32();
    for (int32_t& v : c.MoveTo) v = in.I32();
    in.Bytes(c.LeaveFlag, sizeof c.LeaveFlag);
    in.Skip(1);
}

bool InRange(int64_t v, int64_t lo, int64_t hi) {
    return v >= lo && v <= hi;
}

}  // namespace

int CompareDateTime(int32_t aMonth, int32_t aDay, int32_t aHour, int32_t aMinute, int32_t bMonth,
                    int32_t bDay, int32_t bHour, int32_t bMinute) {
    const int32_t a[4] = {aMonth, aDay, aHour, aMinute};
    const int32_t b[4] = {bMonth, bDay, bHour, bMinute};
    for (int i = 0; i < 4; ++i) {
        if (a[i] < b[i]) return -1;
        if (a[i] > b[i]) return 1;
    }
    return 0;
}

int32_t GetWeekdayOf(int32_t month, int32_t day) {
    if (month < 1 || month > 12) return 0;
    const int32_t d = kDaysBefore[month - 1] + day - 1;
    return ((d % 7) + 7) % 7;
}

CallFrame::CallFrame()
    : ScriptNo(0), Checksum(0), ReturnPc(0), Base(0), Top(0), Result(0), Arg(0) {}

CharSlots::CharSlots() {
    Reset();
}

void CharSlots::Reset() {
    for (int i = 0; i < kSlots; ++i) {
        ShowId[i] = LeaveId[i] = -1;
        MoveFrom[i] = MoveTo[i] = -100;
        ShowFlag[i] = LeaveFlag[i] = 0;
    }
}

void CharSlots::ClearMoves() {
    for (int i = 0; i < kSlots; ++i) {
        MoveFrom[i] = -100;
        ShowFlag[i] = 0;
        LeaveId[i] = -1;
        MoveTo[i] = -100;
        LeaveFlag[i] = 0;
    }
}

GameState::GameState() : Arg(0), ScriptSum(0) {
    Reserved[0] = Reserved[1] = 1;
    Reset();
}

// ---- stored image ----

void GameState::Encode(uint8_t* out) const {
    Out o(out);
    o.U8(WaitKind);
    o.Bytes(Flags, sizeof Flags);
    o.Bytes(SysFlagCopy, sizeof SysFlagCopy);
    o.Zero(3);
    for (int32_t v : Values) o.I32(v);
    for (int32_t v : SysValueCopy) o.I32(v);
    o.Bytes(StringVars, sizeof StringVars);
    o.I32(Result);
    o.I32(Arg);
    o.I32(Stage);
    o.I8(Month);
    o.I8(Day);
    o.I8(Hour);
    o.I8(Minute);
    o.U32(Millis);
    o.I32(Period);
    o.I8(LimitMonth);
    o.I8(LimitDay);
    o.I8(LimitHour);
    o.I8(LimitMinute);
    o.I32(RainPower);
    o.Bytes(SceneName, sizeof SceneName);
    for (uint32_t v : Stack) o.U32(v);
    o.I32(StackBase);
    o.I32(StackTop);
    o.I32(ScriptNo);
    o.U32(ScriptSum);
    o.U32(Pc);
    o.U8(Halted);
    o.U8(Waiting);
    o.Zero(2);
    for (const CallFrame& f : Frames) PutFrame(o, f);
    o.I32(CallDepth);
    o.I32(Weather);
    o.I32(BgShown);
    o.I32(BgStaged);
    o.I32(FadeSpeed);
    PutSlots(o, CharShown);
    PutSlots(o, CharStaged);
    o.Bytes(SpeakShown, sizeof SpeakShown);
    o.Bytes(SpeakStaged, sizeof SpeakStaged);
    o.Zero(2);
    o.I32(PriorityShown);
    o.I32(PriorityStaged);
    o.U8(NovelMode);
    o.U8(TextWindowShown);
    o.U8(Reserved[0]);
    o.U8(Reserved[1]);
    o.U8(CursorShown);
    o.U8(SkipDisabled);
    o.Zero(2);
    o.I32(PlaceCard);
    o.Bytes(MessageText, sizeof MessageText);
    o.I32(MessageId);
    o.U8(MessageRead);
    o.Bytes(PageLines, sizeof PageLines);
    o.Zero(3);
    o.I32(PageLine);
    o.I32(TextSpeed);
    o.Bytes(Backlog, sizeof Backlog);
    o.I32(BacklogHead);
    o.I32(BacklogTail);
    o.Bytes(SelectTexts, sizeof SelectTexts);
    o.I32(MusicTrack);
    o.I32(MusicVolume);
    o.I32(VoiceVolume);
    o.I32(VoicePos[0]);
    o.I32(VoicePos[1]);
    o.I32(SeVolume);
    o.I32(SePos[0]);
    o.I32(SePos[1]);
    o.I32(EnvTrack);
    o.I32(EnvVolume);
    o.I32(EnvPos[0]);
    o.I32(EnvPos[1]);
    o.I32(EnvNextPos[0]);
    o.I32(EnvNextPos[1]);
    o.I32(RainSoundLevel);
    o.I32(RainVolume);
    o.I32(ExSelArg);
    o.I32(MovieNo);
    o.I32(BattleResult);
    if (o.at() != kGameStateSize) std::abort();
}

bool GameState::Decode(const uint8_t* image, size_t size) {
    if (!image || size != kGameStateSize) return false;
    // Built aside (and on the heap: the record is 60 KB) so that a refused image changes nothing.
    auto temp = std::make_unique<GameState>();
    GameState& s = *temp;
    In in(image);
    s.WaitKind = in.U8();
    in.Bytes(s.Flags, sizeof s.Flags);
    in.Bytes(s.SysFlagCopy, sizeof s.SysFlagCopy);
    in.Skip(3);
    for (int32_t& v : s.Values) v = in.I32();
    for (int32_t& v : s.SysValueCopy) v = in.I32();
    in.Bytes(s.StringVars, sizeof s.StringVars);
    s.Result = in.I32();
    s.Arg = in.I32();
    s.Stage = in.I32();
    s.Month = in.I8();
    s.Day = in.I8();
    s.Hour = in.I8();
    s.Minute = in.I8();
    s.Millis = in.U32();
    s.Period = in.I32();
    s.LimitMonth = in.I8();
    s.LimitDay = in.I8();
    s.LimitHour = in.I8();
    s.LimitMinute = in.I8();
    s.RainPower = in.I32();
    in.Bytes(s.SceneName, sizeof s.SceneName);
    for (uint32_t& v : s.Stack) v = in.U32();
    s.StackBase = in.I32();
    s.StackTop = in.I32();
    s.ScriptNo = in.I32();
    s.ScriptSum = in.U32();
    s.Pc = in.U32();
    s.Halted = in.U8();
    s.Waiting = in.U8();
    in.Skip(2);
    for (CallFrame& f : s.Frames) GetFrame(in, f);
    s.CallDepth = in.I32();
    s.Weather = in.I32();
    s.BgShown = in.I32();
    s.BgStaged = in.I32();
    s.FadeSpeed = in.I32();
    GetSlots(in, s.CharShown);
    GetSlots(in, s.CharStaged);
    in.Bytes(s.SpeakShown, sizeof s.SpeakShown);
    in.Bytes(s.SpeakStaged, sizeof s.SpeakStaged);
    in.Skip(2);
    s.PriorityShown = in.I32();
    s.PriorityStaged = in.I32();
    s.NovelMode = in.U8();
    s.TextWindowShown = in.U8();
    s.Reserved[0] = in.U8();
    s.Reserved[1] = in.U8();
    s.CursorShown = in.U8();
    s.SkipDisabled = in.U8();
    in.Skip(2);
    s.PlaceCard = in.I32();
    in.Bytes(s.MessageText, sizeof s.MessageText);
    s.MessageId = in.I32();
    s.MessageRead = in.U8();
    in.Bytes(s.PageLines, sizeof s.PageLines);
    in.Skip(3);
    s.PageLine = in.I32();
    s.TextSpeed = in.I32();
    in.Bytes(s.Backlog, sizeof s.Backlog);
    s.BacklogHead = in.I32();
    s.BacklogTail = in.I32();
    in.Bytes(s.SelectTexts, sizeof s.SelectTexts);
    s.MusicTrack = in.I32();
    s.MusicVolume = in.I32();
    s.VoiceVolume = in.I32();
    s.VoicePos[0] = in.I32();
    s.VoicePos[1] = in.I32();
    s.SeVolume = in.I32();
    s.SePos[0] = in.I32();
    s.SePos[1] = in.I32();
    s.EnvTrack = in.I32();
    s.EnvVolume = in.I32();
    s.EnvPos[0] = in.I32();
    s.EnvPos[1] = in.I32();
    s.EnvNextPos[0] = in.I32();
    s.EnvNextPos[1] = in.I32();
    s.RainSoundLevel = in.I32();
    s.RainVolume = in.I32();
    s.ExSelArg = in.I32();
    s.MovieNo = in.I32();
    s.BattleResult = in.I32();
    if (in.at() != kGameStateSize) std::abort();

    // Older games let the page line run past the page; those saves act as a full page.
    if (s.PageLine > kPageLines) s.PageLine = kPageLines;
    if (!s.IsValid()) return false;
    *this = s;
    return true;
}

bool GameState::IsValid() const {
    // Every number the game later uses as an index, a divisor or a bound.
    if (WaitKind > 4) return false;
    if (!InRange(StackBase, 0, kStackSlots) || !InRange(StackTop, StackBase, kStackSlots))
        return false;
    if (!InRange(CallDepth, 0, kMaxCallDepth)) return false;
    for (int i = 0; i < CallDepth; ++i) {
        const CallFrame& f = Frames[i];
        if (!InRange(f.Base, 0, kStackSlots) || !InRange(f.Top, f.Base, kStackSlots)) return false;
    }
    if (!InRange(PageLine, 0, kPageLines)) return false;
    if (!InRange(BacklogHead, 0, kBacklogLines - 1) || !InRange(BacklogTail, 0, kBacklogLines - 1))
        return false;
    if (!InRange(Weather, 0, 5)) return false;
    // Day 0 is what a limit set without its day leaves when an advance is held at it.
    if (!InRange(Month, 1, 12) || !InRange(Day, 0, 31) || !InRange(Hour, 0, 23) ||
        !InRange(Minute, 0, 59) || Millis > static_cast<uint32_t>(kMaxMillis))
        return false;
    if (!InRange(LimitMonth, 0, 12) || !InRange(LimitDay, 0, 31) || !InRange(LimitHour, 0, 23) ||
        !InRange(LimitMinute, 0, 59))
        return false;
    if (!InRange(Period, 0, 3) || !InRange(RainPower, 0, 255) || !InRange(TextSpeed, 0, 3000))
        return false;
    if (FadeSpeed < 1) return false;
    if (!InRange(PriorityShown, 0, 3) || !InRange(PriorityStaged, 0, 3)) return false;
    for (const auto& v : StringVars)
        if (!HasNul(v, sizeof v)) return false;
    if (!HasNul(SceneName, sizeof SceneName) || !HasNul(MessageText, sizeof MessageText))
        return false;
    for (const auto& l : PageLines)
        if (!HasNul(l, sizeof l)) return false;
    for (const auto& l : Backlog)
        if (!HasNul(l, sizeof l)) return false;
    for (const auto& l : SelectTexts)
        if (!HasNul(l, sizeof l)) return false;
    return true;
}

// ---- flags, values, strings ----

void GameState::SetFlag(int32_t n, bool on) {
    if (n < 0 || n >= kFlags) return;
    const uint8_t bit = static_cast<uint8_t>(1u << (n & 7));
    if (on)
        Flags[n >> 3] |= bit;
    else
        Flags[n >> 3] &= static_cast<uint8_t>(~bit);
}

bool GameState::GetFlag(int32_t n) const {
    if (n < 0 || n >= kFlags) return false;
    return (Flags[n >> 3] >> (n & 7)) & 1;
}

void GameState::CopySysFlags(const SystemData& sys) {
    sys.GetFlags(SysFlagCopy);
}

bool GameState::GetSysFlagCopy(int32_t n) const {
    if (n < 0 || n >= 64) return false;
    return (SysFlagCopy[n >> 3] >> (n & 7)) & 1;
}

void GameState::CopySysValues(const SystemData& sys) {
    uint32_t v[8];
    sys.GetValues(v);
    for (int i = 0; i < 8; ++i) SysValueCopy[i] = static_cast<int32_t>(v[i]);
}

int32_t GameState::GetSysValueCopy(int32_t n) const {
    return n >= 0 && n < 8 ? SysValueCopy[n] : 0;
}

void GameState::SetValue(int32_t n, int32_t v) {
    if (n >= 0 && n < kValues) Values[n] = v;
}

int32_t GameState::GetValue(int32_t n) const {
    return n >= 0 && n < kValues ? Values[n] : 0;
}

void GameState::SetStringVar(int32_t n, const ZRString& s) {
    if (n < 0 || n >= kStringVars) return;
    std::memset(StringVars[n], 0, kStringVarSize);
    if (s.Length() > kStringVarSize - 1) throw EGameErr();
    Store(StringVars[n], kStringVarSize, s.GetConstStr());
}

ZRString GameState::GetStringVar(int32_t n) const {
    if (n < 0 || n >= kStringVars) return ZRString();
    return Text(StringVars[n], kStringVarSize);
}

// ---- date and time ----

void GameState::SetMonth(int32_t m) {
    if (m >= 1 && m <= 12) Month = static_cast<int8_t>(m);
}

void GameState::SetDay(int32_t d) {
    if (d >= 1 && d <= DaysOf(Month)) Day = static_cast<int8_t>(d);
}

void GameState::SetHour(int32_t h) {
    if (h >= 0 && h <= 23) Hour = static_cast<int8_t>(h);
    Period = PeriodOf(Hour);
}

void GameState::SetMinute(int32_t m) {
    if (m >= 0 && m <= 59) Minute = static_cast<int8_t>(m);
}

void GameState::SetSeconds(int32_t s) {
    if (s >= 0 && s < 60000) Millis = static_cast<uint32_t>(s) * 1000u;
}

void GameState::SetDate(int32_t mmdd) {
    const int32_t v = mmdd % 10000;
    SetMonth(v / 100);
    SetDay(v % 100);
}

void GameState::SetTime(int32_t hhmm) {
    const int32_t v = hhmm % 10000;
    SetHour(v / 100);
    SetMinute(v % 100);
    Millis = 0;
}

void GameState::NextDay() {
    if (Day + 1 > DaysOf(Month)) {
        Day = 1;
        Month = static_cast<int8_t>(Month == 12 ? 1 : Month + 1);
    } else {
        Day = static_cast<int8_t>(Day + 1);
    }
}

void GameState::PrevDay() {
    if (Day - 1 < 1) {
        Month = static_cast<int8_t>(Month <= 1 ? 12 : Month - 1);
        Day = static_cast<int8_t>(DaysOf(Month));
    } else {
        Day = static_cast<int8_t>(Day - 1);
    }
}

// n single-day steps. From any reachable date the walk settles on a real date within three
// steps and then repeats every 365, so a long walk is cut to 365 + (|n| mod 365) steps: the
// same end as the full walk, without freezing the game for billions of steps.
void GameState::StepDays(int64_t n) {
    uint64_t count = n < 0 ? static_cast<uint64_t>(-(n + 1)) + 1 : static_cast<uint64_t>(n);
    if (count > 730) count = 365 + count % 365;
    for (uint64_t i = 0; i < count; ++i) {
        if (n < 0)
            PrevDay();
        else
            NextDay();
    }
}

void GameState::AddHours64(int64_t n) {
    int64_t h = Hour + n;
    int64_t days = h >= 0 ? h / 24 : -((-h + 23) / 24);
    h -= days * 24;
    StepDays(days);
    Hour = static_cast<int8_t>(h);
    Period = PeriodOf(Hour);
}

void GameState::AddHours(int32_t n) {
    AddHours64(n);
}

void GameState::ClampToLimit() {
    if (IsWithinLimit()) return;
    Month = LimitMonth;
    Day = LimitDay;
    Hour = LimitHour;
    Minute = LimitMinute;
    Millis = 0;
}

void GameState::AddDays(int32_t n) {
    if (!IsWithinLimit()) return;
    StepDays(n);
    ClampToLimit();
}

void GameState::AddMinutes(int32_t n) {
    if (!IsWithinLimit()) return;
    int64_t m = Minute + static_cast<int64_t>(n);
    const int64_t hours = m >= 0 ? m / 60 : -((-m + 59) / 60);
    m -= hours * 60;
    if (hours != 0) AddHours64(hours);
    Minute = static_cast<int8_t>(m);
    ClampToLimit();
}

int32_t GameState::GetWeekday() const {
    return GetWeekdayOf(Month, Day);
}

bool GameState::IsWithinLimit() const {
    if (LimitMonth == 0) return true;
    return CompareDateTime(Month, Day, Hour, Minute, LimitMonth, LimitDay, LimitHour,
                           LimitMinute) <= 0;
}

void GameState::SetLimitMonth(int32_t m) {
    if (m >= 1 && m <= 12) LimitMonth = static_cast<int8_t>(m);
}

void GameState::SetLimitDay(int32_t d) {
    if (d >= 1 && d <= DaysOf(LimitMonth)) LimitDay = static_cast<int8_t>(d);
}

void GameState::SetLimitHour(int32_t h) {
    if (h >= 0 && h <= 23) LimitHour = static_cast<int8_t>(h);
}

void GameState::SetLimitMinute(int32_t m) {
    if (m >= 0 && m <= 59) LimitMinute = static_cast<int8_t>(m);
}

void GameState::SetLimitDate(int32_t mmdd) {
    const int32_t v = mmdd % 10000;
    SetLimitMonth(v / 100);
    SetLimitDay(v % 100);
}

void GameState::SetLimitTime(int32_t hhmm) {
    const int32_t v = hhmm % 10000;
    SetLimitHour(v / 100);
    SetLimitMinute(v % 100);
}

// ---- weather, scene ----

void GameState::SetWeather(int32_t n) {
    if (n >= 0 && n <= 5) Weather = n;
}

void GameState::SetRainPower(int32_t v) {
    RainPower = std::clamp(v, 0, 255);
}

int32_t GameState::GetRainLevel() const {
    return std::min(RainPower / 50, 4);
}

void GameState::SetSceneName(const ZRString& s) {
    if (s.Length() > kSceneNameSize - 1) throw EGameErr();
    Store(SceneName, sizeof SceneName, s.GetConstStr());
}

ZRString GameState::GetSceneName() const {
    return Text(SceneName, sizeof SceneName);
}

// ---- value stack and call frames ----

void GameState::ClearStack() {
    std::memset(Stack, 0, sizeof Stack);
    StackBase = StackTop = 0;
}

void GameState::Push(uint32_t v) {
    if (StackTop >= kStackSlots) throw EGameErr();
    Stack[StackTop++] = v;
}

uint32_t GameState::Pop() {
    if (StackTop <= StackBase) throw EGameErr();
    return Stack[--StackTop];
}

uint32_t GameState::Peek() const {
    if (StackTop <= StackBase) throw EGameErr();
    return Stack[StackTop - 1];
}

void GameState::ClearCallStack() {
    for (CallFrame& f : Frames) {
        f.ScriptNo = 0;
        f.ReturnPc = 0;
        f.Base = 0;
        f.Top = 0;
    }
    CallDepth = 0;
}

void GameState::PushFrame(const CallFrame& f) {
    if (CallDepth >= kMaxCallDepth) throw EGameErr();
    Frames[CallDepth++] = f;
}

void GameState::PushFrame(int32_t scriptNo, uint32_t checksum, uint32_t returnPc, int32_t base,
                          int32_t top, int32_t result, int32_t arg) {
    CallFrame f;
    f.ScriptNo = scriptNo;
    f.Checksum = checksum;
    f.ReturnPc = returnPc;
    f.Base = base;
    f.Top = top;
    f.Result = result;
    f.Arg = arg;
    PushFrame(f);
}

void GameState::PopFrame(CallFrame& out) {
    if (CallDepth <= 0) throw EGameErr();
    out = Frames[--CallDepth];
}

// ---- message ----

void GameState::SetMessageText(const ZRString& text) {
    Store(MessageText, sizeof MessageText, Cut(text, kMessageSize - 1));
}

void GameState::SetMessage(int32_t id, const ZRString& text) {
    MessageId = id;
    SetMessageText(text);
    const bool keyed = id >= 1 && id <= 65535 && ScriptNo >= 0 && ScriptNo <= 65535;
    MessageRead =
        keyed && ReadHist.IsRead(static_cast<uint32_t>(ScriptNo) << 16 | static_cast<uint32_t>(id));
}

ZRString GameState::GetMessageText() const {
    return Text(MessageText, sizeof MessageText);
}

void GameState::MarkMessageRead() {
    if (MessageRead != 0 || MessageId <= 0) return;
    if (MessageId <= 65535 && ScriptNo >= 0 && ScriptNo <= 65535)
        ReadHist.MarkRead(static_cast<uint32_t>(ScriptNo) << 16 | static_cast<uint32_t>(MessageId));
    MessageId = -1;
}

// ---- page and backlog ----

void GameState::SetPageLine(int32_t i, const ZRString& text) {
    if (i >= 0 && i < kPageLines) StoreLine(PageLines[i], text);
}

ZRString GameState::GetPageLine(int32_t i) const {
    if (i < 0 || i >= kPageLines) return ZRString();
    return Text(PageLines[i], kLineSize);
}

void GameState::AddText(const ZRString& text) {
    if (PageLine >= 0 && PageLine < kPageLines) SetPageLine(PageLine, GetPageLine(PageLine) + text);
    if (PageLine != 0) {
        AppendBacklogLine(text);
    } else if (!text.IsEmpty()) {
        // GBK "【" and "】" around a speaker's name.
        AppendBacklogLine(ZRString("\xA1\xBE") + text + "\xA1\xBF");
    }
}

void GameState::NewLine() {
    // The page ends at line 16; further lines still reach the backlog.
    if (PageLine < kPageLines) ++PageLine;
    if (PageLine == 1) {
        if (Backlog[BacklogTail][0] != 0) NewBacklogLine();
    } else {
        NewBacklogLine();
    }
}

void GameState::ClearPage() {
    if (PageLine > 0 || PageLines[0][0] != 0) NewBacklogLine();
    std::memset(PageLines, 0, sizeof PageLines);
    PageLine = 0;
}

void GameState::LocateText(int32_t col, int32_t line) {
    if (col < 0 || col > 25 || line < 0 || line >= kPageLines) return;
    if (line < PageLine ||
        (line == PageLine && strnlen(PageLines[line], kLineSize) > static_cast<size_t>(col * 2)))
        ClearPage();
    PageLine = line;
    std::string spaces;
    for (int i = 0; i < col; ++i) spaces += "\xA1\xA1";  // GBK "　"
    SetPageLine(line, ZRString(spaces.c_str()));
    NewBacklogLine();
    AppendBacklogLine(ZRString(spaces.c_str()));
}

int32_t GameState::GetBacklogCount() const {
    return BacklogHead > BacklogTail ? BacklogTail + kBacklogLines - BacklogHead + 1
                                     : BacklogTail - BacklogHead + 1;
}

void GameState::SetBacklogLine(int32_t i, const ZRString& text) {
    if (i < 0 || i >= GetBacklogCount()) return;
    StoreLine(Backlog[(BacklogHead + i) % kBacklogLines], text);
}

ZRString GameState::GetBacklogLine(int32_t i) const {
    if (i < 0 || i >= GetBacklogCount()) return ZRString();
    return Text(Backlog[(BacklogHead + i) % kBacklogLines], kLineSize);
}

void GameState::AppendBacklogLine(const ZRString& text) {
    char* line = Backlog[BacklogTail];
    StoreLine(line, Text(line, kLineSize) + text);
}

void GameState::NewBacklogLine() {
    if (GetBacklogCount() == kBacklogLines) {
        std::memset(Backlog[BacklogHead], 0, kLineSize);
        BacklogHead = (BacklogHead + 1) % kBacklogLines;
    }
    BacklogTail = (BacklogTail + 1) % kBacklogLines;
}

void GameState::ClearBacklog() {
    std::memset(Backlog, 0, sizeof Backlog);
    BacklogHead = BacklogTail = 0;
}

void GameState::SetSelectText(int32_t i, const ZRString& text) {
    if (i >= 0 && i < kSelectTexts) StoreLine(SelectTexts[i], text);
}

ZRString GameState::GetSelectText(int32_t i) const {
    if (i < 0 || i >= kSelectTexts) return ZRString();
    return Text(SelectTexts[i], kLineSize);
}

void GameState::ClearSelectTexts() {
    std::memset(SelectTexts, 0, sizeof SelectTexts);
}

// ---- resets ----

void GameState::Reset() {
    WaitKind = 0;
    std::memset(Flags, 0, sizeof Flags);
    std::memset(SysFlagCopy, 0, sizeof SysFlagCopy);
    std::memset(Values, 0, sizeof Values);
    std::memset(SysValueCopy, 0, sizeof SysValueCopy);
    std::memset(StringVars, 0, sizeof StringVars);
    Result = 0;
    Stage = 0;
    Month = 1;
    Day = 1;
    Hour = 10;
    Minute = 0;
    Millis = 0;
    Period = 0;
    LimitMonth = LimitDay = LimitHour = LimitMinute = 0;
    RainPower = 100;
    std::memset(SceneName, 0, sizeof SceneName);
    ScriptNo = 0;
    Pc = 0;
    Halted = 1;
    Waiting = 0;
    ClearStack();
    ClearCallStack();
    std::memset(PageLines, 0, sizeof PageLines);
    PageLine = 0;
    ClearBacklog();
    ClearSelectTexts();
    ResetScene();
}

void GameState::ResetScene() {
    Weather = 0;
    BgShown = BgStaged = 999;
    ResetScreen();
    ResetSound();
}

void GameState::ResetScreen() {
    FadeSpeed = 100;
    CharShown.Reset();
    CharStaged.Reset();
    std::memset(SpeakShown, 0, sizeof SpeakShown);
    std::memset(SpeakStaged, 0, sizeof SpeakStaged);
    PriorityShown = PriorityStaged = 0;
    NovelMode = 0;
    TextWindowShown = 0;
    Reserved[0] = Reserved[1] = 1;
    CursorShown = 1;
    SkipDisabled = 0;
    PlaceCard = 0;
    std::memset(MessageText, 0, sizeof MessageText);
    MessageId = -1;
    MessageRead = 0;
    ClearPage();
    TextSpeed = 100;
    ExSelArg = 0;
    MovieNo = -1;
    BattleResult = 0;
}

void GameState::ResetSound() {
    MusicTrack = EnvTrack = -1;
    MusicVolume = EnvVolume = 100;
    VoiceVolume = SeVolume = 100;
    VoicePos[0] = VoicePos[1] = 0;
    SePos[0] = SePos[1] = 0;
    EnvPos[0] = EnvPos[1] = 0;
    EnvNextPos[0] = EnvNextPos[1] = 0;
    RainSoundLevel = -1;
    RainVolume = 100;
}
