// Picture loading: the kind from the file name, the decoders through TNyRGBBits, and binding
// pictures to panels. Each loader raises the class library's exception for a failing step and
// catches it (and anything a decoder or stream throws) itself, freeing what it made.
#include <exception>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "game/gnykey.h"
#include "media/zrpng.h"
#include "platform/exception.h"

namespace {

const unsigned char* gnyTable = kGnyKeyTable.data();

[[noreturn]] void Fail(const char* message) {
    throw plat::Exception(message);
}

template <typename T>
T* NewTracked() {
    return MemMan ? MemMan->CreateVCL<T>(nullptr) : nullptr;
}

}  // namespace

ImageKind ImageKindOf(const ZRString& name) {
    const std::string& s = name.GetConstStr();
    const size_t dot = s.rfind('.');
    if (dot == std::string::npos) return 0;
    const std::string ext = ZRString(s.substr(dot + 1).c_str()).UpperCase().GetConstStr();
    static const char* const kExt[] = {"BMP", "JPG", "PNG", "LZH"};
    for (int i = 0; i < 4; ++i)
        if (ext == kExt[i]) return i + 1;
    return 0;
}

void SetGnyTable(int selector) {
    if (selector == 0 || selector == 1) gnyTable = kGnyKeyTable.data();
}

const unsigned char* CurrentGnyTable() {
    return gnyTable;
}

