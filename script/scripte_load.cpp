// The scene index, the speaker table and the script files: loading with every structural
// check, and the reads the machine makes out of the loaded file.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "foundation/zrcsvread.h"
#include "foundation/zrfileman.h"
#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "game/maint.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "script/scripte.h"

namespace {

constexpr uint32_t kEntryHead = 22;
constexpr uint32_t kMaxSceneName = 63;
constexpr uint32_t kLabelHead = 10;
constexpr uint32_t kMaxScenes = 0xFFFF;

[[noreturn]] void Fail(const char* utf8Message) {
    throw plat::Exception(plat::SjisText(utf8Message));
}

// Reads exactly n bytes at the stream's position.
bool ReadAll(ZRStream* s, void* to, uint64_t n) {
    return n <= INT32_MAX && s->Read(to, static_cast<int>(n)) == static_cast<int>(n);
}

// Closes a stream handed out by a file manager on every way out.
class OpenFile {
  public:
    // A missing file is asked about first, so the manager reports no failed open for it.
    OpenFile(ZRFileMan* man, const ZRString& name, bool known = false) : man_(man) {
        if (man_ && (known || man_->FileIsExist(name))) stream_ = man_->Open(name);
    }
    ~OpenFile() {
        if (stream_) man_->Close(stream_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ZRStream* get() const { return stream_; }

  private:
    ZRFileMan* man_;
    ZRStream* stream_ = nullptr;
};

// A NUL within the first n bytes. Writers end the field with it, so the last byte answers
// at once in all but odd files.
inline bool Terminated(const uint8_t* p, size_t n) {
    return p[n - 1] == 0 || std::memchr(p, 0, n - 1);
}

ZRString ScriptFileName(int32_t number) {
    return ZRString().sprintf("scr%05d.vnx", number);
}

}  // namespace

bool TScriptEngine::LoadSceneTable() {
    OpenFile index(scriptFiles_, "Scene.tbl");
    OpenFile speakers(gameFiles_, "SpeakTbl.csv");
    return LoadSceneTable(index.get(), speakers.get());
}

bool TScriptEngine::LoadSceneTable(ZRStream* index, ZRStream* speakers) {
    loaded_ = false;
    try {
        LoadIndex(index);
        LoadSpeakers(speakers);
        loaded_ = true;
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "script: scene index: %s\n",
                     plat::ToUtf8(e.what(), plat::CodePage::ShiftJis).c_str());
        throw EGameErr();
    }
}

void TScriptEngine::LoadIndex(ZRStream* s) {
    scenes_.AllClear();
    sceneCount_ = 0;
    index_.clear();
    if (!s) Fail("Scene.tblが開けません。");
    uint8_t head[12];
    if (!ReadAll(s, head, sizeof head) || std::memcmp(head, "SV01", 4) != 0)
        Fail("Scene.tblが不正です。");
    const uint32_t blockSize = ZRGetLE32(head + 4);
    const uint32_t count = ZRGetLE32(head + 8);
    // The hash table holds at most 65,535 names and never grows by itself.
    if (count > kMaxScenes) Fail("Scene.tblが不正です。");
    // Size from the header is checked against the file before anything is allocated for it.
    const int64_t fileSize = s->GetSize();
    if (fileSize < 0 || static_cast<uint64_t>(blockSize) > static_cast<uint64_t>(fileSize) - 12)
        Fail("Scene.tblのシーン読込みに失敗しました。");
    try {
        index_.resize(blockSize);
    } catch (const std::bad_alloc&) {
        Fail("バッファ取得に失敗しました。");
    }
    if (!ReadAll(s, index_.data(), blockSize)) Fail("Scene.tblのシーン読込みに失敗しました。");
    if (count > 0) scenes_.Alloc(static_cast<int>(count));
    uint64_t off = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (off + 2 > blockSize) Fail("Scene.tblが不正です。");
        const uint32_t len = ZRGetLE16(&index_[off]);
        if (len < kEntryHead + 1 || off + len > blockSize) Fail("Scene.tblが不正です。");
        const char* name = reinterpret_cast<const char*>(&index_[off + kEntryHead]);
        const void* nul = std::memchr(name, 0, len - kEntryHead);
        if (!nul) Fail("Scene.tblが不正です。");
        const size_t nameLen = static_cast<const char*>(nul) - name;
        if (nameLen > kMaxSceneName) {
            // One bad scene must not stop the story: the others stay reachable.
            std::fprintf(stderr,
                         "script: Scene.tbl entry %u: name longer than %u bytes, left out\n", i,
                         kMaxSceneName);
        } else if (scenes_.AddData(name, static_cast<uint32_t>(off)) < 0) {
            Fail("Scene.tblが不正です。");
        } else {
            ++sceneCount_;
        }
        off += len;
    }
}

