// The movie scene: open, start, skip and stop one movie, and show its pictures.
#include "scenes/movieu.h"

#include "devices/dinputu.h"
#include "foundation/zrcallback.h"
#include "foundation/zrsync.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "widgets/nyrgbbits.h"

TMovieUnit* MovieUnit = nullptr;

TMovieUnit::TMovieUnit(plat::TComponent* owner) : plat::TComponent(owner) {}

TMovieUnit::~TMovieUnit() {
    if (open_) Close();
    if (setup_) Release();
}

bool TMovieUnit::Setup(ZRFileMan* archive, bool panelMode, int32_t resultCode) {
    archive_ = archive;
    panelMode_ = panelMode;
    result_ = resultCode;
    MoviePanel = new TNyRGBPanel(this);
    MoviePanel->SetAutoSize(false);
    MoviePanel->SetSizeX(1280);
    MoviePanel->SetSizeY(720);
    MoviePanel->OnMouseDown = [this](TNyRGBPanel*, TMouseButton, TShiftState, int, int) {
        MoviePanelMouseDown();
    };
    MoviePanel->Create();
    RootPanel = MoviePanel;
    if (!panelMode_ && GameForm)
        GameForm->SetOnMovieDraw(
            ZRBaseCallback2<bool, TNyRGBBits*, int>(this, &TMovieUnit::DrawToBits));
    setup_ = true;
    return true;
}

void TMovieUnit::Release() {
    if (open_) Close();
    if (!panelMode_ && GameForm)
        GameForm->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
    delete MoviePanel;
    MoviePanel = RootPanel = nullptr;
    setup_ = false;
}

bool TMovieUnit::Open(const ZRString& name) {
    if (open_) Close();
    const ZRString path = ZRString("Movie\\") + name;
    bool opened;
    if (panelMode_) {
        opened = movie_.Open(MoviePanel, true, path);
    } else {
        if (MoviePanel) {
            MoviePanel->SetSizeX(1280);
            MoviePanel->SetSizeY(720);
        }
        opened = movie_.Open(nullptr, true, path);
    }
    if (opened) {
        open_ = true;
        started_ = false;
        skippable_ = false;
        guard_ = kSkipGuardTicks;
        // A movie smaller than the screen plays in its middle.
        if (MoviePanel && panelMode_) {
            MoviePanel->SetOffsetX((1280 - movie_.Width()) / 2);
            MoviePanel->SetOffsetY((720 - movie_.Height()) / 2);
        }
    }
    return true;
}

void TMovieUnit::Close() {
    if (open_ && GameForm) GameForm->PlayMuteBuffer();
    movie_.Close();
    open_ = started_ = skippable_ = false;
}

void TMovieUnit::Stop() {
    movie_.Stop();
    if (result_ >= 0) {
        if (PostResult)
            PostResult(result_);
        else
            EndWait(result_);
    }
    started_ = skippable_ = false;
}

bool TMovieUnit::DrawToBits(TNyRGBBits* target, int yoff) {
    return open_ && movie_.DrawTo(target, 0, yoff);
}

void TMovieUnit::Draw() {
    if (open_) movie_.Draw();
}

void TMovieUnit::Frame(int ticks) {
    if (!started_) return;
    if (guard_ > 0) {
        guard_ -= ticks;
        if (guard_ <= 0) skippable_ = true;
    }
    // A movie that never opened ends at its first frame.
    if (!open_) {
        Stop();
        return;
    }
    bool ended;
    {
        const ZRSectionHold logic(GameForm ? GameForm->LogicLock : nullptr);
        const ZRSectionHold draw(GameForm ? GameForm->DrawLock : nullptr);
        if (panelMode_)
            Draw();
        else if (GameForm)
            GameForm->RenderMovie();
        ended = movie_.IsEnd();
    }
    if (ended) Stop();
}

void TMovieUnit::Input(int ticks, TDInputUnit* input) {
    (void)ticks;
    KeySkip(input);
}

void TMovieUnit::KeySkip(const TDInputUnit* input) {
    if (!input) return;
    KeySkip(input->IsPush(0), input->IsPush(1), input->IsPush(8));
}

void TMovieUnit::KeySkip(bool pushed0, bool pushed1, bool pushed8) {
    if (canSkip_ && skippable_ && (pushed0 || pushed1 || pushed8)) Stop();
}

void TMovieUnit::MoviePanelMouseDown() {
    if (canSkip_ && skippable_) Stop();
}
