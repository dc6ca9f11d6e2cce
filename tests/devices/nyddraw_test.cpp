#include "devices/nyddraw.h"

#include <gtest/gtest.h>

#include "devices/getdxver.h"
#include "display_fixture.h"

namespace {

using DirectX::TDDraw;
using DirectX::TDSurface;

TEST_F(DisplayTest, SettingsHoldOnlyAllowedValuesAndOnlyWhileClosed) {
    device->SetBitDepth(bd8);
    device->SetBitDepth(bdNone);
    EXPECT_EQ(device->BitDepth(), bd32);
    device->SetSpriteWidth(2000);
    device->SetSpriteHeight(0);
    EXPECT_EQ(device->SpriteWidth(), 640);
    EXPECT_EQ(device->SpriteHeight(), 480);
    device->SetScreenSize(ss320x240);
    EXPECT_EQ(device->SpriteWidth(), 320);
    device->SetScreenSize(ss1280x720);
    EXPECT_EQ(device->Width(), 1280);
    ASSERT_TRUE(Enable(3));
    device->SetFullScreen(false);
    device->SetBitDepth(bd16);
    device->SetScreenSize(ss640x480);
    device->SetTripleBuffer(false);
    device->SetRefreshRate(60);
    device->SetSpriteWidth(100);
    EXPECT_TRUE(device->FullScreen());
    EXPECT_EQ(device->BitDepth(), bd32);
    EXPECT_EQ(device->Width(), 1280);
    EXPECT_TRUE(device->TripleBuffer());
    EXPECT_EQ(device->RefreshRate(), 0);
    EXPECT_EQ(device->SpriteWidth(), 320);
    // The try-lock of the device.
    EXPECT_TRUE(device->Lock());
    EXPECT_FALSE(device->Lock());
    EXPECT_TRUE(device->Unlock());
    EXPECT_FALSE(device->Unlock());
    EXPECT_TRUE(device->Lock());
}

TEST_F(DisplayTest, OpeningFailsCleanlyWhereTheDisplayCannotServe) {
    TDDraw orphan(nullptr);
    orphan.SetEnabled(true);
    EXPECT_FALSE(orphan.Enabled());

    display.desktopBits = 8;
    EXPECT_FALSE(Enable(0));
    display.desktopBits = 32;
    display.failOpen = true;
    EXPECT_FALSE(Enable(3));
    display.failOpen = false;
    device->SetScreenSize(ss1152x864);  // no such mode on offer
    EXPECT_FALSE(Enable(3));
    device->SetScreenSize(ss1280x720);
    EXPECT_EQ(device->DrawSurface(), nullptr);

    // Two back buffers are not on offer, one is.
    display.Offer().maxBackBuffers = 1;
    device->SetFullScreen(true);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    EXPECT_EQ(device->BufferCount(), 2);
    device->SetEnabled(false);

    // No video memory: the back surface ends in system memory.
    display.Offer().videoMemory = 0;
    device->SetBackType(DirectX::btVideo);
    ASSERT_TRUE(Enable(3));
    EXPECT_EQ(device->BackType(), DirectX::btSystem);
    EXPECT_FALSE(device->BackSurface()->VideoMemory());
    EXPECT_EQ(device->DrawSurface(), device->BackSurface());
    // Without a back surface the game draws into the flip buffer.
    device->SetBackType(DirectX::btNone);
    EXPECT_EQ(device->BackSurface(), nullptr);
    EXPECT_EQ(device->DrawSurface(), device->FlipSurface());
}

TEST_F(DisplayTest, TheDeviceOwnsEverySurfaceMadeThroughIt) {
    ASSERT_TRUE(Enable(3));
    DeathCounter deaths;
    for (int i = 0; i < 3; ++i) deaths.Watch(device->CreateSurface(64, 32, false));
    deaths.Watch(device->PrimarySurface());
    EXPECT_EQ(device->SurfaceList().size(), 6u);  // primary, flip, back and three
    device->SetEnabled(false);
    EXPECT_EQ(deaths.deaths, 4);
    EXPECT_TRUE(device->SurfaceList().empty());
    EXPECT_EQ(device->CreateSurface(64, 32, false), nullptr);
    // Re-opening starts over, and the device can be destroyed with surfaces alive.
    ASSERT_TRUE(Enable(2));
    new TDSurface(device);
    EXPECT_NE(device->CreateSurface(8, 8, false), nullptr);
    delete device;
}

TEST_F(DisplayTest, SurfacesComeInEveryFormatTheDepthsAllow) {
    ASSERT_TRUE(Enable(1));
    struct Case {
        ZRBitDepth depth;
        ZRPixFormat format;
    };
    for (Case c :
         {Case{bd16, pf16_565}, Case{bd16, pf16_555}, Case{bd16, pf16_5551}, Case{bd16, pf16_4444},
          Case{bd24, pf24_888}, Case{bd32, pf32_888}, Case{bd32, pf32_8888}}) {
        SCOPED_TRACE(int(c.format));
        TDSurface* s = device->CreateSurface(c.depth, c.format, 33, 17, false);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->BitDepth(), c.depth);
        EXPECT_EQ(s->PixFormat(), c.format);
        plat::PixelFormatDesc pf = s->Surface()->Format();
        ZRBitDepth d;
        ZRPixFormat f;
        DirectX::DDPixelFormatToFormat(pf, d, f);
        EXPECT_EQ(f, c.format);
        // A colour drawn through the bitmap routines comes back from the pixels.
        const uint32_t pixel = s->TNyRGBtoPixel(ZRRGB(0xF0, 0x80, 0x10));
        EXPECT_TRUE(s->BoxFill(30, 10, 32, 16, pixel));
        EXPECT_EQ(s->PGet(32, 16), pixel);
        EXPECT_EQ(s->PGet(29, 16), 0u);
        s->Fill(ZRRGB(0, 0, 0xFF));
        EXPECT_EQ(s->PGet(0, 0), s->TNyRGBtoPixel(ZRRGB(0, 0, 0xFF)));
        s->Clear();
        EXPECT_EQ(s->PGet(32, 16), 0u);
    }
    // The display's own format, and an 8-bit surface with the kept colours at both ends.
    TDSurface* own = device->CreateSurface(bdNone, pfNone, 8, 8, false);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->PixFormat(), pf32_888);
    TDSurface* indexed = device->CreateSurface(bd8, pfNone, 8, 8, false);
    ASSERT_NE(indexed, nullptr);
    auto palette = indexed->Surface()->Palette();
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->entries[9], plat::SystemPaletteColours()[9]);
    EXPECT_EQ(palette->entries[100], plat::SystemPaletteColours()[0]);
    EXPECT_EQ(palette->entries[255], plat::SystemPaletteColours()[19]);
    EXPECT_FALSE(own->SetPalette(palette));
    EXPECT_TRUE(indexed->SetPalette(nullptr));
    // Refusals: mismatched pair, empty sizes, an out-of-range depth, created twice.
    EXPECT_EQ(device->CreateSurface(bd16, pf24_888, 8, 8, false), nullptr);
    EXPECT_EQ(device->CreateSurface(bd32, pf32_888, 0, 8, false), nullptr);
    EXPECT_EQ(device->CreateSurface(ZRBitDepth(7), pfNone, 8, 8, false), nullptr);
    EXPECT_FALSE(own->Create(bd32, pf32_888, 8, 8, false));
    // A surface without a device cannot be made.
    TDSurface loose(nullptr);
    EXPECT_FALSE(loose.Create(bd32, pf32_888, 8, 8, false));
}

