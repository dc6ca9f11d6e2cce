#include "foundation/zrfileman.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "packfixture.h"
#include "tempdir.h"

namespace {

struct Reports {
    std::vector<std::string> messages;
    void Note(ZRFileMan*, ZRString message) { messages.push_back(message.c_str()); }
};

std::string Contents(ZRStream* s) {
    std::string out(static_cast<size_t>(s->GetSize()), '\0');
    s->Read(out.data(), s->GetSize());
    return out;
}

RawPack GamePack() {
    RawPack p;
    p.entries = {{"TITLE", "BMP", "title image", -1, 0, 1, -1, plat::FileTimeFromUnix(1400000000).Ticks()},
                 {"", "", "deleted"},
                 {"scene01", "csv", Inverted("a,b,c"), -1, 3},
                 {"scene02", "CSV", "d,e"}};
    return p;
}

TEST(ZRFileMan, DirectoryNamesGetOneTrailingBackslash) {
    ZRFileMan m;
    EXPECT_TRUE(m.InitDir("C:\\game"));
    EXPECT_EQ(std::string(m.GetDir().c_str()), "C:\\game");
    EXPECT_TRUE(m.InitDir("C:\\game\\"));
    EXPECT_EQ(std::string(m.GetDir().c_str()), "C:\\game");
    EXPECT_TRUE(m.InitDir(""));
    EXPECT_EQ(std::string(m.GetDir().c_str()), "");
    EXPECT_FALSE(m.ChkIsPack());
    // A double-byte character whose second byte is 0x5C does not count as the backslash.
    EXPECT_TRUE(m.InitDir("d\\\x95\x5C"));
    EXPECT_EQ(std::string(m.GetDir().c_str()), "d\\\x95\x5C");
}

TEST(ZRFileMan, DirectoryModeOpensCreatesAndReportsLeaks) {
    TempDir t;
    mkdir(t.Host("Data").c_str(), 0755);
    t.Write("Data/Script.TXT", "hello");
    Reports r;
    auto* m = new ZRFileMan();
    m->OnError = ZRFileManErrorCallback(&r, &Reports::Note);
    EXPECT_EQ(m->Open("Script.TXT"), nullptr);  // before any source: no report
    EXPECT_TRUE(r.messages.empty());
    ASSERT_TRUE(m->InitDir(t.Game("data").c_str()));
    EXPECT_TRUE(m->FileIsExist("script.txt"));
    ZRStream* a = m->Open("script.txt");
    ZRStream* b = m->Open("SCRIPT.TXT");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(Contents(a), "hello");
    EXPECT_EQ(m->OpenCount(), 2);
    m->Close(a);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(m->OpenCount(), 1);

    EXPECT_EQ(m->Open("missing.txt"), nullptr);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].rfind("FileOpenErr Call(", 0), 0u);
    EXPECT_NE(r.messages[0].find(") [missing.txt]"), std::string::npos);

    ZRStream* c = m->Create("out.bin");
    ASSERT_NE(c, nullptr);
    c->Write("xyz", 3);
    m->Close(c);
    EXPECT_EQ(t.Read("Data/out.bin"), "xyz");
    plat::FileTime when;
    EXPECT_TRUE(m->GetFileTime("out.bin", &when));
    EXPECT_FALSE(m->GetFileTime("none", &when));

    // A stream the manager never handed out is still deleted by Close.
    ZRStream* foreign = new ZRMemoryStream(4);
    m->Close(foreign);
    EXPECT_EQ(foreign, nullptr);

    m->SetNameRecording(true);
    ZRStream* named = m->Open("script.txt");
    r.messages.clear();
    delete m;
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].rfind("NotClose[script.txt] ", 0), 0u);  // newest first
    EXPECT_EQ(r.messages[1].rfind("NotClose ", 0), 0u);
    EXPECT_NE(r.messages[1].find(":Call("), std::string::npos);
    delete named;
    delete b;
}