void TScriptEngine::LoadSpeakers(ZRStream* s) {
    speakers_.assign(kSpeakerCount, -1);
    if (!s) return;
    ZRCsvRead csv;
    if (!csv.Read(s)) return;
    for (int y = 0; y < csv.GetSizeY(); ++y) {
        const int id = csv.GetValue(0, y);
        if (id >= 0 && id < kSpeakerCount) speakers_[id] = csv.GetValue(1, y);
    }
}

int32_t TScriptEngine::Speaker(int32_t id) const {
    if (id < 0 || id >= kSpeakerCount || speakers_.empty()) return -1;
    return speakers_[id];
}

bool TScriptEngine::FindScene(const char* name, SceneEntry& out) const {
    if (!loaded_ || !name) return false;
    const int slot = scenes_.Search(name);
    if (slot < 0) return false;
    const uint8_t* e = &index_[scenes_.GetParam(slot)];
    out.script = ZRGetLE32(e + 2);
    out.label = ZRGetLE32(e + 10);
    out.date = ZRGetLE16(e + 14);
    out.time = ZRGetLE16(e + 16);
    out.limitDate = ZRGetLE16(e + 18);
    out.limitTime = ZRGetLE16(e + 20);
    return true;
}

void TScriptEngine::FreeScript() {
    code_.clear();
    calls_.clear();
    pool_.clear();
    strOffsets_.clear();
    labels_.clear();
    std::memset(header_, 0, sizeof header_);
    scriptNo_ = -1;
    fileTimeKnown_ = false;
}

void TScriptEngine::StashScript() {
    if (scriptNo_ >= 0 && fileTimeKnown_) {
        Image im{scriptNo_,
                 fileTime_,
                 {},
                 std::move(code_),
                 std::move(calls_),
                 std::move(pool_),
                 std::move(strOffsets_),
                 std::move(labels_)};
        std::memcpy(im.header, header_, sizeof header_);
        cache_.insert(cache_.begin(), std::move(im));
        if (cache_.size() > kCachedImages) {
            // The evicted file's buffers serve the next load: no fresh pages to fault in.
            Image& old = cache_.back();
            code_ = std::move(old.code);
            calls_ = std::move(old.calls);
            pool_ = std::move(old.pool);
            strOffsets_ = std::move(old.strOffsets);
            labels_ = std::move(old.labels);
            cache_.pop_back();
        }
    }
    FreeScript();
}