bool DrawImageStream(TNyRGBBits* bits, TNyAlpha* alpha, ImageKind kind, int x, int y,
                     ZRStream* stream) {
    try {
        if (!bits || !stream) Fail("StreamLoad Error");
        bool ok;
        switch (kind) {
            case 1:
                ok = bits->DrawBmpStream(stream, x, y);
                break;
            case 2:
                ok = bits->DrawJpegStream(stream, x, y);
                break;
            case 3:
                ok = bits->DrawPngStream(stream, x, y, alpha);
                break;
            case 4:
                ok = bits->DrawGnyStream(stream, x, y, gnyTable);
                break;
            default:
                return true;
        }
        if (!ok) Fail("StreamLoad Error");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadImageStream(TNyRGBBits** bits, TNyAlpha** alpha, ImageKind kind, ZRStream* stream) {
    if (!bits) return false;
    *bits = nullptr;
    if (alpha) *alpha = nullptr;
    try {
        // A kind without a decoder would leave an empty bitmap that looks loaded.
        if (kind < 1 || kind > 4) Fail("StreamLoad Error");
        *bits = NewTracked<TNyRGBBits>();
        if (!*bits) Fail("Alloc Error");
        (*bits)->SetBitDepth(WorkBitDepth);
        if (kind == 3 && alpha) {
            if (ChkChannelPng(stream) == 4) {
                *alpha = NewTracked<TNyAlpha>();
                if (!*alpha) Fail("Alloc Error");
            }
            stream->Seek(0, zrSeekSet);
        }
        if (!DrawImageStream(*bits, alpha ? *alpha : nullptr, kind, 0, 0, stream))
            Fail("StreamLoad Error");
        return true;
    } catch (const std::exception&) {
        DeleteTracked(*bits);
        if (alpha) DeleteTracked(*alpha);
        return false;
    }
}

bool LoadImageFile(TNyRGBBits** bits, TNyAlpha** alpha, ZRFileMan* files, const ZRString& name) {
    if (bits) *bits = nullptr;
    if (alpha) *alpha = nullptr;
    const ImageKind kind = ImageKindOf(name);
    if (kind == 0) return false;
    try {
        const OpenedFile file(files, name);
        if (!file.stream) Fail("FileOpen Error");
        return LoadImageStream(bits, alpha, kind, file.stream);
    } catch (const std::exception&) {
        return false;
    }
}

bool DrawImageFile(TNyRGBBits* bits, TNyAlpha* alpha, const ZRString& name, int x, int y,
                   ZRFileMan* files) {
    const ImageKind kind = ImageKindOf(name);
    if (kind == 0) return false;
    try {
        const OpenedFile file(files, name);
        if (!file.stream) Fail("FileOpen Error");
        if (!DrawImageStream(bits, alpha, kind, x, y, file.stream)) Fail("FileLoad Error");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadAnimeData(ZRAnimeData** data, ZRFileMan* files, const ZRString& name) {
    if (!data) return false;
    *data = nullptr;
    try {
        const OpenedFile file(files, name);
        if (!file.stream) Fail("FileOpen Error");
        *data = MemMan ? MemMan->Create<ZRAnimeData>() : nullptr;
        if (!*data) Fail("Alloc Error");
        if (!(*data)->Load(file.stream)) Fail("ZRAnimeLoad Error");
        return true;
    } catch (const std::exception&) {
        DeleteTracked(*data);
        return false;
    }
}

bool SetPanelImageFile(TNyRGBPanel* panel, ZRFileMan* files, const ZRString& name) {
    TNyRGBBits* bits = nullptr;
    TNyAlpha* alpha = nullptr;
    if (!LoadImageFile(&bits, &alpha, files, name)) return false;
    panel->SetImage(bits);
    panel->SetMaskMode(alpha ? 1 : 0);
    if (alpha) panel->SetAlpha(alpha);
    return true;
}

bool CreatePanelImageSized(TNyRGBPanel* panel, int width, int height, TMaskMode mode) {
    TNyRGBBits* bits = nullptr;
    TNyAlpha* alpha = nullptr;
    try {
        bits = NewTracked<TNyRGBBits>();
        if (mode == 1) alpha = NewTracked<TNyAlpha>();
        if (!bits || (mode == 1 && !alpha)) Fail("Alloc Error");
        bits->SetBitDepth(WorkBitDepth);
        bits->SetWidth(width);
        bits->SetHeight(height);
        if (!bits->Create()) Fail("NyRGBBits Init Error");
        if (mode == 1) {
            alpha->SetWidth(width);
            alpha->SetHeight(height);
            if (!alpha->Create()) Fail("NyAlpha Init Error");
        }
        panel->SetImage(bits);
        panel->SetMaskMode(mode);
        if (mode == 1) panel->SetAlpha(alpha);
        return true;
    } catch (const std::exception&) {
        DeleteTracked(bits);
        DeleteTracked(alpha);
        return false;
    }
}

bool CreatePanelImage(TNyRGBPanel* panel, TMaskMode mode) {
    return CreatePanelImageSized(panel, panel->GetSizeX(), panel->GetSizeY(), mode);
}

void ReleasePanelImage(TNyRGBPanel* panel) {
    if (TNyRGBBits* bits = panel->GetImage()) {
        DeleteTracked(bits);
        panel->SetImage(nullptr);
    }
    if (TNyAlpha* alpha = panel->GetAlpha()) {
        DeleteTracked(alpha);
        panel->SetAlpha(nullptr);
    }
}

bool SetPanelAnimeFile(TNyRGBProgram* panel, ZRFileMan* files, const ZRString& image,
                       const ZRString& anime) {
    if (!SetPanelImageFile(panel, files, image)) return false;
    ZRAnimeData* data = nullptr;
    if (LoadAnimeData(&data, files, anime)) panel->SetAnimeData(data);
    return true;
}

void ReleasePanelAnime(TNyRGBProgram* panel) {
    ReleasePanelImage(panel);
    if (ZRAnimeData* data = panel->GetAnimeData()) {
        panel->SetAnimeData(nullptr);
        DeleteTracked(data);
    }
}

void SharePanelImage(TNyRGBPanel* panel, TNyRGBPanel* source) {
    panel->SetImage(source->GetImage());
    panel->SetAlpha(source->GetAlpha());
    panel->SetMaskMode(source->GetMaskMode());
}

void SharePanelImageFrom(TNyRGBPanel* panel, TNyRGBPanel* source) {
    SharePanelImage(panel, source);
}

void SetPanelImageAlpha(TNyRGBPanel* panel, const ImagePair* pair) {
    panel->SetImage(pair->image);
    panel->SetAlpha(pair->alpha);
    panel->SetMaskMode(panel->GetAlpha() ? 1 : 0);
}

void ClearPanelImage(TNyRGBPanel* panel) {
    panel->SetImage(nullptr);
    panel->SetAlpha(nullptr);
    panel->SetMaskMode(0);
}