TEST_F(DisplayTest, VideoMemoryIsReportedAsPlaced) {
    display.Offer().videoMemory = 100 * 100 * 4;
    ASSERT_TRUE(Enable(1));
    uint64_t total = 0, free = 0;
    EXPECT_TRUE(device->GetAvailableVidMem(total, free));
    EXPECT_EQ(total, 40000u);
    TDSurface* inVideo = device->CreateSurface(bd32, pf32_888, 100, 100, true);
    ASSERT_NE(inVideo, nullptr);
    EXPECT_TRUE(inVideo->VideoMemory());
    EXPECT_EQ(device->CreateSurface(bd32, pf32_888, 10, 10, true), nullptr);
    EXPECT_TRUE(device->GetAvailableVidMem(total, free));
    EXPECT_EQ(free, 0u);
    delete inVideo;
    EXPECT_TRUE(device->GetAvailableVidMem(total, free));
    EXPECT_EQ(free, 40000u);
    plat::DisplayCaps driver, emulation;
    EXPECT_TRUE(device->GetCaps(&driver, &emulation));
    EXPECT_EQ(driver.size, plat::DisplayCaps::kRecordSize);
    EXPECT_EQ(driver.videoMemoryTotal, 40000u);
}

TEST_F(DisplayTest, LocksNestAndResizeKeepsBuffersOfTheDisplay) {
    ASSERT_TRUE(Enable(3));
    TDSurface* s = device->CreateSurface(16, 16, false);
    ASSERT_TRUE(s->Lock());
    ASSERT_TRUE(s->Lock());
    EXPECT_TRUE(s->Unlock());
    EXPECT_TRUE(s->Locked());
    EXPECT_NE(s->Bits(), nullptr);
    EXPECT_FALSE(s->Resize(32, 32));
    EXPECT_TRUE(s->Unlock());
    EXPECT_FALSE(s->Locked());
    EXPECT_FALSE(s->Unlock());
    ASSERT_TRUE(s->SetClipRect(ZRRect{0, 0, 8, 8}));
    EXPECT_TRUE(s->Resize(40, 20));
    EXPECT_EQ(s->Width(), 40);
    EXPECT_EQ(s->Surface()->Width(), 40);
    EXPECT_EQ(s->Surface()->Clipper(), s->Surface()->Clipper());
    ASSERT_TRUE(s->Surface()->Clipper());
    EXPECT_FALSE(device->PrimarySurface()->Resize(64, 64));
    EXPECT_FALSE(device->FlipSurface()->Resize(64, 64));
    EXPECT_FALSE(s->Resize(0, 5));
}

