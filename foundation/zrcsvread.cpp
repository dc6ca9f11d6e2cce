#include "foundation/zrcsvread.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

// The tag character of a header cell or a line: its first byte, or the second when the
// first is an opening double quote with something after it.
char TagOf(const char* s, size_t length) {
    if (length == 0) return '\0';
    if (s[0] == '"' && length > 1) return s[1];
    return s[0];
}

bool IsDataRow(const ZRString& line) {
    return TagOf(line.c_str(), line.Length()) == '#';
}

bool LastCharIs(const ZRString& s, char c) {
    return !s.IsEmpty() && s.AnsiLastChar()[0] == c;
}

// Leading white space, an optional sign and decimal digits, as the C library reads them;
// saturates at the ends of the int range as the 32-bit conversion did.
int ToIntSaturated(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        if (v <= static_cast<int64_t>(INT_MAX) + 1) v = v * 10 + (*s - '0');
    }
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

ZRCsvRead::~ZRCsvRead() = default;

int ZRCsvRead::NextCell(const ZRString& line, int position) {
    if (position < 1) return 0;
    const char* s = line.c_str();
    int64_t len = line.Length();
    int64_t p = position;
    while (p <= len && s[p - 1] != ',') {
        unsigned char c = static_cast<unsigned char>(s[p - 1]);
        if (ZRString::IsLead(c)) {
            p += 2;
        } else if (c == '"') {
            ++p;
            while (p <= len && s[p - 1] != '"') {
                p += ZRString::IsLead(static_cast<unsigned char>(s[p - 1])) ? 2 : 1;
            }
            if (p <= len) ++p;
        } else {
            ++p;
        }
    }
    if (p + 1 > len) return 0;
    return static_cast<int>(p + 1);
}

ZRString ZRCsvRead::CutCell(const ZRString& line, int position) {
    if (position < 1) return ZRString();
    int n = NextCell(line, position);
    int64_t count;
    if (n < 1) {
        count = static_cast<int64_t>(line.Length()) - position + 1;
        if (LastCharIs(line, ',')) --count;
    } else {
        count = static_cast<int64_t>(n) - position - 1;
    }
    if (count <= 0) return ZRString();
    ZRString cell = line.SubString(position, static_cast<int>(count));
    if (cell.c_str()[0] == '"' && LastCharIs(cell, '"')) {
        return cell.SubString(2, cell.Length() - 2);
    }
    return cell;
}

void ZRCsvRead::Reset() {
    sizeX_ = sizeY_ = 0;
    list_.reset();
    grid_.clear();
    grid_.shrink_to_fit();
}

bool ZRCsvRead::Read(ZRStream* stream) {
    Reset();
    if (!stream) return false;
    try {
        list_ = std::make_unique<ZRStringList>();
        list_->LoadFromStream(stream);
        if (Parse()) return true;
    } catch (const std::bad_alloc&) {
        sizeX_ = sizeY_ = 0;
    }
    list_.reset();
    grid_.clear();
    return false;
}

bool ZRCsvRead::Parse() {
    const ZRStringList& list = *list_;
    int lines = list.GetCount();
    if (lines < 2) return false;

    // Columns: one flag per header cell after the first; true marks a data column.
    ZRString header = list.GetString(0);
    std::vector<bool> data;
    for (int p = NextCell(header, 1); p != 0; p = NextCell(header, p)) data.push_back(false);
    if (data.empty()) return false;
    size_t i = 0;
    for (int p = NextCell(header, 1); p != 0; p = NextCell(header, p), ++i) {
        char tag = TagOf(header.c_str() + p - 1, static_cast<size_t>(header.Length() - p + 1));
        if (tag == '!') break;
        if (tag == '#') {
            data[i] = true;
            ++sizeX_;
        }
    }
    if (sizeX_ == 0) return false;

    for (int y = 1; y < lines; ++y) {
        ZRString line = list.GetString(y);
        char tag = TagOf(line.c_str(), static_cast<size_t>(line.Length()));
        if (tag == '!') break;
        if (tag == '#') ++sizeY_;
    }
    if (sizeY_ == 0) return false;

    grid_.assign(static_cast<size_t>(sizeX_) * static_cast<size_t>(sizeY_), Cell{0, 0});
    int row = 0;
    for (int y = 1; y < lines && row < sizeY_; ++y) {
        ZRString line = list.GetString(y);
        if (!IsDataRow(line)) continue;
        Cell* out = &grid_[static_cast<size_t>(row) * static_cast<size_t>(sizeX_)];
        int x = 0;
        size_t column = 0;
        for (int p = NextCell(line, 1); p != 0 && x < sizeX_ && column < data.size();
             p = NextCell(line, p), ++column) {
            if (data[column]) out[x++] = Cell{p, y};
        }
        ++row;
    }
    curX_ = curY_ = 0;
    return true;
}

const ZRCsvRead::Cell* ZRCsvRead::FindCell(int column, int row) const {
    if (column < 0 || column >= sizeX_ || row < 0 || row >= sizeY_ || grid_.empty()) {
        return nullptr;
    }
    const Cell& c =
        grid_[static_cast<size_t>(row) * static_cast<size_t>(sizeX_) + static_cast<size_t>(column)];
    return c.position > 0 ? &c : nullptr;
}

ZRString ZRCsvRead::GetZRString(int column, int row) const {
    const Cell* c = FindCell(column, row);
    if (!c) return ZRString();
    return CutCell(list_->GetString(c->line), c->position);
}

int ZRCsvRead::GetValue(int column, int row) const {
    const Cell* c = FindCell(column, row);
    if (!c) return 0;
    return ToIntSaturated(GetZRString(column, row).c_str());
}

bool ZRCsvRead::GetText(int column, int row, char* buffer, int size) const {
    const Cell* c = FindCell(column, row);
    if (!c || !buffer || size < 1) return false;
    ZRString text = GetZRString(column, row);
    size_t n = static_cast<size_t>(text.Length());
    if (n > static_cast<size_t>(size) - 1) n = static_cast<size_t>(size) - 1;
    std::memcpy(buffer, text.c_str(), n);
    buffer[n] = '\0';
    return true;
}
