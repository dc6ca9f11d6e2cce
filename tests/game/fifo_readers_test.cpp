// Every reader of outside files meets a FIFO where its file should be: saves, settings,
// archives and the files of a data folder (pictures, scripts, sounds), music opened directly,
// and movies. Each refuses it at once instead of waiting for a writer that never comes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fifo_guard.h"
#include "foundation/zrfileman.h"
#include "game/gamedata.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "platform/hostfs.h"
#include "platform/inifile.h"
#include "platform/moviedecode.h"
#include "tempdir.h"

namespace {

TEST(FifoReaders, EveryReaderRefusesAFifoWithoutWaiting) {
    TempDir dir;
    SetSaveDirectory((dir.Game() + "\\").c_str());
    MemMan = new ZRMemMan();
    ZRFileMan folder;
    folder.InitDir(dir.Game().c_str());
    struct Row {
        const char* reader;
        const char* file;
        std::function<bool()> refuses;
    };
    const std::vector<Row> rows = {
        {"save slot", "SV07.sav", [] { return !LoadGameSlot(7); }},
        {"system save", "SVSys.sav", [] { return !LoadSystemData(); }},
        {"settings", "Game.ini",
         [&] { return plat::IniFile(dir.Host("Game.ini")).ReadString("S", "K", "-") == "-"; }},
        {"archive", "Data.pak",
         [&] {
             ZRFileMan pack;
             return !pack.InitPack(dir.Game("Data.pak").c_str());
         }},
        {"picture in a data folder", "Bg.png",
         [&] {
             TNyRGBBits* bits = nullptr;
             TNyAlpha* alpha = nullptr;
             return !LoadImageFile(&bits, &alpha, &folder, "Bg.png") && !bits;
         }},
        {"script in a data folder", "scr00001.vnx",
         [&] {
             ZRStream* s = folder.Open("scr00001.vnx");
             folder.Close(s);
             return s == nullptr;
         }},
        {"music", "Bgm01.adx",
         [&] {
             FILE* f = plat::OpenFile(dir.Game("Bgm01.adx").c_str(), "rb");
             FILE* g = plat::OpenFile(dir.Game("Bgm01.adx").c_str(), "r+b");
             for (FILE* h : {f, g})
                 if (h) std::fclose(h);
             return !f && !g;
         }},
        {"movie", "Op.sfd",
         [&] {
             std::string error;
             const bool refused =
                 !plat::MovieDecoder::OpenFile(dir.Host("Op.sfd"), plat::MovieOptions{}, &error);
             return refused && error.find("not a regular file") != std::string::npos;
         }},
    };
    for (const Row& row : rows) {
        const std::string fifo = dir.Host(row.file);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << row.reader;
        bool refused = false;
        EXPECT_TRUE(ReturnsWithoutAWriter(fifo, [&] { refused = row.refuses(); }))
            << row.reader << " waited for a writer";
        EXPECT_TRUE(refused) << row.reader;
    }
    delete MemMan;
    MemMan = nullptr;
    SetSaveDirectory("");
}

}  // namespace
