#include "devices/crisofdec_service.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

#include "media/zradx.h"
#include "platform/hostfs.h"
#include "platform/moviedecode.h"
#include "platform/soundmixer.h"

struct MediaPlayback::Sound {
    plat::SoundMixer* mixer = nullptr;
    plat::VoiceId voice = 0;
    std::mutex mutex;  // the decoder, shared with the mixer's pull callback
    AdxDecoder decoder;
    std::atomic<bool> ended{false};
    std::atomic<bool> playing{false};

    uint32_t Pull(void* dest, uint32_t bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        const uint32_t frameBytes = 2u * decoder.Header().channels;
        const uint32_t got = decoder.Decode(static_cast<int16_t*>(dest), bytes / frameBytes);
        if (decoder.Ended()) ended = true;
        return got * frameBytes;
    }
};

MediaPlayback::MediaPlayback() = default;
MediaPlayback::~MediaPlayback() {
    Finish();
}

MediaPlayback& ThePlayback() {
    static MediaPlayback service;
    return service;
}

bool MediaPlayback::Start(const std::string& directory, plat::SoundMixer* mixer,
                          ZRBitDepth frameDepth) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return true;
    directory_ = directory;
    while (!directory_.empty() && (directory_.back() == '\\' || directory_.back() == '/'))
        directory_.pop_back();
    mixer_ = mixer;
    frameDepth_ = frameDepth == bd24 ? bd24 : bd32;
    running_ = true;
    return true;
}

void MediaPlayback::Finish() {
    std::unordered_map<uint32_t, std::shared_ptr<Sound>> sounds;
    std::unordered_map<uint32_t, std::shared_ptr<plat::MovieDecoder>> movies;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sounds.swap(sounds_);
        movies.swap(movies_);
        running_ = false;
        mixer_ = nullptr;
    }
    for (auto& [h, m] : movies) m->Close();
    // Each voice goes before the decoder its callback reads.
    for (auto& [h, s] : sounds)
        if (s->voice) s->mixer->DestroyVoice(s->voice);
}

bool MediaPlayback::Running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

std::string MediaPlayback::PathOf(const char* name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string n = name ? name : "";
    if (directory_.empty() || (!n.empty() && (n[0] == '/' || n[0] == '\\'))) return n;
    return directory_ + "\\" + n;
}

ZRBitDepth MediaPlayback::FrameDepth() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frameDepth_;
}

uint32_t MediaPlayback::NextHandle() {
    uint32_t h = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;  // after four thousand million opens
    return h;
}

std::shared_ptr<MediaPlayback::Sound> MediaPlayback::FindSound(uint32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sounds_.find(handle);
    return it == sounds_.end() ? nullptr : it->second;
}

std::shared_ptr<plat::MovieDecoder> MediaPlayback::FindMovie(uint32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = movies_.find(handle);
    return it == movies_.end() ? nullptr : it->second;
}

uint32_t MediaPlayback::OpenSoundStream(const char* name, bool loop) {
    if (!name || !Running()) return 0;
    plat::SoundMixer* mixer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mixer = mixer_;
    }
    FILE* f = plat::OpenFile(PathOf(name).c_str(), "rb");
    if (!f) return 0;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && static_cast<uint64_t>(size) <= kMaxMusicBytes &&
         std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
    }
    std::fclose(f);
    if (!ok) return 0;
    auto sound = std::make_shared<Sound>();
    if (!sound->decoder.Open(std::move(bytes), loop, nullptr)) return 0;
    if (mixer) {
        const AdxHeader& h = sound->decoder.Header();
        Sound* raw = sound.get();
        sound->mixer = mixer;
        sound->voice = mixer->CreateStreamVoice(
            plat::PcmFormat{h.channels, h.rate, 16}, plat::kControlFrequency,
            [raw](void* dest, uint32_t n) { return raw->Pull(dest, n); });
        if (!sound->voice) return 0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || mixer_ != mixer) {
        if (sound->voice) mixer->DestroyVoice(sound->voice);
        return 0;
    }
    const uint32_t handle = NextHandle();
    sounds_[handle] = std::move(sound);
    return handle;
}

void MediaPlayback::SetSoundVolume(uint32_t handle, int32_t tenthsDb) {
    auto s = FindSound(handle);
    if (!s || !s->voice) return;
    const int64_t hundredths = int64_t{tenthsDb} * 10;
    s->mixer->SetVolume(
        s->voice, static_cast<int32_t>(std::clamp<int64_t>(hundredths, plat::kVolumeSilent, 0)));
}

bool MediaPlayback::PlaySound(uint32_t handle) {
    auto s = FindSound(handle);
    if (!s) return false;
    if (s->voice) s->mixer->Stop(s->voice);
    if (s->ended) {
        // A stream that ran to its end plays again from the start.
        std::lock_guard<std::mutex> lock(s->mutex);
        s->decoder.Rewind();
        s->ended = s->decoder.Ended();
    }
    s->playing = true;
    return s->voice ? s->mixer->Play(s->voice, false) : true;
}