bool TScriptEngine::LoadScript(int32_t number) {
    if (scriptNo_ >= 0 && number == scriptNo_) return true;
    StashScript();
    if (number < 0) return false;
    const ZRString name = ScriptFileName(number);
    plat::FileTime time;
    const bool timed = scriptFiles_ && scriptFiles_->GetFileTime(name, &time);
    if (timed) {
        for (auto it = cache_.begin(); it != cache_.end(); ++it) {
            if (it->number != number || !(it->time == time)) continue;
            code_ = std::move(it->code);
            calls_ = std::move(it->calls);
            pool_ = std::move(it->pool);
            strOffsets_ = std::move(it->strOffsets);
            labels_ = std::move(it->labels);
            std::memcpy(header_, it->header, sizeof header_);
            cache_.erase(it);
            scriptNo_ = number;
            fileTime_ = time;
            fileTimeKnown_ = true;
            // Each switch tells the read history, as a load from the file would.
            if (history_) history_->RegisterScene(HeaderNumber(), HeaderChecksum());
            return true;
        }
    }
    OpenFile f(scriptFiles_, name, timed);
    if (!LoadScript(number, f.get())) return false;
    fileTime_ = time;
    fileTimeKnown_ = timed;
    return true;
}

bool TScriptEngine::LoadScript(int32_t number, ZRStream* s) {
    FreeScript();
    if (number < 0 || !s || !LoadScriptFile(s)) {
        FreeScript();
        return false;
    }
    scriptNo_ = number;
    // Only a file that passed every check may reset the read marks of its script.
    if (history_) history_->RegisterScene(HeaderNumber(), HeaderChecksum());
    return true;
}

