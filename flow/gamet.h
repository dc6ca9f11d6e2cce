// TGameThread: the game's logic thread. It reads the system save, runs the title loop and
// carries out the mode the title returns: a new game, a loaded game, the album, the music
// room, the opening movie or quitting.
#pragma once
#include "flow/commont.h"

// Mode codes of the title loop.
enum TitleMode : int32_t {
    tmNewGame = 1,
    tmLoaded = 2,
    tmAlbum = 4,
    tmMusicRoom = 5,
    tmConfig = 6,
    tmOpening = 7,
    tmQuit = 8,
};

class TGameThread : public TCommonThread {
  public:
    // Suspended until the main window resumes it.
    static TMainThread* Create(TGameForm* form);
    explicit TGameThread(TGameForm* form);

    void TitleLoop();
    void NewGame(const ZRString& scene);
    void LoadGame();
    void RunAlbum();
    void RunMusicRoom();

    // The next title visit first plays the title call and the opening movie.
    bool FirstRun = true;

  protected:
    void Main() override;

  private:
    // NewGame and LoadGame: the screens made, the scene entered, the loop run, all undone.
    void PlayThrough(const ZRString* scene);
};