void MediaPlayback::StopSound(uint32_t handle) {
    auto s = FindSound(handle);
    if (!s) return;
    s->playing = false;
    if (s->voice) s->mixer->Stop(s->voice);
}

void MediaPlayback::CloseSound(uint32_t handle) {
    std::shared_ptr<Sound> s;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = sounds_.find(handle);
        if (it == sounds_.end()) return;
        s = std::move(it->second);
        sounds_.erase(it);
    }
    if (s->voice) s->mixer->DestroyVoice(s->voice);
}

bool MediaPlayback::SoundIsPlay(uint32_t handle) {
    auto s = FindSound(handle);
    return s && s->playing && !s->ended;
}

bool MediaPlayback::GetMovieInfo(const uint8_t* data, int32_t count, MovieStreamInfo* info) {
    plat::MovieHead head;
    if (!data || count <= 0 || !info ||
        !plat::ParseMovieHead(data, static_cast<size_t>(count), &head))
        return false;
    *info = MovieStreamInfo{};
    info->width = head.width;
    info->height = head.height;
    info->type = head.type;
    return true;
}

uint32_t MediaPlayback::OpenMovie(const char* name, bool loop, int32_t volumeTenthsDb,
                                  int32_t speed) {
    if (!name || !Running() || speed <= 0) return 0;
    plat::MovieOptions o;
    o.loop = loop;
    o.volume = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{volumeTenthsDb} * 10, plat::kVolumeSilent, 0));
    o.speed = speed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        o.mixer = mixer_;
        o.frameBits = frameDepth_ == bd24 ? 24 : 32;
    }
    std::shared_ptr<plat::MovieDecoder> movie =
        plat::MovieDecoder::OpenFile(plat::ToHost(PathOf(name).c_str()), o, nullptr);
    if (!movie) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || mixer_ != o.mixer) {
        movie->Close();
        return 0;
    }
    const uint32_t handle = NextHandle();
    movies_[handle] = std::move(movie);
    return handle;
}

void MediaPlayback::WaitStart(uint32_t handle) {
    if (auto m = FindMovie(handle)) m->WaitStarted(std::chrono::seconds(3));
}

bool MediaPlayback::MovieIsPlay(uint32_t handle) {
    auto m = FindMovie(handle);
    return m && m->Playing();
}

bool MediaPlayback::MovieIsStop(uint32_t handle) {
    auto m = FindMovie(handle);
    return !m || m->Stopped();
}

bool MediaPlayback::MovieIsEnd(uint32_t handle) {
    auto m = FindMovie(handle);
    return !m || m->Ended();
}

void MediaPlayback::StopMovie(uint32_t handle) {
    if (auto m = FindMovie(handle)) m->Stop();
}

void MediaPlayback::CloseMovie(uint32_t handle) {
    std::shared_ptr<plat::MovieDecoder> m;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = movies_.find(handle);
        if (it == movies_.end()) return;
        m = std::move(it->second);
        movies_.erase(it);
    }
    m->Close();
}

bool MediaPlayback::DrawMovie(uint32_t handle, uint8_t* dest, int32_t pitch, int32_t bits,
                              int32_t srcX, int32_t srcY, int32_t columns, int32_t rows) {
    auto m = FindMovie(handle);
    return m && m->Draw(dest, pitch, bits, srcX, srcY, columns, rows);
}

bool MediaPlayback::TakeMoviePicture(uint32_t handle) {
    auto m = FindMovie(handle);
    return m && m->Take();
}

bool MediaPlayback::DrawShownPicture(uint32_t handle, uint8_t* dest, int32_t pitch, int32_t bits,
                                     int32_t srcX, int32_t srcY, int32_t columns, int32_t rows) {
    auto m = FindMovie(handle);
    return m && m->DrawShown(dest, pitch, bits, srcX, srcY, columns, rows);
}

void MediaPlayback::Exec() {
    std::vector<std::shared_ptr<Sound>> sounds;
    std::vector<std::shared_ptr<plat::MovieDecoder>> movies;
    plat::SoundMixer* mixer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [h, s] : sounds_)
            if (s->ended && s->voice) sounds.push_back(s);
        for (auto& [h, m] : movies_)
            if (m->Voice()) movies.push_back(m);
        mixer = mixer_;
    }
    for (auto& s : sounds) s->mixer->Stop(s->voice);
    for (auto& m : movies)
        if (m->Ended()) mixer->Stop(m->Voice());
}

uint32_t MediaPlayback::SoundVoice(uint32_t handle) {
    auto s = FindSound(handle);
    return s ? s->voice : 0;
}

uint32_t MediaPlayback::MovieVoice(uint32_t handle) {
    auto m = FindMovie(handle);
    return m ? m->Voice() : 0;
}

bool MediaPlayback::MoviesDecodedAhead(double ahead) {
    std::vector<std::shared_ptr<plat::MovieDecoder>> movies;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [h, m] : movies_) movies.push_back(m);
    }
    for (auto& m : movies)
        if (!m->DecodedAhead(ahead)) return false;
    return true;
}

int MediaPlayback::OpenCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(sounds_.size() + movies_.size());
}
