#include "devices/crisofdec.h"

#include <algorithm>
#include <vector>

#include "devices/crisofdec_service.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "platform/hostsys.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

namespace {

int32_t gStartCount = 0;
ZRMemMan* gMemMan = nullptr;
constexpr int32_t kHeadBytes = 20480;

std::string ExecutableDirectory() {
    std::string path = plat::ExecutablePath();
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

bool CriMwSystemInit(plat::SoundMixer* mixer, ZRBitDepth frameDepth, ZRMemMan* memMan) {
    return CriMwSystemInitAt(ExecutableDirectory(), mixer, frameDepth, memMan);
}

bool CriMwSystemInitAt(const std::string& directory, plat::SoundMixer* mixer, ZRBitDepth frameDepth,
                       ZRMemMan* memMan) {
    if (gStartCount > 0) {
        ++gStartCount;
        return true;
    }
    if (!ThePlayback().Start(directory, mixer, frameDepth)) return false;
    gMemMan = memMan;
    gStartCount = 1;
    return true;
}

void CriMwSystemFinish() {
    if (gStartCount == 0) return;
    if (--gStartCount == 0) {
        ThePlayback().Finish();
        gMemMan = nullptr;
    }
}

void CriMwSystemExec() {
    ThePlayback().Exec();
}
int32_t CriMwSystemCount() {
    return gStartCount;
}

uint32_t CriMwSoundOpen(const char* name, bool loop) {
    return ThePlayback().OpenSoundStream(name, loop);
}
// Hundredths of a decibel to the service's tenths, truncating towards 0.
void CriMwSoundSetVolume(uint32_t handle, int32_t volume) {
    ThePlayback().SetSoundVolume(handle, volume / 10);
}
bool CriMwSoundPlay(uint32_t handle) {
    return ThePlayback().PlaySound(handle);
}
void CriMwSoundStop(uint32_t handle) {
    ThePlayback().StopSound(handle);
}
void CriMwSoundClose(uint32_t handle) {
    ThePlayback().CloseSound(handle);
}
bool CriMwSoundIsPlay(uint32_t handle) {
    return ThePlayback().SoundIsPlay(handle);
}

CriMovie::~CriMovie() {
    Close();
}

bool CriMovie::Open(TNyRGBPanel* panel, bool startNow, const ZRString& name) {
    return OpenCore(panel, false, name, 0, 1000, startNow);
}

bool CriMovie::OpenVolume(TNyRGBPanel* panel, int32_t volume, const ZRString& name, bool startNow) {
    return OpenCore(panel, false, name, volume, 1000, startNow);
}

bool CriMovie::OpenLoopVolume(TNyRGBPanel* panel, int32_t volume, const ZRString& name,
                              bool startNow) {
    return OpenCore(panel, true, name, volume, 1000, startNow);
}

bool CriMovie::OpenCore(TNyRGBPanel* panel, bool loop, const ZRString& name, int32_t volume,
                        int32_t speed, bool startNow) {
    if (handle_) Close();
    width_ = 0;
    height_ = 0;
    MediaPlayback& service = ThePlayback();
    ZRMemMan* const memMan = gMemMan;
    {
        ZRFileStream stream(service.PathOf(name.c_str()).c_str(), zrfmRead);
        std::vector<uint8_t> plain;
        uint8_t* head = nullptr;
        if (memMan) {
            head = memMan->Alloc<uint8_t>(kHeadBytes);
        } else {
            plain.resize(kHeadBytes);
            head = plain.data();
        }
        const int got = stream.IsOpen() && head ? stream.Read(head, kHeadBytes) : 0;
        MovieStreamInfo info;
        if (got > 0 && MediaPlayback::GetMovieInfo(head, got, &info)) {
            width_ = info.width;
            height_ = info.height;
            alpha_ = info.type != 17;
        }
        if (memMan) memMan->Free(head);
    }
    if (width_ == 0 || height_ == 0) return false;
    // A speed other than normal wins over the volume, which then is not applied.
    const int32_t tenths = speed != 1000 ? 0 : volume / 10;
    handle_ = service.OpenMovie(name.c_str(), loop, tenths, speed);
    if (!handle_) return false;

    panel_ = panel;
    frame_ = nullptr;
    if (panel_) {
        panel_->SetSizeX(width_);
        panel_->SetSizeY(height_);
        frame_ = memMan ? memMan->CreateVCL<TNyRGBBits>(nullptr) : new TNyRGBBits(nullptr);
        if (!frame_) {
            Close();
            return false;
        }
        frameMan_ = memMan;
        const ZRBitDepth depth = alpha_ ? bd32 : service.FrameDepth();
        frame_->SetBitDepth(depth);
        frame_->SetPixFormat(alpha_ ? pf32_8888 : depth == bd24 ? pf24_888 : pf32_888);
        frame_->SetWidth((width_ + 15) / 16 * 16);
        frame_->SetHeight(height_);
        frame_->Create();
        panel_->SetImage(frame_);
        // A panel that sizes itself from its image would take the rounded width.
        panel_->SetSizeX(width_);
        panel_->SetSizeY(height_);
        panel_->SetMaskMode(alpha_ ? 1 : 0);
        frameStale_ = false;
        if (!panel_->OnDraw) {
            panel_->OnDraw = [this](TNyRGBPanel*, TNyRGBBits* dest, int x, int y, int sx, int sy,
                                    int dx,
                                    int dy) { return PaintPanel(dest, x, y, sx, sy, dx, dy); };
            hooked_ = true;
        }
    }
    if (startNow) {
        if (!WaitStart()) {
            Close();
            return false;
        }
        Draw();
    }
    return true;
}

bool CriMovie::WaitStart() {
    ThePlayback().WaitStart(handle_);
    return ThePlayback().MovieIsPlay(handle_);
}

bool CriMovie::Draw() {
    if (!handle_) return false;
    if (!panel_ || !frame_) return true;
    MediaPlayback& service = ThePlayback();
    if (service.MovieIsEnd(handle_) || service.MovieIsStop(handle_)) return false;
    if (!frame_->Bits()) return false;
    if (!service.TakeMoviePicture(handle_)) return false;
    // The picture is converted when the panel is painted, or when the frame bitmap is asked for.
    frameStale_ = true;
    directRows_ = 0;
    if (!hooked_) FillFrame();
    panel_->SetModify();
    return true;
}

void CriMovie::FillFrame() {
    if (!frameStale_ || !frame_ || !frame_->Bits()) return;
    frameStale_ = false;
    const int32_t bits = frame_->BitDepth() == bd24 ? 24 : 32;
    const int32_t columns = std::min(width_, frame_->Pitch() / (bits / 8));
    ThePlayback().DrawShownPicture(handle_, frame_->Bits(), frame_->Pitch(), bits, 0, 0, columns,
                                   frame_->Height());
}

bool CriMovie::PaintPanel(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) {
    if (!frameStale_ || !frame_ || !panel_) return false;
    // Repaints of the same picture convert again only what they need, until twice the
    // picture's rows have been converted this way; after that the frame bitmap is filled and
    // copied from. Each paint counts a band more for the partial bands at its ends.
    const int64_t rows = int64_t{dy} + 16;
    const bool inside =
        sx >= 0 && sy >= 0 && int64_t{sx} + dx <= width_ && int64_t{sy} + dy <= height_;
    const bool affordable = directRows_ + rows <= 2 * (int64_t{height_} + 16);
    if (affordable && inside && dest && dest != frame_ && panel_->GetImage() == frame_ &&
        panel_->GetMaskMode() == 0 && panel_->GetNumBlock() == 1 && panel_->GetBlockIndex() == 0 &&
        dest->BitDepth() == frame_->BitDepth() &&
        CompatibleFormat(frame_->PixFormat(), dest->PixFormat())) {
        const int32_t bits = frame_->BitDepth() == bd24 ? 24 : 32;
        const uint32_t handle = handle_;
        const bool painted = dest->FillRows(
            x, y, dx, dy,
            [handle, bits, sx, sy](unsigned char* row, int pitch, int ox, int oy, int w, int h) {
                return ThePlayback().DrawShownPicture(handle, row, pitch, bits, sx + ox, sy + oy, w,
                                                      h);
            });
        directRows_ += rows;
        if (painted) return true;
    }
    FillFrame();
    return false;
}

bool CriMovie::DrawTo(TNyRGBBits* bits, int32_t x, int32_t y) {
    if (!handle_ || !bits) return false;
    MediaPlayback& service = ThePlayback();
    if (service.MovieIsEnd(handle_) || service.MovieIsStop(handle_)) return false;
    // A display surface hands out its pixels only while locked.
    const TNyBitsLock lock(bits);
    if (!lock.Held()) return false;
    bool drawn = false;
    if (bits->Bits()) {
        const int32_t bpp = bits->BitDepth() == bd24 ? 3 : 4;
        // The movie cut to the bitmap on every side.
        const int32_t left = std::max(x, 0), top = std::max(y, 0);
        const int32_t right =
            static_cast<int32_t>(std::min<int64_t>(int64_t{x} + width_, bits->Width()));
        const int32_t bottom =
            static_cast<int32_t>(std::min<int64_t>(int64_t{y} + height_, bits->Height()));
        if (right <= left || bottom <= top) {
            // Nothing shows, but the picture still moves on.
            uint8_t scratch[4];
            drawn = service.DrawMovie(handle_, scratch, 0, bpp * 8, 0, 0, 0, 0);
        } else {
            uint8_t* dest = bits->Bits() + static_cast<ptrdiff_t>(top) * bits->Pitch() +
                            static_cast<ptrdiff_t>(left) * bpp;
            drawn = service.DrawMovie(handle_, dest, bits->Pitch(), bpp * 8, left - x, top - y,
                                      right - left, bottom - top);
        }
    }
    return drawn;
}

void CriMovie::Stop() {
    if (handle_) ThePlayback().StopMovie(handle_);
}

void CriMovie::Close() {
    if (panel_) {
        if (hooked_) panel_->OnDraw = nullptr;
        panel_->SetImage(nullptr);
        panel_->SetMaskMode(0);
        panel_ = nullptr;
    }
    if (frameMan_)
        frameMan_->Delete(frame_);
    else
        delete frame_;
    frame_ = nullptr;
    frameMan_ = nullptr;
    hooked_ = false;
    frameStale_ = false;
    if (handle_) {
        ThePlayback().CloseMovie(handle_);
        handle_ = 0;
    }
}

bool CriMovie::IsPlay() const {
    return handle_ && ThePlayback().MovieIsPlay(handle_);
}
bool CriMovie::IsStop() const {
    return !handle_ || ThePlayback().MovieIsStop(handle_);
}
bool CriMovie::IsEnd() const {
    return !handle_ || ThePlayback().MovieIsEnd(handle_);
}
