#include "foundation/zrfileman.h"

#include <algorithm>
#include <cinttypes>

#include "foundation/zrmemman.h"
#include "foundation/zrsys.h"
#include "foundation/zrtext.h"
#include "platform/hostfs.h"

ZRFileMan::~ZRFileMan() {
    if (OnError.IsSet()) {
        while (!list_.empty()) {
            ZRFilePointer entry = list_.back();
            list_.pop_back();
            ZRString msg;
            auto stream = reinterpret_cast<uintptr_t>(entry.stream);
            if (entry.name.IsEmpty()) {
                msg.printf("NotClose %016" PRIxPTR ":Call(%016" PRIxPTR ")", stream, entry.caller);
            } else {
                msg.printf("NotClose[%s] %016" PRIxPTR ":Call(%016" PRIxPTR ")", entry.name.c_str(),
                           stream, entry.caller);
            }
            try {
                OnError.Call(this, msg);
            } catch (...) {
            }
        }
    }
    if (ownsPack_) delete pack_;
}

bool ZRFileMan::InitDir(ZRString directory) {
    if (ready_) Finish();
    directory_ = directory;
    if (!directory_.IsEmpty() && *directory_.AnsiLastChar() != '\\') directory_ += "\\";
    ready_ = true;
    return true;
}

ZRString ZRFileMan::GetDir() const {
    if (directory_.IsEmpty()) return ZRString();
    return directory_.SubString(1, directory_.Length() - 1);
}

bool ZRFileMan::InitPack(ZRString path) {
    if (ready_) Finish();
    if (!ZRFileIsExist(path.c_str())) return false;
    auto* pack = new ZRPack();
    return Adopt(pack, pack->OpenPack(path.c_str()));
}

bool ZRFileMan::Adopt(ZRPack* pack, bool opened) {
    if (!opened) {
        delete pack;
        return false;
    }
    pack_ = pack;
    ownsPack_ = true;
    ready_ = true;
    return true;
}

bool ZRFileMan::InitPack(ZRPack* pack) {
    if (ready_) Finish();
    if (!pack) return false;
    pack_ = pack;
    ownsPack_ = false;
    ready_ = true;
    return true;
}

bool ZRFileMan::InitPack(ZRStream* stream) {
    if (ready_) Finish();
    auto* pack = new ZRPack();
    return Adopt(pack, pack->LoadPackStream(stream));
}

void ZRFileMan::Finish() {
    if (ownsPack_) delete pack_;
    pack_ = nullptr;
    ownsPack_ = false;
    directory_ = ZRString();
    ready_ = false;
}

bool ZRFileMan::FileIsExist(ZRString name) {
    if (!ready_) return false;
    if (pack_) return pack_->CheckFileName(name.c_str()) != -1;
    return ZRFileIsExist((directory_ + name).c_str());
}

ZRStream* ZRFileMan::Hand(ZRStream* stream, uintptr_t caller, const ZRString& name) {
    if (stream && !stream->IsOpen()) {
        delete stream;
        stream = nullptr;
    }
    if (!stream) {
        if (OnError.IsSet()) {
            ZRString msg;
            msg.printf("FileOpenErr Call(%016" PRIxPTR ")", caller);
            OnError.Call(this, msg + " [" + name + "]");
        }
        return nullptr;
    }
    AddPointerList(ZRFilePointer{stream, caller, recordNames_ ? name : ZRString()});
    return stream;
}

ZRStream* ZRFileMan::Open(ZRString name) {
    if (!ready_) return nullptr;
    uintptr_t caller = OnError.IsSet() ? ZR_CALLER_ADDRESS() : 0;
    ZRStream* stream = nullptr;
    if (FileIsExist(name)) {
        stream = pack_ ? pack_->ZRMakeStream(name.c_str())
                       : new ZRFileStream(directory_ + name, zrfmRead);
    }
    return Hand(stream, caller, name);
}

ZRStream* ZRFileMan::Create(ZRString name) {
    if (!ready_ || pack_) return nullptr;
    uintptr_t caller = OnError.IsSet() ? ZR_CALLER_ADDRESS() : 0;
    return Hand(new ZRFileStream(directory_ + name, zrfmCreate), caller, name);
}

void ZRFileMan::Close(ZRStream*& stream) {
    if (!stream) return;
    DelPointerList(ZRFilePointer{stream, 0, ZRString()});
    delete stream;
    stream = nullptr;
}

bool ZRFileMan::AddPointerList(ZRFilePointer entry) {
    list_.push_back(entry);
    return true;
}

bool ZRFileMan::DelPointerList(ZRFilePointer entry) {
    auto it = std::find(list_.begin(), list_.end(), entry);
    if (it == list_.end()) return false;
    list_.erase(it);
    return true;
}

void ZRFileMan::FindSet(ZRString pattern) {
    pattern_ = pattern;
    if (pack_) {
        packSearchIndex_ = 0;
    } else {
        dirSearching_ = false;
        dirHits_.clear();
    }
}

bool ZRFileMan::NextDirectoryHit(ZRString& name) {
    if (!dirSearching_) {
        ZRString full = directory_ + pattern_;
        ZRString namePattern = ZRExtractFileName(full);
        std::vector<plat::DirEntry> entries;
        if (!plat::ListDirectory(ZRExtractFilePath(full).c_str(), &entries)) return false;
        dirHits_.clear();
        for (const plat::DirEntry& e : entries) {
            if (!e.directory && plat::DirectoryNameMatches(namePattern.c_str(), e.name.c_str()))
                dirHits_.push_back(e.name);
        }
        // The host lists in no particular order; name order makes searches repeatable.
        std::sort(dirHits_.begin(), dirHits_.end());
        dirCursor_ = 0;
        dirSearching_ = true;
    }
    if (dirCursor_ >= dirHits_.size()) {
        dirSearching_ = false;
        dirHits_.clear();
        return false;
    }
    name = dirHits_[dirCursor_++].c_str();
    return true;
}

bool ZRFileMan::FindFile(ZRString& name) {
    if (!ready_ || pattern_.IsEmpty()) return false;
    if (!pack_) {
        if (NextDirectoryHit(name)) return true;
        name = ZRString();
        return false;
    }
    if (packSearchIndex_ >= 0) {
        char entry[ZRPack::kMaxNameLength + 1];
        while (packSearchIndex_ < pack_->GetFileNum()) {
            pack_->GetFileName(packSearchIndex_++, entry);
            if (entry[0] != 0 && ZRWildCardCmp(pattern_.c_str(), entry)) {
                name = entry;
                return true;
            }
        }
        packSearchIndex_ = -1;
    }
    name = ZRString();
    return false;
}

bool ZRFileMan::GetFileTime(ZRString name, plat::FileTime* time) {
    if (!ready_ || !time) return false;
    if (pack_) {
        int index = pack_->CheckFileName(name.c_str());
        return index >= 0 && pack_->GetFileTime(index, time);
    }
    ZRString path = directory_ + name;
    return ZRFileIsExist(path.c_str()) && plat::GetWriteTime(path.c_str(), time);
}
