// Movies inside the story: the movie scene's panel takes the place of the scene's while it
// plays.
#include "game/gamef.h"
#include "scenes/avgu.h"
#include "scenes/movieu.h"

bool SceneMovies::Open(const ZRString& file, bool canSkip) {
    if (!MovieUnit) return false;
    // The story may forbid skipping; the movie unit is shared, so Finish allows it again.
    MovieUnit->SetCanSkip(canSkip);
    return MovieUnit->Open(file);
}

void SceneMovies::ShowPanel() {
    if (!GameForm || !MovieUnit) return;
    if (AvgUnit) GameForm->DetachLayer(AvgUnit->RootPanel);
    GameForm->AttachLayer(MovieUnit->RootPanel);
}

void SceneMovies::Start() {
    if (MovieUnit) MovieUnit->Start();
}

void SceneMovies::Frame(int32_t ticks) {
    if (MovieUnit) MovieUnit->Frame(ticks);
}

bool SceneMovies::IsPlaying() const {
    return MovieUnit && MovieUnit->IsPlaying();
}

void SceneMovies::KeySkip(bool pushed0, bool pushed1, bool pushed8) {
    if (MovieUnit) MovieUnit->KeySkip(pushed0, pushed1, pushed8);
}

void SceneMovies::Finish(TNyRGBPanel* scenePanel) {
    if (!MovieUnit) return;
    if (GameForm) {
        GameForm->DetachLayer(MovieUnit->RootPanel);
        GameForm->AttachLayer(scenePanel);
    }
    MovieUnit->Close();
    MovieUnit->SetCanSkip(true);
}
