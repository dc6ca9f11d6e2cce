#include "devices/crisofdec.h"

bool CriMwSystemInit(plat::SoundMixer*, ZRBitDepth) { return false; }
bool CriMwSystemInitAt(const std::string&, plat::SoundMixer*, ZRBitDepth) { return false; }
void CriMwSystemFinish() {}
void CriMwSystemExec() {}
int32_t CriMwSystemCount() { return 0; }
uint32_t CriMwSoundOpen(const char*, bool) { return 0; }
void CriMwSoundSetVolume(uint32_t, int32_t) {}
bool CriMwSoundPlay(uint32_t) { return false; }
void CriMwSoundStop(uint32_t) {}
void CriMwSoundClose(uint32_t) {}
bool CriMwSoundIsPlay(uint32_t) { return false; }

CriMovie::~CriMovie() { Close(); }
bool CriMovie::Open(TNyRGBPanel* panel, bool startNow, const ZRString& name) {
    return OpenCore(panel, false, name, 0, 1000, startNow);
}
bool CriMovie::OpenVolume(TNyRGBPanel* panel, int32_t volume, const ZRString& name, bool startNow) {
    return OpenCore(panel, false, name, volume, 1000, startNow);
}
bool CriMovie::OpenLoopVolume(TNyRGBPanel* panel, int32_t volume, const ZRString& name, bool startNow) {
    return OpenCore(panel, true, name, volume, 1000, startNow);
}
bool CriMovie::OpenCore(TNyRGBPanel*, bool, const ZRString&, int32_t, int32_t, bool) { return false; }
bool CriMovie::WaitStart() { return false; }
bool CriMovie::Draw() { return false; }
bool CriMovie::DrawTo(TNyRGBBits*, int32_t, int32_t) { return false; }
void CriMovie::Stop() {}
void CriMovie::Close() {}
bool CriMovie::IsPlay() const { return false; }
bool CriMovie::IsStop() const { return true; }
bool CriMovie::IsEnd() const { return true; }
