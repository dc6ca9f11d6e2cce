// ZRFileMan: serves data files by name from one source, a directory on disk or a "NyPack"
// archive, so that callers never see which. It hands out streams positioned at 0, keeps a
// list of what it handed out, and reports failed opens and streams never given back through
// an error callback that its owner binds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrpack.h"
#include "foundation/zrstream.h"
#include "foundation/zrstring.h"
#include "platform/filetime.h"

struct ZRFilePointer {
    ZRStream* stream = nullptr;  // not owned by the list
    uintptr_t caller = 0;        // where the file was opened; 0 while no error callback is set
    ZRString name;               // kept only while name recording is on
    bool operator==(const ZRFilePointer& o) const { return stream == o.stream; }
};

class ZRFileMan;
using ZRFileManErrorCallback = ZRBaseCallback2<void, ZRFileMan*, ZRString>;

class ZRFileMan {
public:
    ZRFileMan() = default;
    ~ZRFileMan();
    ZRFileMan(const ZRFileMan&) = delete;
    ZRFileMan& operator=(const ZRFileMan&) = delete;

    ZRFileManErrorCallback OnError;
    void SetNameRecording(bool on) { recordNames_ = on; }

    // An empty directory means the current one.
    bool InitDir(ZRString directory);
    bool SetDir(ZRString directory) { return InitDir(directory); }
    ZRString GetDir() const;
    // Opens the archive at the path (read-only, no checks); false when there is none.
    bool InitPack(ZRString path);
    // Uses the caller's open archive without owning it.
    bool InitPack(ZRPack* pack);
    bool SetPack(ZRPack* pack) { return InitPack(pack); }
    ZRPack* GetPack() const { return pack_; }
    // Reads an archive from the caller's stream, which must outlive this use of it.
    bool InitPack(ZRStream* stream);
    void Finish();
    bool ChkIsPack() const { return ready_ && pack_; }

    bool FileIsExist(ZRString name);
    __attribute__((noinline)) ZRStream* Open(ZRString name);
    // Directory mode only: creates or truncates the file.
    __attribute__((noinline)) ZRStream* Create(ZRString name);
    void Close(ZRStream*& stream);

    void FindSet(ZRString pattern);
    bool FindFile(ZRString& name);
    bool GetFileTime(ZRString name, plat::FileTime* time);

    bool AddPointerList(ZRFilePointer entry);
    bool DelPointerList(ZRFilePointer entry);
    int OpenCount() const { return static_cast<int>(list_.size()); }

private:
    // Takes ownership of an archive this manager made; deletes it when it did not open.
    bool Adopt(ZRPack* pack, bool opened);
    ZRStream* Hand(ZRStream* stream, uintptr_t caller, const ZRString& name);
    bool NextDirectoryHit(ZRString& name);

    bool ready_ = false;
    bool ownsPack_ = false;
    ZRPack* pack_ = nullptr;
    ZRString directory_;
    std::vector<ZRFilePointer> list_;
    bool recordNames_ = false;
    // A directory search lists the matching names at its first step and walks them.
    bool dirSearching_ = false;
    std::vector<std::string> dirHits_;
    size_t dirCursor_ = 0;
    int packSearchIndex_ = -1;
    ZRString pattern_;
};