bool TScriptEngine::LoadScriptFile(ZRStream* s) {
    if (!ReadAll(s, header_, sizeof header_)) return false;
    const int64_t fileSize = s->GetSize();
    if (fileSize < 64) return false;
    const uint32_t labelCount = ZRGetLE32(header_ + 36);
    const uint32_t strCount = ZRGetLE32(header_ + 60);

    // Label records: each inside the code block, long enough for its own head and name, the
    // name terminated within its length. Their offsets are the only valid call targets.
    uint64_t labelAt = 0;
    auto walkLabels = [&](uint64_t avail, bool all) {
        const uint64_t codeSize = code_.size();
        while (labels_.size() < labelCount) {
            const uint64_t off = labelAt;
            if (off + kLabelHead > avail) return !all;
            const uint32_t len = ZRGetLE32(&code_[off]);
            const uint32_t nameLen = ZRGetLE16(&code_[off + 4]);
            if (off + kLabelHead + nameLen > avail && !all) return true;
            if (nameLen == 0 || len < kLabelHead + nameLen || off + len > codeSize) return false;
            if (!Terminated(&code_[off + kLabelHead], nameLen)) return false;
            labels_.push_back(
                {static_cast<int32_t>(off), static_cast<int32_t>(off + kLabelHead + nameLen)});
            labelAt = off + len;
        }
        return true;
    };
    // Pool records: u16 size counting itself, then the text with its NUL inside the record.
    uint64_t poolAt = 0;
    auto walkPool = [&](uint64_t avail, bool all) {
        const uint64_t poolSize = pool_.size();
        while (strOffsets_.size() < strCount) {
            const uint64_t off = poolAt;
            if (off + 2 > avail) return !all;
            const uint32_t size = ZRGetLE16(&pool_[off]);
            if (size < 3 || off + size > poolSize) return false;
            if (off + size > avail && !all) return true;
            if (!Terminated(&pool_[off + 2], size - 2)) return false;
            strOffsets_.push_back(static_cast<uint32_t>(off + 2));
            poolAt = off + size;
        }
        return true;
    };
    auto walkNothing = [](uint64_t, bool) { return true; };

    // Each block is read in pieces and walked while a piece is still in the cache: a second
    // pass over a large code block would wait on memory at every record.
    struct Block {
        ScriptBytes* to;
        uint32_t offset, size;
    };
    const Block blocks[3] = {{&code_, ZRGetLE32(header_ + 28), ZRGetLE32(header_ + 32)},
                             {&calls_, ZRGetLE32(header_ + 40), ZRGetLE32(header_ + 44)},
                             {&pool_, ZRGetLE32(header_ + 52), ZRGetLE32(header_ + 56)}};
    for (const Block& b : blocks)
        if (static_cast<uint64_t>(b.offset) + b.size > static_cast<uint64_t>(fileSize))
            return false;
    if (labelCount > blocks[0].size / (kLabelHead + 1) || strCount > blocks[2].size / 3)
        return false;
    labels_.reserve(labelCount);
    strOffsets_.reserve(strCount);
    auto readBlock = [&](const Block& b, auto&& walk) {
        try {
            b.to->resize(b.size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (b.size == 0) return walk(0, true);
        if (b.offset > INT32_MAX || !s->SetPosition(static_cast<int>(b.offset))) return false;
        constexpr uint32_t kPiece = 256 << 10;
        for (uint32_t got = 0; got < b.size;) {
            const uint32_t n = b.size - got < kPiece ? b.size - got : kPiece;
            if (!ReadAll(s, b.to->data() + got, n)) return false;
            got += n;
            if (!walk(got, got == b.size)) return false;
        }
        return true;
    };
    return readBlock(blocks[0], walkLabels) && readBlock(blocks[1], walkNothing) &&
           readBlock(blocks[2], walkPool);
}

uint32_t TScriptEngine::HeaderNumber() const {
    return ZRGetLE32(header_ + 8);
}
uint32_t TScriptEngine::HeaderChecksum() const {
    return ZRGetLE32(header_ + 12);
}

uint32_t TScriptEngine::GetScriptChecksum(int32_t number) {
    if (number < 0) return 0xFFFFFFFFu;
    OpenFile f(scriptFiles_, ScriptFileName(number));
    uint8_t head[64];
    if (!f.get() || !ReadAll(f.get(), head, sizeof head)) return 0xFFFFFFFFu;
    if (ZRGetLE32(head + 8) != static_cast<uint32_t>(number)) return 0xFFFFFFFFu;
    return ZRGetLE32(head + 12);
}

int32_t TScriptEngine::FindLabel(const char* name) const {
    if (!name) return -1;
    for (const Label& l : labels_)
        if (std::strcmp(reinterpret_cast<const char*>(&code_[l.offset + kLabelHead]), name) == 0)
            return l.offset;
    return -1;
}

int32_t TScriptEngine::GetLabelPc(int32_t offset) const {
    size_t lo = 0, hi = labels_.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (labels_[mid].offset < offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < labels_.size() && labels_[lo].offset == offset ? labels_[lo].pc : -1;
}

uint16_t TScriptEngine::ReadCodeU16(uint32_t pc) const {
    if (scriptNo_ < 0 || static_cast<uint64_t>(pc) + 2 > code_.size())
        Fault("code read past the end");
    return ZRGetLE16(&code_[pc]);
}

uint32_t TScriptEngine::ReadCodeU32(uint32_t pc) const {
    if (scriptNo_ < 0 || static_cast<uint64_t>(pc) + 4 > code_.size())
        Fault("code read past the end");
    return ZRGetLE32(&code_[pc]);
}

ZRString TScriptEngine::GetString(uint32_t id) const {
    if (id == 0) return ZRString();
    if (id & 0x80000000u) return state_->GetStringVar(static_cast<int>(id & 0x7FFFFFFFu));
    if (scriptNo_ < 0 || id > strOffsets_.size()) Fault("string id past the pool");
    return ZRString(reinterpret_cast<const char*>(&pool_[strOffsets_[id - 1]]));
}

uint16_t TScriptEngine::CallKind(uint32_t offset) const {
    if (static_cast<uint64_t>(offset) + 4 > calls_.size()) return 0;
    return ZRGetLE16(&calls_[offset + 2]);
}

ZRString TScriptEngine::CallText(uint32_t at) const {
    if (at >= calls_.size()) return ZRString();
    const char* p = reinterpret_cast<const char*>(&calls_[at]);
    const size_t room = calls_.size() - at;
    const void* nul = std::memchr(p, 0, room);
    return ZRString(p, static_cast<unsigned>(nul ? static_cast<const char*>(nul) - p : room));
}
