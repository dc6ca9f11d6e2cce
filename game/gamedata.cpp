// Settings file readers and writers.
#include "game/gamedata.h"

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/zrsys.h"
#include "game/gamedef.h"
#include "platform/hostfs.h"
#include "platform/inifile.h"
#include "platform/strconv.h"

UserConfig UserSettings;

namespace {

const char* const kGame = "Game";
const char* const kGameDebug = "Game Debug";
const char* const kFullscreen = "Fullscreen";

ZRString g_pathOverride;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The file's settings object, or none when the file is missing (readers then change nothing).
std::optional<plat::IniFile> OpenExisting(const ZRString& path) {
    if (!ZRFileIsExist(path.c_str())) return std::nullopt;
    return plat::IniFile(plat::ToHost(path.c_str()));
}

// An integer key: empty leaves the value; text that does not convert, or a number outside
// lo..hi, gives def.
void ReadInt(const plat::IniFile& ini, const char* section, const char* key, int32_t& value,
             int32_t def, int32_t lo, int32_t hi) {
    const std::string s = ini.ReadString(section, key, "");
    if (s.empty()) return;
    const int32_t v = plat::StrToIntDef(s, def);
    value = v < lo || v > hi ? def : v;
}

// A switch: "ON" or "OFF" in any case; other text changes nothing.
void ReadSwitch(const plat::IniFile& ini, const char* section, const char* key, bool& value) {
    const std::string s = Upper(ini.ReadString(section, key, ""));
    if (s == "ON") value = true;
    if (s == "OFF") value = false;
}

// A switch the file can only turn on.
bool SwitchedOn(const plat::IniFile& ini, const char* section, const char* key) {
    return Upper(ini.ReadString(section, key, "")) == "ON";
}

// One writer's [Game] keys in table order, stored with one rewrite of the file: a quit then
// costs one write per writer rather than one per key, and a crash leaves the group all old or
// all new.
class GameKeys {
  public:
    void Text(const char* key, std::string value) { keys_.emplace_back(key, std::move(value)); }
    void Int(const char* key, int32_t value) { Text(key, plat::IntToStr(value)); }
    void Switch(const char* key, bool on) { Text(key, on ? "ON" : "OFF"); }
    void WindowMode() { Switch("WindowMode", DisplayKind == kDisplayWindow); }
    // A missing file is made with the keys; a write that fails says which file and why.
    void Store() const {
        const std::string host = plat::ToHost(ConfigFilePath().c_str());
        errno = 0;
        if (!plat::IniFile(host).WriteStrings(kGame, keys_)) SayNotWritten(host, errno);
    }

  private:
    std::vector<std::pair<std::string, std::string>> keys_;
};

}  // namespace

ZRString ConfigFilePath() {
    if (!g_pathOverride.IsEmpty()) return g_pathOverride;
    return ZRExtractFilePath(ZRGetExePath()) + "Solvane.ini";
}

void SetConfigFilePath(const ZRString& path) {
    g_pathOverride = path;
}

UserConfig::UserConfig()
    : MesBoxTrans(0),
      UserTextSpeed(100),
      AutoSkipWait(500),
      SimpleDisplay(false),
      ShowPlaceName(false),
      AllTextSkip(false),
      EffectCanSkip(true),
      RightClickType(0),
      ExitConfirm(true),
      SaveConfirm(true),
      LoadConfirm(false) {}

void UserConfig::Load() {
    auto ini = OpenExisting(ConfigFilePath());
    if (!ini) return;
    ReadInt(*ini, kGame, "UserTextSpeed", UserTextSpeed, 100, 0, 200);
    ReadInt(*ini, kGame, "AutoSkipWait", AutoSkipWait, 500, 0, 5000);
    ReadSwitch(*ini, kGame, "SimpleDisplay", SimpleDisplay);
    ReadSwitch(*ini, kGame, "ShowPlaceName", ShowPlaceName);
    ReadSwitch(*ini, kGame, "AllTextSkip", AllTextSkip);
    ReadSwitch(*ini, kGame, "EffectCanSkip", EffectCanSkip);
    ReadInt(*ini, kGame, "RightClickType", RightClickType, 0, 0, 4);
    ReadSwitch(*ini, kGame, "ExitConfirm", ExitConfirm);
    ReadSwitch(*ini, kGame, "SaveConfirm", SaveConfirm);
    ReadSwitch(*ini, kGame, "LoadConfirm", LoadConfirm);
}

void UserConfig::Save() const {
    GameKeys keys;
    keys.Int("MesBoxTrans", MesBoxTrans);
    keys.Int("UserTextSpeed", UserTextSpeed);
    keys.Int("AutoSkipWait", AutoSkipWait);
    keys.Switch("SimpleDisplay", SimpleDisplay);
    keys.Switch("ShowPlaceName", ShowPlaceName);
    keys.Switch("AllTextSkip", AllTextSkip);
    keys.Switch("EffectCanSkip", EffectCanSkip);
    keys.Int("RightClickType", RightClickType);
    keys.Switch("ExitConfirm", ExitConfirm);
    keys.Switch("SaveConfirm", SaveConfirm);
    keys.Switch("LoadConfirm", LoadConfirm);
    keys.Store();
}

void LoadConfigFile() {
    auto ini = OpenExisting(ConfigFilePath());
    if (!ini) return;
    if (SwitchedOn(*ini, kGame, "WindowMode")) DisplayKind = kDisplayWindow;
    if (SwitchedOn(*ini, kGameDebug, "ShowFPS")) ShowFps = true;
    if (SwitchedOn(*ini, kGameDebug, "CapEnable")) CapEnable = true;
    if (SwitchedOn(*ini, kGameDebug, "AlbumShowAll")) AlbumShowAll = true;
    const std::string height = ini->ReadString(kFullscreen, "Height", "");
    if (!height.empty()) {
        const int32_t h = plat::StrToIntDef(height, 720);
        FullScreenHeight = h < 720 ? 720 : h;
    }
}

void SaveWindowMode() {
    GameKeys keys;
    keys.WindowMode();
    keys.Store();
}

void LoadFormSettings(FormSettings& s) {
    auto ini = OpenExisting(ConfigFilePath());
    if (!ini) return;
    const std::string fps = Upper(ini->ReadString(kGame, "FPSMode", ""));
    if (fps == "NOSYNC") s.FpsMode = 3;
    if (fps == "FULL") s.FpsMode = 2;
    if (fps == "30FPS") s.FpsMode = 1;
    if (fps == "15FPS") s.FpsMode = 0;
    ReadInt(*ini, kGame, "VolumeBGM", s.VolumeBGM, 50, 0, 100);
    ReadInt(*ini, kGame, "VolumeVoice", s.VolumeVoice, 100, 0, 100);
    ReadInt(*ini, kGame, "VolumeSE", s.VolumeSE, 80, 0, 100);
    ReadInt(*ini, kGame, "VolumeRear", s.VolumeRear, 90, 0, 100);
}

void SaveFormSettings(const FormSettings& s) {
    GameKeys keys;
    keys.WindowMode();
    static const char* const kFpsNames[] = {"15fps", "30fps", "Full", "NoSync"};
    if (s.FpsMode < 4) keys.Text("FPSMode", kFpsNames[s.FpsMode]);
    keys.Int("VolumeBGM", s.VolumeBGM);
    keys.Int("VolumeVoice", s.VolumeVoice);
    keys.Int("VolumeSE", s.VolumeSE);
    keys.Int("VolumeRear", s.VolumeRear);
    keys.Store();
}
