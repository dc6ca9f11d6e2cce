// Stage pictures: which background file a code, time and weather choose, colour effects, the
// character definition reader with its damaged inputs, entry animations, blinks and mouths,
// and the partial refresh a blink causes.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "game/gamedata.h"
#include "stage_fixture.h"

using namespace stagetest;

namespace {

class StagePictures : public StageTest {};

// A 1280x720 PNG of one colour without an alpha channel.
std::string RgbPng(uint32_t rgb) {
    PngSpec desc;
    desc.width = 1280;
    desc.height = 720;
    Bytes row;
    for (int x = 0; x < 1280; ++x)
        row.insert(row.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
    const Bytes out = EncodePng(desc, std::vector<Bytes>(720, row));
    return std::string(out.begin(), out.end());
}

TEST_F(StagePictures, BackgroundsFollowCodeTimeAndWeather) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        int32_t code, period, weather;
        int32_t loaded;
        uint8_t letter;
        int32_t tone, variant;
        uint32_t pixel;
    } cases[] = {
        {"night, clear", {{"bg012.jpg", Solid(1280, 720, 0x102030)}}, 12, 2, 0, 12, 0xFF, 5, 0, 0},
        {"evening rain, class 1, fallbacks",
         {{"bg017.bmp", Solid(1280, 720, 0x00FF00)}, {"bg014.bmp", Solid(1280, 720, 0xFF0000)}},
         1015,
         1,
         2,
         17,
         0xFF,
         2,
         0,
         0x00FF00},
        {"evening rain, the b definition first",
         {{"an015b.ini", "x"}, {"Dammy.jpg", ""}, {"bg017.bmp", Solid(1280, 720, 0x00FF00)}},
         1015,
         1,
         2,
         15,
         1,
         2,
         0,
         0},
        {"rain, only the a definition",
         {{"an014a.ini", "x"}, {"Dammy.jpg", ""}},
         14,
         0,
         2,
         14,
         0,
         1,
         1,
         0},
        {"997 is black without effects", {}, 997, 0, 5, 999, 0xFF, 0, 0, 0},
        {"998 is white", {}, 998, 0, 0, 998, 0xFF, 0, 0, 0xFFFFFF},
        {"900 and up find nothing",
         {{"bg900.bmp", Solid(1280, 720, 0xFF0000)}},
         900,
         0,
         0,
         900,
         0xFF,
         0,
         0,
         0},
        {"event picture",
         {{"bg610.bmp", Solid(1280, 720, 0x0000FF)}},
         610,
         2,
         2,
         610,
         0xFF,
         0,
         0,
         0x0000FF},
        {"snow, morning",
         {{"bg047.bmp", Solid(1280, 720, 0x404040)}},
         40,
         3,
         3,
         47,
         0xFF,
         1,
         2,
         0x404040},
        {"nothing found keeps the code's number", {}, 30, 0, 0, 30, 0xFF, 0, 0, 0},
        // A class-1 background keeps its rain when its file has an alpha channel, opaque or not.
        {"class 1 rain, opaque RGBA picture",
         {{"bg014.png", Png(1280, 720, [](int, int) { return 0xFF00FF00u; })}},
         1010,
         0,
         2,
         14,
         0xFF,
         2,
         5,
         0x00FF00},
        {"class 1 rain, smaller RGBA picture",
         {{"bg014.png", Png(640, 360, [](int, int) { return 0xFF00FF00u; })}},
         1010,
         0,
         2,
         14,
         0xFF,
         2,
         5,
         0},
        {"class 1 rain, RGB picture",
         {{"bg014.png", RgbPng(0x00FF00)}},
         1010,
         0,
         2,
         14,
         0xFF,
         2,
         0,
         0x00FF00},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir.Host("EvBG_Pak"));
        std::filesystem::create_directories(dir.Host("EvBG_Pak"));
        for (const auto& [name, bytes] : c.files) BG(name, bytes);
        if (c.files.count("Dammy.jpg")) {
            BG("Dammy.jpg", "");
            // A real JPEG stand-in picture.
            imgfix::JpegSpec desc;
            desc.width = 16, desc.height = 16;
            const Bytes jpg = imgfix::EncodeJpeg(desc, Bytes(16 * 16 * 3, 0x80));
            BG("Dammy.jpg", std::string(jpg.begin(), jpg.end()));
        }
        Make();
        SysData = SystemData();
        Show(c.code, c.period, c.weather);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(stage->LoadedBG, c.loaded);
        EXPECT_EQ(stage->Letter, c.letter);
        EXPECT_EQ(stage->ToneMode, c.tone);
        EXPECT_EQ(stage->BG[0].variant, c.variant);
        EXPECT_EQ(stage->BG[0].picture->PGet(700, 700) & 0xFFFFFF, c.pixel);
        // The plane lets the weather through over the file's picture only: in these rows the
        // probed pixel is black exactly where no file pixel is.
        if (const TNyAlpha* a = stage->BG[0].alpha.get()) {
            EXPECT_EQ(a->PGet(700, 700), c.pixel ? 255 : 0);
            EXPECT_EQ(a->PGet(100, 100), 255);
        }
        if (c.letter != 0xFF) {
            EXPECT_EQ(stage->BG[0].pageWait, 4);
            EXPECT_EQ(stage->BG[0].picture->PGet(8, 8) & 0xF0F0F0, 0x808080u & 0xF0F0F0);
        }
        EXPECT_EQ(stage->ColourEffect, 0);
        EXPECT_EQ(SysData.GetAlbumBit(110), c.loaded == 610);
    }
}