TEST_F(DisplayTest, CopiesAreClippedAndKeyed) {
    ASSERT_TRUE(Enable(1));
    TDSurface* src = device->CreateSurface(bd32, pf32_888, 20, 20, false);
    TDSurface* dst = device->CreateSurface(bd32, pf32_888, 20, 20, false);
    src->BoxFill(0, 0, 19, 19, 0x0000FF);
    src->BoxFill(0, 0, 9, 19, 0xFF00FF);  // the key colour on the left half
    // A clip rectangle keeps the copy inside it.
    ASSERT_TRUE(dst->SetClipRect(ZRRect{5, 5, 15, 15}));
    const plat::DisplayRect all{0, 0, 20, 20};
    EXPECT_EQ(dst->Surface()->Blit(&all, *src->Surface(), &all), plat::BlitResult::Ok);
    EXPECT_EQ(dst->PGet(4, 4), 0u);
    EXPECT_EQ(dst->PGet(5, 5), 0xFF00FFu);
    EXPECT_EQ(dst->PGet(14, 14), 0x0000FFu);
    EXPECT_EQ(dst->PGet(15, 15), 0u);
    dst->ReleaseClipper();
    dst->Clear();
    // Keyed: the key colour leaves the destination alone.
    src->Surface()->SetSourceKey(0xFF00FF);
    EXPECT_EQ(dst->Surface()->Blit(nullptr, *src->Surface(), nullptr, true), plat::BlitResult::Ok);
    EXPECT_EQ(dst->PGet(3, 3), 0u);
    EXPECT_EQ(dst->PGet(12, 3), 0x0000FFu);
    // Unclipped copies must fit; sizes must match; formats must agree.
    EXPECT_EQ(dst->Surface()->BlitFast(15, 0, *src->Surface(), plat::DisplayRect{0, 0, 10, 10}),
              plat::BlitResult::Invalid);
    const plat::DisplayRect small{0, 0, 5, 5};
    EXPECT_EQ(dst->Surface()->Blit(&small, *src->Surface(), &all), plat::BlitResult::Invalid);
    TDSurface* narrow = device->CreateSurface(bd16, pf16_565, 20, 20, false);
    EXPECT_EQ(narrow->Surface()->Blit(nullptr, *src->Surface(), nullptr),
              plat::BlitResult::Invalid);
    // A copy onto itself that overlaps moves the pixels intact.
    src->BoxFill(0, 0, 19, 0, 0x111111);
    const plat::DisplayRect down{0, 1, 20, 20};
    const plat::DisplayRect up{0, 0, 20, 19};
    EXPECT_EQ(src->Surface()->Blit(&down, *src->Surface(), &up), plat::BlitResult::Ok);
    EXPECT_EQ(src->PGet(0, 1), 0x111111u);
    EXPECT_EQ(src->PGet(15, 19), 0x0000FFu);
}

TEST_F(DisplayTest, LostSurfacesAreRestoredOrReportedSo) {
    ASSERT_TRUE(Enable(3));
    TDSurface* s = device->CreateSurface(16, 16, false);
    int restored = 0;
    struct Count {
        int* n;
        void Hit(plat::TComponent*) { ++*n; }
    } count{&restored};
    s->OnRestore = TNotifyEvent(&count, &Count::Hit);
    display.LoseAll();
    EXPECT_TRUE(s->IsLost());
    EXPECT_EQ(s->Surface()->Fill(nullptr, 0), plat::BlitResult::Lost);
    display.RefuseRestore(true);
    EXPECT_FALSE(s->IsLostAndRestore());
    EXPECT_FALSE(s->Lock());
    display.RefuseRestore(false);
    EXPECT_TRUE(device->RestoreAllSurfaces());
    EXPECT_FALSE(s->IsLost());
    EXPECT_FALSE(device->PrimarySurface()->IsLost());
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(s->Lock());
    s->Unlock();
    device->SetEnabled(false);
    EXPECT_FALSE(device->RestoreAllSurfaces());
}

