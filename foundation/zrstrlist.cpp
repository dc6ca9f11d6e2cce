#include "foundation/zrstrlist.h"

#include <cstring>
#include <memory>

void ZRStringList::SetText(const char* text) {
    // The argument may point into our own buffer (SetText(GetText())).
    std::string out;
    const char* p = text ? text : "";
    while (*p) {
        size_t n = std::strcspn(p, "\r\n");
        out.append(p, n);
        out.push_back('\n');
        p += n;
        if (*p == '\r' && p[1] == '\n') {
            p += 2;
        } else if (*p) {
            ++p;
        }
    }
    text_.swap(out);
    ParseText();
}

void ZRStringList::ParseText() {
    starts_.clear();
    size_t pos = 0;
    while (pos < text_.size()) {
        starts_.push_back(static_cast<int>(pos));
        size_t lf = text_.find('\n', pos);
        if (lf == std::string::npos) break;
        pos = lf + 1;
    }
}

bool ZRStringList::GetStringPos(int index, int& start, int& length) const {
    if (index < 0 || index >= GetCount()) return false;
    size_t s = static_cast<size_t>(starts_[static_cast<size_t>(index)]);
    size_t lf = text_.find('\n', s);
    if (lf == std::string::npos) lf = text_.size();
    start = static_cast<int>(s);
    length = static_cast<int>(lf - s);
    return true;
}

ZRString ZRStringList::GetString(int index) const {
    int start, length;
    if (!GetStringPos(index, start, length)) return ZRString();
    return ZRString(text_.data() + start, static_cast<unsigned int>(length));
}

void ZRStringList::Clear() {
    text_.clear();
    starts_.clear();
}

// The line as it goes into the text: cut at a NUL (the text is a C string) and ended with a
// line feed unless it already ends with one.
std::string ZRStringList::PrepareLine(const ZRString& line) {
    std::string s(line.c_str());
    if (s.empty() || s.back() != '\n') s.push_back('\n');
    return s;
}

int ZRStringList::Add(const ZRString line) {
    text_ += PrepareLine(line);
    ParseText();
    return GetCount();
}

void ZRStringList::AddStrings(ZRStringList* other) {
    if (!other) return;
    // Counted first: adding a list to itself must not chase its own growth.
    int n = other->GetCount();
    for (int i = 0; i < n; ++i) Add(other->GetString(i));
}

void ZRStringList::Insert(int index, const ZRString line) {
    int count = GetCount();
    if (index < 0) index = 0;
    if (index > count) index = count;
    std::string s = PrepareLine(line);
    if (index < count) {
        text_.insert(static_cast<size_t>(starts_[static_cast<size_t>(index)]), s);
    } else {
        text_ += s;
    }
    ParseText();
}

void ZRStringList::Delete(int index) {
    int start, length;
    if (!GetStringPos(index, start, length)) return;
    size_t n = static_cast<size_t>(length);
    if (static_cast<size_t>(start) + n < text_.size() && text_[start + n] == '\n') ++n;
    text_.erase(static_cast<size_t>(start), n);
    ParseText();
}

void ZRStringList::LoadFromFile(const ZRString path) {
    ZRFileStream f(path, zrfmRead);
    if (f.IsOpen()) LoadFromStream(&f);
}

void ZRStringList::LoadFromStream(ZRStream* stream) {
    Clear();
    if (!stream) return;
    int64_t n = static_cast<int64_t>(stream->GetSize()) - stream->GetPosition();
    if (n <= 0) return;
    std::unique_ptr<char[]> buf(new char[static_cast<size_t>(n) + 1]);
    if (stream->Read(buf.get(), static_cast<int>(n)) != n) return;
    buf[static_cast<size_t>(n)] = '\0';
    SetText(buf.get());
}

void ZRStringList::SaveToFile(const ZRString path) {
    ZRFileStream f(path, zrfmCreate);
    if (f.IsOpen()) SaveToStream(&f);
}

void ZRStringList::SaveToStream(ZRStream* stream) {
    if (!stream) return;
    int n = GetCount();
    for (int i = 0; i < n; ++i) {
        int start = 0, length = 0;
        GetStringPos(i, start, length);
        stream->Write(text_.data() + start, length);
        stream->Write("\r\n", 2);
    }
}
