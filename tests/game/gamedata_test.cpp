#include "game/gamedata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "game/gamedef.h"
#include "platform/atomicfile.h"
#include "platform/inifile.h"
#include "tempdir.h"

namespace {

class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.Host("Solvane.ini");
        SetConfigFilePath(path_.c_str());
        DisplayKind = kDisplayWindow;
        FullScreenHeight = 1024;
        ShowFps = CapEnable = AlbumShowAll = false;
    }
    void TearDown() override { SetConfigFilePath(""); }

    void WriteFile(const std::string& text) { ASSERT_TRUE(plat::WriteFileAtomic(path_, text)); }
    std::string ReadFile() {
        std::string s;
        EXPECT_TRUE(plat::ReadWholeFile(path_, s));
        return s;
    }
    bool FileExists() { return std::filesystem::exists(path_); }
    std::string Value(const char* section, const char* key) {
        return plat::IniFile(path_).ReadString(section, key, "<missing>");
    }

    TempDir dir_;
    std::string path_;
};

// One integer key of the [Game] section: its field, the value it starts from in a test, and
// its default and bounds.
struct IntKey {
    const char* key;
    std::function<int32_t&(UserConfig&, FormSettings&)> field;
    int32_t def, lo, hi;
};

const std::vector<IntKey>& IntKeys() {
    static const std::vector<IntKey> keys = {
        {"VolumeBGM", [](UserConfig&, FormSettings& f) -> int32_t& { return f.VolumeBGM; }, 50, 0,
         100},
        {"VolumeVoice", [](UserConfig&, FormSettings& f) -> int32_t& { return f.VolumeVoice; }, 100,
         0, 100},
        {"VolumeSE", [](UserConfig&, FormSettings& f) -> int32_t& { return f.VolumeSE; }, 80, 0,
         100},
        {"VolumeRear", [](UserConfig&, FormSettings& f) -> int32_t& { return f.VolumeRear; }, 90, 0,
         100},
        {"UserTextSpeed", [](UserConfig& u, FormSettings&) -> int32_t& { return u.UserTextSpeed; },
         100, 0, 200},
        {"AutoSkipWait", [](UserConfig& u, FormSettings&) -> int32_t& { return u.AutoSkipWait; },
         500, 0, 5000},
        {"RightClickType",
         [](UserConfig& u, FormSettings&) -> int32_t& { return u.RightClickType; }, 0, 0, 4},
    };
    return keys;
}

TEST_F(Settings, EveryIntegerKeyWithGoodEmptyOutOfRangeAndNonNumericValues) {
    for (const auto& k : IntKeys()) {
        // value in the file -> expected field, starting from a field of 3
        const std::vector<std::pair<std::string, int32_t>> cases = {
            {std::to_string(k.lo), k.lo},
            {std::to_string(k.hi), k.hi},
            {" 2 ", 2},
            {"", 3},
            {"   ", 3},
            {std::to_string(k.lo - 1), k.def},
            {std::to_string(k.hi + 1), k.def},
            {"abc", k.def},
            {"12abc", k.def},
            {"99999999999", k.def},
        };
        for (const auto& [text, want] : cases) {
            WriteFile("[Game]\n" + std::string(k.key) + "=" + text + "\n");
            UserConfig u;
            FormSettings f;
            k.field(u, f) = 3;
            u.Load();
            LoadFormSettings(f);
            EXPECT_EQ(k.field(u, f), want) << k.key << "=" << text;
        }
    }
}

TEST_F(Settings, SwitchesReadOnAndOffInAnyCaseAndIgnoreOtherText) {
    const char* keys[] = {"SimpleDisplay", "ShowPlaceName", "AllTextSkip", "EffectCanSkip",
                          "ExitConfirm",   "SaveConfirm",   "LoadConfirm"};
    auto field = [](UserConfig& u, int i) -> bool& {
        bool* f[] = {&u.SimpleDisplay, &u.ShowPlaceName, &u.AllTextSkip, &u.EffectCanSkip,
                     &u.ExitConfirm,   &u.SaveConfirm,   &u.LoadConfirm};
        return *f[i];
    };
    for (int i = 0; i < 7; ++i) {
        for (bool start : {false, true}) {
            const std::vector<std::pair<std::string, bool>> cases = {{"on", true},   {"ON", true},
                                                                     {"Off", false}, {"yes", start},
                                                                     {"1", start},   {"", start}};
            for (const auto& [text, want] : cases) {
                WriteFile(std::string("[game]\n") + keys[i] + " = " + text + "\n");
                UserConfig u;
                field(u, i) = start;
                u.Load();
                EXPECT_EQ(field(u, i), want) << keys[i] << "=" << text;
            }
        }
    }
}

