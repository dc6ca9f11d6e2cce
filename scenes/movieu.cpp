// The movie scene's stand-in: a movie is missing, or plays for a set number of frames.
#include "scenes/movieu.h"

#include "game/maint.h"
#include "widgets/nyrgbpanel.h"

TMovieUnit* MovieUnit = nullptr;
int32_t TMovieUnit::PlayFrames = -1;
std::vector<std::string> TMovieUnit::Opened;

TMovieUnit::TMovieUnit() : RootPanel(new TNyRGBPanel(nullptr)) {
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);
}

TMovieUnit::~TMovieUnit() {
    if (SetUp) Release();
    delete RootPanel;
}

bool TMovieUnit::Setup(ZRFileMan* files, int32_t, int32_t resultCode) {
    if (!files) return false;
    resultCode_ = resultCode;
    SetUp = true;
    return true;
}

void TMovieUnit::Release() {
    Close();
    SetUp = false;
}

bool TMovieUnit::Open(const ZRString& name) {
    Close();
    Opened.emplace_back(name.c_str());
    open_ = PlayFrames >= 0;
    left_ = PlayFrames;
    return true;
}

void TMovieUnit::Start() {
    started_ = open_;
}

bool TMovieUnit::IsPlaying() const {
    return open_ && (!started_ || left_ > 0);
}

void TMovieUnit::Close() {
    open_ = false;
    started_ = false;
    left_ = 0;
}

void TMovieUnit::Frame(int ticks) {
    if (!started_ || left_ <= 0) return;
    left_ -= ticks;
    if (left_ <= 0 && resultCode_ >= 0) EndWait(resultCode_);
}

void TMovieUnit::Input(int, TDInputUnit*) {}