TEST_F(StagePictures, ColourEffectsReachBackgroundAndCharacters) {
    BG("bg010.bmp", Solid(1280, 720, 0xFFFFFF));
    CG("chr001.png", Png(20, 20, [](int, int) { return 0xFFFFFFFFu; }));
    Make();
    CharSlots s;
    s.ShowId[0] = 1;
    stage->SetCharSlots(s);
    Show(10, 0, 5);  // monochrome negative: white turns black
    EXPECT_EQ(stage->ColourEffect, 2);
    EXPECT_EQ(At(640, 600), 0u);
    EXPECT_EQ(stage->Chars[0][0].picture->PGet(5, 5) & 0xFFFFFF, 0u);
    Show(10, 0, 4);  // sepia: no longer grey
    EXPECT_EQ(stage->ColourEffect, 1);
    const uint32_t c = At(640, 600);
    EXPECT_NE((c >> 16) & 0xFF, c & 0xFF);
    EXPECT_EQ(stage->Chars[0][0].picture->PGet(5, 5) & 0xFFFFFF, c);
    EXPECT_EQ(stage->BG[0].variant, 3);
}

TEST_F(StagePictures, ASmallerFileDoesNotLeaveTheOldPictureAround) {
    BG("bg020.bmp", Solid(1280, 720, 0xFF0000));
    BG("bg024.bmp", Solid(100, 100, 0x00FF00));
    Make();
    Show(20);
    EXPECT_EQ(At(500, 500), 0xFF0000u);
    Show(24, 0, 1);
    EXPECT_EQ(At(50, 50), 0x00FF00u);
    EXPECT_EQ(At(500, 500), 0u);
}

// ---- Definitions ----

std::vector<int32_t> Images(CharRecord& r, int e, int frames) {
    std::vector<int32_t> out;
    for (int i = 0; i < frames; ++i) {
        const CharRecord::Entry& en = r.entry[e];
        out.push_back(r.anim[en.anim][en.frame].image);
        TStageUnit::EntryAnimTick(r, e, nullptr);
    }
    return out;
}