TEST(ZRFileMan, ArchiveModeIgnoresCaseAndRefusesToCreate) {
    TempDir t;
    t.Write("game.pak", GamePack().Build());
    Reports r;
    ZRFileMan m;
    m.OnError = ZRFileManErrorCallback(&r, &Reports::Note);
    EXPECT_FALSE(m.InitPack(ZRString(t.Game("none.pak").c_str())));
    EXPECT_FALSE(m.ChkIsPack());
    EXPECT_TRUE(m.InitDir(t.Game("game_Pak").c_str()));
    ASSERT_TRUE(m.InitPack(ZRString(t.Game("GAME.PAK").c_str())));
    EXPECT_TRUE(m.ChkIsPack());
    EXPECT_TRUE(m.FileIsExist("title.bmp"));
    EXPECT_FALSE(m.FileIsExist("title"));
    ZRStream* s = m.Open("Scene01.Csv");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetPosition(), 0);
    EXPECT_EQ(Contents(s), "a,b,c");
    EXPECT_EQ(m.Create("new.txt"), nullptr);
    EXPECT_TRUE(r.messages.empty());
    plat::FileTime when;
    ASSERT_TRUE(m.GetFileTime("TITLE.bmp", &when));
    EXPECT_EQ(plat::UnixFromFileTime(when), 1400000000);
    // Streams outlive a switch of source.
    m.Finish();
    EXPECT_FALSE(m.FileIsExist("title.bmp"));
    s->Seek(0, zrSeekSet);
    EXPECT_EQ(Contents(s), "a,b,c");
    m.Close(s);
}

TEST(ZRFileMan, ArchivesFromCallersAndStreams) {
    std::string bytes = GamePack().Build();
    ZRMemoryStream stream(bytes.data(), static_cast<int>(bytes.size()));
    ZRFileMan m;
    ASSERT_TRUE(m.InitPack(&stream));
    EXPECT_TRUE(m.FileIsExist("scene02.csv"));
    ZRMemoryStream junk("not an archive", 14);
    EXPECT_FALSE(m.InitPack(&junk));
    EXPECT_FALSE(m.FileIsExist("scene02.csv"));

    ZRPack pack;
    ASSERT_TRUE(pack.LoadPackStream(&stream));
    EXPECT_FALSE(m.InitPack(static_cast<ZRPack*>(nullptr)));
    ASSERT_TRUE(m.SetPack(&pack));
    EXPECT_EQ(m.GetPack(), &pack);
    m.Finish();
    EXPECT_TRUE(pack.IsOpen());  // not the manager's to delete
}

TEST(ZRFileMan, FindWalksArchiveEntriesAndDirectories) {
    TempDir t;
    t.Write("game.pak", GamePack().Build());
    ZRFileMan m;
    ZRString name = "stale";
    EXPECT_FALSE(m.FindFile(name));  // not ready: the name is left alone
    EXPECT_EQ(std::string(name.c_str()), "stale");
    m.InitDir(t.Game().c_str());
    m.FindSet("*.pak");
    ASSERT_TRUE(m.InitPack(ZRString(t.Game("game.pak").c_str())));
    EXPECT_FALSE(m.FindFile(name));  // no FindSet over the archive yet
    EXPECT_TRUE(name.IsEmpty());
    m.FindSet("*.csv");
    std::vector<std::string> hits;
    while (m.FindFile(name)) hits.push_back(name.c_str());
    EXPECT_EQ(hits, (std::vector<std::string>{"scene01.csv", "scene02.CSV"}));
    EXPECT_FALSE(m.FindFile(name));
    m.FindSet("*");
    hits.clear();
    while (m.FindFile(name)) hits.push_back(name.c_str());
    EXPECT_EQ(hits.size(), 3u);  // the deleted entry is skipped

    mkdir(t.Host("dir").c_str(), 0755);
    mkdir(t.Host("dir/sub.csv").c_str(), 0755);
    t.Write("dir/b.CSV", "");
    t.Write("dir/a.csv", "");
    t.Write("dir/c.txt", "");
    ASSERT_TRUE(m.InitDir(t.Game("dir").c_str()));
    m.FindSet("*.csv");
    hits.clear();
    while (m.FindFile(name)) hits.push_back(name.c_str());
    EXPECT_EQ(hits, (std::vector<std::string>{"a.csv", "b.CSV"}));
    EXPECT_TRUE(name.IsEmpty());
    m.FindSet("");
    EXPECT_FALSE(m.FindFile(name));
    m.FindSet("nomatch*");
    EXPECT_FALSE(m.FindFile(name));

    // Names without a dot are found by "*.*" and by "NAME.*", as the game's searches expect.
    t.Write("dir/README", "");
    m.FindSet("*.*");
    hits.clear();
    while (m.FindFile(name)) hits.push_back(name.c_str());
    EXPECT_EQ(hits, (std::vector<std::string>{"README", "a.csv", "b.CSV", "c.txt"}));
    m.FindSet("readme.*");
    hits.clear();
    while (m.FindFile(name)) hits.push_back(name.c_str());
    EXPECT_EQ(hits, (std::vector<std::string>{"README"}));
}

}  // namespace
