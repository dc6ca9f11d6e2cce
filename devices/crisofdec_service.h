// The playback service behind the movie and music glue: it owns every open music stream and
// movie under a u32 handle (0 names nothing; handles are never handed out twice, and one that
// is closed or unknown does nothing). Music files are read whole at the open and decoded by
// the mixer's pull callback; movies decode on their own threads. Names resolve against the
// directory the service was started with, through the host file layer.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "media/zrrgbraw.h"

namespace plat {
class SoundMixer;
class MovieDecoder;
}  // namespace plat

// What the head parser tells of a movie: the first, second and fifth fields are read.
struct MovieStreamInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t reserved0 = 0;
    int32_t reserved1 = 0;
    int32_t type = 0;  // 17: no alpha; anything else: alpha
    int32_t reserved2[3] = {0, 0, 0};
};

// Music files above this size are refused.
constexpr uint64_t kMaxMusicBytes = 64ull << 20;

class MediaPlayback {
  public:
    MediaPlayback();
    ~MediaPlayback();

    bool Start(const std::string& directory, plat::SoundMixer* mixer, ZRBitDepth frameDepth);
    // Closes every stream and movie (joining the movie threads) and lets go of the mixer.
    void Finish();
    bool Running() const;
    // Stops the voices of what has ended, so the mixer no longer pulls silence from them.
    void Exec();
    // The game path of a name under the service's directory.
    std::string PathOf(const char* name) const;
    ZRBitDepth FrameDepth() const;

    uint32_t OpenSoundStream(const char* name, bool loop);
    void SetSoundVolume(uint32_t handle, int32_t tenthsDb);
    bool PlaySound(uint32_t handle);
    void StopSound(uint32_t handle);
    void CloseSound(uint32_t handle);
    bool SoundIsPlay(uint32_t handle);

    static bool GetMovieInfo(const uint8_t* data, int32_t count, MovieStreamInfo* info);
    uint32_t OpenMovie(const char* name, bool loop, int32_t volumeTenthsDb, int32_t speed);
    // Waits at most 3 s for the first picture.
    void WaitStart(uint32_t handle);
    bool MovieIsPlay(uint32_t handle);
    bool MovieIsStop(uint32_t handle);
    bool MovieIsEnd(uint32_t handle);
    void StopMovie(uint32_t handle);
    void CloseMovie(uint32_t handle);
    // The due picture into `rows` rows of at most `columns` pixels at `pitch` bytes, from the
    // picture's (srcX, srcY); true when a new picture was written.
    bool DrawMovie(uint32_t handle, uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX,
                   int32_t srcY, int32_t columns, int32_t rows);
    // The same in two steps: the due picture becomes the movie's shown one (true when a newer
    // one was due), and the shown one is converted wherever and as often as it is asked for.
    bool TakeMoviePicture(uint32_t handle);
    bool DrawShownPicture(uint32_t handle, uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX,
                          int32_t srcY, int32_t columns, int32_t rows);

    // The mixer voices behind a stream or a movie (0: none), and the open counts, for tests.
    uint32_t SoundVoice(uint32_t handle);
    uint32_t MovieVoice(uint32_t handle);
    int OpenCount();
    // Every open movie has decoded the picture due `ahead` seconds from now, or can decode no
    // further: what a caller moving the game's clock by hand waits for before each step.
    bool MoviesDecodedAhead(double ahead);

  private:
    struct Sound;
    std::shared_ptr<Sound> FindSound(uint32_t handle);
    std::shared_ptr<plat::MovieDecoder> FindMovie(uint32_t handle);
    uint32_t NextHandle();

    mutable std::mutex mutex_;
    bool running_ = false;
    std::string directory_;
    plat::SoundMixer* mixer_ = nullptr;
    ZRBitDepth frameDepth_ = bd32;
    uint32_t nextHandle_ = 1;
    std::unordered_map<uint32_t, std::shared_ptr<Sound>> sounds_;
    std::unordered_map<uint32_t, std::shared_ptr<plat::MovieDecoder>> movies_;
};

// The one service the glue's free functions and CriMovie use.
MediaPlayback& ThePlayback();