TEST(CharDefinition, TheReaderTakesWhatTheRecordCanHold) {
    const std::string loop = "[ANIM]\nID=0\nANIMATION=<0,2><1,2><LOOP>\n[ENTRY]\nID=0\nANIM_ID=0\n";
    struct Case {
        const char* what;
        std::string text;
        std::function<void(CharRecord&)> check;
    } cases[] = {
        {"loop cycles", loop,
         [](CharRecord& r) {
             EXPECT_EQ(Images(r, 0, 9), (std::vector<int32_t>{0, 0, 1, 1, 0, 0, 1, 1, 0}));
         }},
        {"end stops on the last image",
         "[ANIM]\nID=0\nANIMATION=<0,2><1,2><END>\n[ENTRY]\nID=0\nANIM_ID=0\n",
         [](CharRecord& r) {
             EXPECT_EQ(Images(r, 0, 7), (std::vector<int32_t>{0, 0, 1, 1, 1, 1, 1}));
             EXPECT_EQ(r.entry[0].counter, -1);
         }},
        {"wait 0 is 1; short brackets end the list", "[ANIM]\nID=1\nANIMATION=<0,0><1,3><2>\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.anim[1][0].wait, 1);
             EXPECT_EQ(r.anim[1][1].image, 1);
             EXPECT_EQ(r.anim[1][1].wait, 3);
             EXPECT_EQ(r.anim[1][2].image, -1);
         }},
        {"comma first or last ends the list", "[ANIM]\nID=0\nANIMATION=<1,1><,2><3,1>\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.anim[0][0].image, 1);
             EXPECT_EQ(r.anim[0][1].image, -1);
         }},
        {"image id 16 is ignored with its keys; lower case is fine",
         "[img]\nid=16\nposx=5\n[IMG]\nId=2\nPosX=7\nWidth = 9\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.image[2].x, 7);
             EXPECT_EQ(r.image[2].w, 9);
             for (int i = 0; i < 16; ++i)
                 if (i != 2) {
                     EXPECT_EQ(r.image[i].x, 0);
                 }
         }},
        {"a second ID under one header stays on the first image", "[IMG]\nID=1\nID=3\nPOSY=4\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.image[1].y, 4);
             EXPECT_EQ(r.image[3].y, 0);
         }},
        {"entry ids out of range choose nothing",
         "[ENTRY]\nID=1\nIMG_ID=16\nANIM_ID=4\n[ENTRY]\nID=2\nIMG_ID=-3\nANIM_ID=-2\n[ENTRY]\nID="
         "4\n"
         "IMG_ID=1\n",
         [](CharRecord& r) {
             for (int e = 0; e < 4; ++e) {
                 EXPECT_EQ(r.entry[e].image, -1);
                 EXPECT_EQ(r.entry[e].anim, -1);
             }
         }},
        {"frame images outside the images end the list",
         "[ANIM]\nID=0\nANIMATION=<1,1><16,1><2,1>\n[ANIM]\nID=1\nANIMATION=<-5,1><2,1>\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.anim[0][0].image, 1);
             EXPECT_EQ(r.anim[0][1].image, -1);
             EXPECT_EQ(r.anim[0][2].image, -1);
             EXPECT_EQ(r.anim[1][0].image, -1);
         }},
        {"sizes clamp", "[BASE]\nWIDTH=99999999\nHEIGHT=-5\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.width, 4096);
             EXPECT_EQ(r.height, 0);
         }},
        {"lines before a section, comments, CR and junk", "WIDTH=5\n#[BASE]\r\n=7\nno equals\n",
         [](CharRecord& r) { EXPECT_EQ(r.width, 0); }},
        {"numbers that are not numbers", "[BASE]\nWIDTH=12a\n[IMG]\nID=x\nPOSX=3\n",
         [](CharRecord& r) {
             EXPECT_EQ(r.width, 0);
             EXPECT_EQ(r.image[0].x, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CharRecord r;
        ParseCharDefinition(r, c.text);
        c.check(r);
    }
}

TEST_F(StagePictures, RectanglesOutsideThePictureAreRefusedOrClipped) {
    // 8x8 picture, left half red and right half blue; an image reaching past its edge.
    CG("chr005.png", Png(8, 8, [](int x, int) { return x < 4 ? 0xFFFF0000u : 0xFF0000FFu; }));
    CG("chr005.ini",
       "[BASE]\nWIDTH=20\nHEIGHT=20\n[IMG]\nID=0\nPOSX=4\nPOSY=0\nWIDTH=12\nHEIGHT=8\n[IMG]\nID=1\n"
       "POSX=-2\nPOSY=-2\nWIDTH=4\nHEIGHT=4\n[ENTRY]\nID=0\nPOSX=0\nPOSY=0\nIMG_ID=0\n[ENTRY]\n"
       "ID=3\nPOSX=10\nPOSY=10\nIMG_ID=1\n");
    CG("chr006.png", Png(8, 8, [](int, int) { return 0xFF00FF00u; }));
    CG("chr006.ini",
       "[BASE]\nWIDTH=4096\nHEIGHT=4096\n[IMG]\nID=0\nPOSX=2147483000\nPOSY=0\n"
       "WIDTH=2147483000\nHEIGHT=2147483000\n[ENTRY]\nID=0\nPOSX=2147483000\n"
       "POSY=-2147483000\nIMG_ID=0\n");
    Make();
    for (int id : {5, 6}) {
        CharRecord& r = stage->Chars[0][0];
        stage->LoadChar(r, stage->CharPanel(0, 0), 0, id);
        TNyRGBBits* dest = CreateScreenBits();
        dest->Cls();
        for (int rate : {128, 64})
            TStageUnit::DrawCharRecord(r, dest, 100, 100, ZRRect{0, 0, 20, 20}, rate);
        if (id == 5) {
            // With an alpha plane the draw clips to the picture: blue, then nothing past it.
            EXPECT_EQ(dest->PGet(100, 100) & 0xFFFFFF, 0x0000FFu);
            EXPECT_EQ(dest->PGet(110, 100) & 0xFFFFFF, 0u);
        } else {
            // An image far outside its picture, at an entry far outside the slot: nothing of
            // it reaches the screen.
            int lit = 0;
            for (int y = 0; y < dest->Height(); ++y)
                for (int x = 0; x < dest->Width(); ++x) lit += (dest->PGet(x, y) & 0xFFFFFF) != 0;
            EXPECT_EQ(lit, 0);
        }
        MemMan->Delete(dest);
    }
}

// ---- Animation ticks on the stage ----

class StageAnimation : public StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        BG("bg010.bmp", Solid(1280, 720, 0x000020));
        // Image 0 the body, 1-3 eyes, 4-5 mouth.
        CG("chr001.png", Png(64, 64, [](int x, int y) {
               return 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8 | 0x40;
           }));
        CG("chr001.ini",
           "[BASE]\nWIDTH=32\nHEIGHT=48\n[IMG]\nID=0\nWIDTH=32\nHEIGHT=48\n[IMG]\nID=1\nPOSX=32\n"
           "WIDTH=8\nHEIGHT=4\n[IMG]\nID=2\nPOSX=40\nWIDTH=8\nHEIGHT=4\n[IMG]\nID=3\nPOSX=48\n"
           "WIDTH=8\nHEIGHT=4\n[IMG]\nID=4\nPOSY=50\nWIDTH=6\nHEIGHT=3\n[IMG]\nID=5\nPOSX=8\n"
           "POSY=50\nWIDTH=6\nHEIGHT=3\n[ANIM]\nID=0\nANIMATION=<1,2><2,2><3,2><END>\n[ANIM]\n"
           "ID=1\nANIMATION=<4,3><5,3><LOOP>\n[ENTRY]\nID=0\nIMG_ID=0\n[ENTRY]\nID=1\nPOSX=12\n"
           "POSY=10\nANIM_ID=0\n[ENTRY]\nID=2\nPOSX=13\nPOSY=30\nANIM_ID=1\n");
        Make();
        CharSlots s;
        s.ShowId[1] = s.ShowId[3] = s.ShowId[5] = 1;
        stage->SetCharSlots(s);
        Show(10);
    }
};