TEST_F(Settings, FrameRateModeIsReadUpperCasedAndWrittenInItsOwnSpelling) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"15FPS", 0}, {"30fps", 1}, {"Full", 2}, {"nosync", 3}, {"60FPS", 9}, {"", 9}, {"1", 9}};
    for (const auto& [text, want] : cases) {
        WriteFile("[Game]\nFPSMode=" + text + "\n");
        FormSettings f;
        f.FpsMode = 9;
        LoadFormSettings(f);
        EXPECT_EQ(f.FpsMode, want) << text;
    }
    const char* spelled[] = {"15fps", "30fps", "Full", "NoSync"};
    for (uint8_t mode = 0; mode < 4; ++mode) {
        FormSettings f;
        f.FpsMode = mode;
        SaveFormSettings(f);
        EXPECT_EQ(Value("Game", "FPSMode"), spelled[mode]);
        FormSettings back;
        LoadFormSettings(back);
        EXPECT_EQ(back.FpsMode, mode);
    }
    FormSettings odd;
    odd.FpsMode = 4;
    SaveFormSettings(odd);
    EXPECT_EQ(Value("Game", "FPSMode"), "NoSync") << "an unknown mode writes nothing";
}

TEST_F(Settings, StartUpKeysOnlySwitchOnAndHeightIsRaisedTo720) {
    WriteFile(
        "[Game]\nWindowMode=on\n[Game Debug]\nShowFPS=ON\nCapEnable=on\nAlbumShowAll=On\n"
        "[Fullscreen]\nHeight=1080\n");
    DisplayKind = 0;
    LoadConfigFile();
    EXPECT_EQ(DisplayKind, kDisplayWindow);
    EXPECT_TRUE(ShowFps && CapEnable && AlbumShowAll);
    EXPECT_EQ(FullScreenHeight, 1080);

    WriteFile("[Game]\nWindowMode=OFF\n[Game Debug]\nShowFPS=OFF\nCapEnable=off\nAlbumShowAll=x\n");
    DisplayKind = 0;
    LoadConfigFile();
    EXPECT_EQ(DisplayKind, 0) << "OFF does not switch window mode off, nor on";
    EXPECT_TRUE(ShowFps && CapEnable && AlbumShowAll) << "the file never switches these off";
    EXPECT_EQ(FullScreenHeight, 1080);

    const std::vector<std::pair<std::string, int32_t>> heights = {
        {"600", 720}, {"720", 720}, {"1080", 1080}, {"-5", 720}, {"abc", 720}, {"", 1080}};
    for (const auto& [text, want] : heights) {
        FullScreenHeight = 1080;
        WriteFile("[Fullscreen]\nHeight=" + text + "\n");
        LoadConfigFile();
        EXPECT_EQ(FullScreenHeight, want) << "Height=" << text;
    }
}