TEST_F(DisplayTest, DisplayModesAreListedWithTheirFormats) {
    display.Offer().modes.push_back({1366, 768, plat::Xrgb8888()});  // no engine size
    display.Offer().modes.push_back(
        {800, 600, {plat::PixelFormatDesc::kRgb, 16, 0xF000, 0x0F00, 0x00F0, 0}});
    std::vector<DirectX::TDisplayMode> modes;
    device->ENumDisplayModes(&modes, true);  // works while closed
    ASSERT_FALSE(modes.empty());
    bool sawOdd16 = false;
    for (const auto& m : modes) {
        EXPECT_NE(m.BitDepth, bdNone);
        if (m.ScreenSize == ss800x600) {
            sawOdd16 = true;
            EXPECT_EQ(m.BitDepth, bd16);
            EXPECT_EQ(m.PixFormat, pfNone);
        }
    }
    EXPECT_TRUE(sawOdd16);
    EXPECT_EQ(modes.size(), display.Offer().modes.size() - 1);
    EXPECT_TRUE(device->CheckDisplayMode(bd32, ss1280x720));
    EXPECT_TRUE(device->CheckDisplayMode(bd16, ss1280x1024));
    EXPECT_FALSE(device->CheckDisplayMode(bd24, ss1280x720));
    DirectX::TDisplayMode a = modes[0], b = a;
    b.RBitMask ^= 1;
    EXPECT_TRUE(a.ModeCmp(b));
    b.ScreenSize = ss1920x1440;
    EXPECT_FALSE(a.ModeCmp(b));
    plat::SetDisplayBackend(nullptr);
    plat::MemoryDisplay none;
    none.failOpen = true;
    plat::SetDisplayBackend(&none);
    device->ENumDisplayModes(&modes, false);
    EXPECT_TRUE(modes.empty());
}

TEST(DisplayFormats, ConvertersRoundTripEveryFormat) {
    for (int f = pf16_565; f <= pf32_8888; ++f) {
        const ZRPixFormat format = ZRPixFormat(f);
        const ZRBitDepth depth = FormatAndDepthTable[format];
        plat::PixelFormatDesc pf;
        DirectX::FormatToDDPixelFormat(pf, depth, format);
        EXPECT_EQ(pf.bitCount, uint32_t(depth) * 8);
        EXPECT_EQ(bool(pf.flags & plat::PixelFormatDesc::kAlphaPixels), RGBBitMask[f][3] != 0);
        ZRBitDepth d;
        ZRPixFormat back;
        DirectX::DDPixelFormatToFormat(pf, d, back);
        EXPECT_EQ(d, depth);
        EXPECT_EQ(back, format);
    }
    plat::PixelFormatDesc pf;
    DirectX::FormatToDDPixelFormat(pf, bd16, pfNone);
    EXPECT_EQ(pf.redMask, 0xF800u);
    DirectX::FormatToDDPixelFormat(pf, bd8, pfNone);
    EXPECT_EQ(pf.flags, plat::PixelFormatDesc::kPalette8);
    ZRBitDepth d;
    ZRPixFormat f;
    DirectX::DDPixelFormatToFormat(pf, d, f);
    EXPECT_EQ(d, bd8);
    // An alpha mask that is not flagged does not count.
    pf = {plat::PixelFormatDesc::kRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    DirectX::DDPixelFormatToFormat(pf, d, f);
    EXPECT_EQ(f, pf32_888);
    pf.bitCount = 12;
    DirectX::DDPixelFormatToFormat(pf, d, f);
    EXPECT_EQ(d, bdNone);
    DirectX::DDPixelFormatToFormat(plat::PixelFormatDesc{}, d, f);
    EXPECT_EQ(d, bdNone);
}

TEST(DisplayProbeTest, EachMissingInterfaceLowersTheVersion) {
    plat::MemoryDisplay display;
    plat::SetDisplayBackend(&display);
    EXPECT_EQ(GetDXVersion(), 0x800u);
    struct Step {
        bool plat::DisplayProbe::*answer;
        uint32_t version;
    };
    using P = plat::DisplayProbe;
    for (Step s :
         {Step{&P::displayLibrary, 0}, Step{&P::displayEntry, 0}, Step{&P::displayCreate, 0},
          Step{&P::display2, 0x100}, Step{&P::inputLibrary, 0x200}, Step{&P::inputEntry, 0x200},
          Step{&P::cooperation, 0}, Step{&P::primary, 0}, Step{&P::surface3, 0x300},
          Step{&P::surface4, 0x500}, Step{&P::music, 0x600}, Step{&P::displayEntryEx, 0x601},
          Step{&P::display7, 0x601}, Step{&P::library3d8, 0x700}}) {
        display.probe = P{};
        display.probe.*s.answer = false;
        EXPECT_EQ(GetDXVersion(), s.version);
    }
    plat::SetDisplayBackend(nullptr);
}

}  // namespace