TEST_F(StageAnimation, BlinksComeEvery120To179FramesAndMouthsOnlyWhileSpeaking) {
    std::vector<int> starts;
    int stoppedAt = 0;
    for (int f = 0; f < 3000; ++f) {
        const int32_t before = stage->Chars[0][1].entry[1].counter;
        stage->StageFrame(1, false);
        const CharRecord::Entry& en = stage->Chars[0][1].entry[1];
        if (before == -1 && en.counter != -1) starts.push_back(f - stoppedAt);
        if (before != -1 && en.counter == -1) stoppedAt = f;
        EXPECT_EQ(stage->Chars[0][1].entry[2].counter, -1);
    }
    ASSERT_GE(starts.size(), 15u);
    int lo = 1000, hi = 0;
    for (int g : starts) lo = std::min(lo, g), hi = std::max(hi, g);
    EXPECT_GE(lo, 120);
    EXPECT_LE(hi, 180);
    EXPECT_LT(lo, hi);

    stage->SetSpeaking(1, true);
    std::vector<int32_t> mouth;
    for (int f = 0; f < 8; ++f) {
        stage->SetSpeaking(1, true);  // the host repeats it every frame
        stage->StageFrame(1, false);
        mouth.push_back(stage->Chars[0][1].entry[2].frame);
    }
    EXPECT_EQ(mouth, (std::vector<int32_t>{0, 0, 1, 1, 1, 0, 0, 0}));
    stage->SetSpeaking(1, false);
    EXPECT_EQ(stage->Chars[0][1].entry[2].counter, -1);
    EXPECT_EQ(stage->Chars[0][1].entry[2].frame, 0);
    stage->SetSpeaking(7, true);
    stage->SetSpeaking(-1, true);
}

TEST_F(StageAnimation, ABlinkRedrawsOnlyItsRectangleAndMatchesAFullRefresh) {
    int partial = -1;
    for (int f = 0; f < 400 && partial < 0; ++f) {
        const int32_t before = stage->Chars[0][3].entry[1].frame;
        stage->StageFrame(1, false);
        if (stage->Chars[0][3].entry[1].frame != before) partial = stage->LastRefreshArea;
    }
    ASSERT_GT(partial, 0);
    EXPECT_LE(partial * 50, 1280 * 720);
    TNyRGBBits* full = CreateScreenBits();
    stage->BGPanel()->SetModify();
    stage->BGPanel()->Draw(full, 0, 0);
    int diff = 0;
    for (int y = 0; y < 720; y += 1)
        for (int x = 0; x < 1280; x += 1)
            if ((full->PGet(x, y) & 0xFFFFFF) != At(x, y)) ++diff;
    EXPECT_EQ(diff, 0);
    MemMan->Delete(full);
}

}  // namespace