TEST_F(Settings, NoFileKeepsEveryDefaultAndANormalRunWritesTheGameSection) {
    UserConfig u;
    FormSettings f;
    LoadConfigFile();
    u.Load();
    LoadFormSettings(f);
    EXPECT_FALSE(FileExists()) << "readers never create the file";
    EXPECT_EQ(DisplayKind, kDisplayWindow);
    EXPECT_EQ(FullScreenHeight, 1024);
    EXPECT_FALSE(ShowFps);
    EXPECT_EQ(u.UserTextSpeed, 100);
    EXPECT_EQ(u.AutoSkipWait, 500);
    EXPECT_TRUE(u.EffectCanSkip && u.ExitConfirm && u.SaveConfirm);
    EXPECT_FALSE(u.SimpleDisplay || u.ShowPlaceName || u.AllTextSkip || u.LoadConfirm);
    EXPECT_EQ(u.RightClickType, 0);
    EXPECT_EQ(f.FpsMode, 2);
    EXPECT_EQ(f.VolumeBGM, 50);

    // Shut-down order: user settings, main window, window mode. Each writes its keys with one
    // rewrite of the file.
    int writes = 0;
    plat::SetAtomicWriteHook([&writes](const std::string&) { ++writes; });
    u.Save();
    SaveFormSettings(f);
    SaveWindowMode();
    plat::SetAtomicWriteHook({});
    EXPECT_EQ(writes, 3);
    const plat::IniDocument doc(ReadFile());
    EXPECT_EQ(doc.Sections(), std::vector<std::string>{"Game"});
    EXPECT_EQ(doc.Keys("Game"),
              (std::vector<std::string>{"MesBoxTrans", "UserTextSpeed", "AutoSkipWait",
                                        "SimpleDisplay", "ShowPlaceName", "AllTextSkip",
                                        "EffectCanSkip", "RightClickType", "ExitConfirm",
                                        "SaveConfirm", "LoadConfirm", "WindowMode", "FPSMode",
                                        "VolumeBGM", "VolumeVoice", "VolumeSE", "VolumeRear"}));
    EXPECT_EQ(Value("Game", "EffectCanSkip"), "ON");
    EXPECT_EQ(Value("Game", "LoadConfirm"), "OFF");
    EXPECT_EQ(Value("Game", "AutoSkipWait"), "500");
    EXPECT_EQ(Value("Game", "WindowMode"), "ON");
    EXPECT_EQ(Value("Game", "FPSMode"), "Full");
}

TEST_F(Settings, UserSettingsRoundTripAndMesBoxTransIsWrittenButNeverRead) {
    WriteFile("; mine\n[Game]\nMesBoxTrans=77\nMyKey=kept\n[Other]\nX=1\n");
    UserConfig u;
    u.Load();
    EXPECT_EQ(u.MesBoxTrans, 0);
    u.UserTextSpeed = 150;
    u.AutoSkipWait = 5000;
    u.SimpleDisplay = true;
    u.EffectCanSkip = false;
    u.RightClickType = 4;
    u.LoadConfirm = true;
    u.Save();
    EXPECT_EQ(Value("Game", "MesBoxTrans"), "0");
    UserConfig back;
    back.Load();
    EXPECT_EQ(back.UserTextSpeed, 150);
    EXPECT_EQ(back.AutoSkipWait, 5000);
    EXPECT_TRUE(back.SimpleDisplay);
    EXPECT_FALSE(back.EffectCanSkip);
    EXPECT_EQ(back.RightClickType, 4);
    EXPECT_TRUE(back.LoadConfirm);
    const std::string text = ReadFile();
    EXPECT_EQ(text.rfind("; mine\n[Game]\nMesBoxTrans=0\nMyKey=kept\n", 0), 0u) << text;
    EXPECT_NE(text.find("[Other]\nX=1\n"), std::string::npos);
}

TEST_F(Settings, WindowModeIsWrittenFromTheDisplayKind) {
    DisplayKind = 0;
    SaveWindowMode();
    EXPECT_EQ(Value("Game", "WindowMode"), "OFF");
    DisplayKind = 1;
    SaveFormSettings(FormSettings{});
    EXPECT_EQ(Value("Game", "WindowMode"), "OFF");
    DisplayKind = kDisplayWindow;
    SaveWindowMode();
    EXPECT_EQ(Value("Game", "WindowMode"), "ON");
}

// Where they cannot, each writer leaves one line naming the file and the reason: the player's
// choices would otherwise be lost without a word.
TEST_F(Settings, WritersCreateTheFileAndSayWhyWhereTheyCannot) {
    UserConfig u;
    u.Save();
    EXPECT_TRUE(FileExists());
    SetConfigFilePath((dir_.Host("missing") + "/Solvane.ini").c_str());
    ::testing::internal::CaptureStderr();
    u.Save();
    SaveWindowMode();
    SaveFormSettings(FormSettings{});
    const std::string line =
        dir_.Host("missing/Solvane.ini") + " could not be written: " + std::strerror(ENOENT) + "\n";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), line + line + line);
    EXPECT_FALSE(std::filesystem::exists(dir_.Host("missing")));
}

}  // namespace
