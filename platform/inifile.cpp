// INI document model and its file.
#include "platform/inifile.h"

#include <cerrno>
#include <unordered_set>

#include "platform/atomicfile.h"

namespace plat {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string Folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Lower(c);
    return out;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        const size_t br = text.find_first_of("\r\n", pos);
        if (br == std::string_view::npos) {
            line.text = text.substr(pos);
            pos = text.size();
        } else {
            line.text = text.substr(pos, br - pos);
            const size_t len =
                text[br] == '\r' && br + 1 < text.size() && text[br + 1] == '\n' ? 2 : 1;
            line.ending = text.substr(br, len);
            pos = br + len;
        }
        const std::string_view t = Trim(line.text);
        if (!t.empty() && t.front() == '[') {
            const size_t close = t.find(']');
            if (close != std::string_view::npos) {
                line.kind = Kind::Section;
                line.name = Trim(t.substr(1, close - 1));
            }
        } else if (!t.empty() && t.front() != ';') {
            const size_t eq = t.find('=');
            if (eq != std::string_view::npos && !Trim(t.substr(0, eq)).empty()) {
                line.kind = Kind::Key;
                line.name = Trim(t.substr(0, eq));
                line.value = t.substr(eq + 1);
            }
        }
        lines_.push_back(std::move(line));
    }
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (const auto& l : lines_) out += l.text + l.ending;
    return out;
}

std::ptrdiff_t IniDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, section))
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

size_t IniDocument::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
    return i;
}

std::string IniDocument::NewLineEnding() const {
    for (const auto& l : lines_)
        if (!l.ending.empty()) return l.ending;
    return "\n";
}

bool IniDocument::Find(std::string_view section, std::string_view key, std::string& value) const {
    const std::ptrdiff_t h = FindSection(section);
    if (h < 0) return false;
    const size_t end = SectionEnd(static_cast<size_t>(h));
    for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Key && SameName(lines_[i].name, key)) {
            value = ReadForm(lines_[i].value);
            return true;
        }
    }
    return false;
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section) >= 0;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const auto& l : lines_)
        if (l.kind == Kind::Section && seen.insert(Folded(l.name)).second) out.push_back(l.name);
    return out;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> out;
    const std::ptrdiff_t h = FindSection(section);
    if (h < 0) return out;
    std::unordered_set<std::string> seen;
    const size_t end = SectionEnd(static_cast<size_t>(h));
    for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i)
        if (lines_[i].kind == Kind::Key && seen.insert(Folded(lines_[i].name)).second)
            out.push_back(lines_[i].name);
    return out;
}

bool IniDocument::ValidSection(std::string_view s) {
    return !s.empty() && Trim(s).size() == s.size() && !HasLineBreak(s) &&
           s.find(']') == std::string_view::npos;
}

bool IniDocument::ValidKey(std::string_view k) {
    return !k.empty() && Trim(k).size() == k.size() && !HasLineBreak(k) &&
           k.find('=') == std::string_view::npos && k.front() != ';' && k.front() != '[';
}

bool IniDocument::ValidValue(std::string_view v) {
    return !HasLineBreak(v);
}

std::string IniDocument::ReadForm(std::string_view stored) {
    std::string_view v = Trim(stored);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidSection(section) || !ValidKey(key) || !ValidValue(value)) return false;
    const std::string eol = NewLineEnding();
    auto make = [&](std::string name, std::string_view v) {
        Line l;
        l.kind = Kind::Key;
        l.text = name + "=" + std::string(v);
        l.ending = eol;
        l.name = std::move(name);
        l.value = v;
        return l;
    };
    // Whatever follows must start on a line of its own.
    auto terminate = [&](size_t i) {
        if (lines_[i].ending.empty()) lines_[i].ending = eol;
    };

    const std::ptrdiff_t h = FindSection(section);
    if (h < 0) {
        if (!lines_.empty()) terminate(lines_.size() - 1);
        Line head;
        head.kind = Kind::Section;
        head.text = "[" + std::string(section) + "]";
        head.ending = eol;
        head.name = section;
        lines_.push_back(std::move(head));
        lines_.push_back(make(std::string(key), value));
        return true;
    }
    const size_t end = SectionEnd(static_cast<size_t>(h));
    size_t after = static_cast<size_t>(h);
    for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
        if (lines_[i].kind != Kind::Key) continue;
        if (SameName(lines_[i].name, key)) {
            Line l = make(lines_[i].name, value);
            l.ending = lines_[i].ending;
            lines_[i] = std::move(l);
            return true;
        }
        after = i;
    }
    terminate(after);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after) + 1,
                  make(std::string(key), value));
    return true;
}

bool IniFile::Load(IniDocument& doc) const {
    std::string bytes;
    if (!ReadWholeFile(path_, bytes)) {
        // A missing file reads as empty; one that exists but cannot be read must not be
        // replaced by a file holding only the new key.
        doc = IniDocument();
        return errno == ENOENT;
    }
    doc = IniDocument(bytes);
    return true;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    IniDocument doc;
    Load(doc);
    std::string value;
    if (doc.Find(section, key, value)) return value;
    return std::string(def);
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    return WriteStrings(section, {{std::string(key), std::string(value)}});
}

bool IniFile::WriteStrings(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& keys) {
    IniDocument doc;
    if (!Load(doc)) return false;
    for (const auto& [key, value] : keys)
        if (!doc.Set(section, key, value)) {
            errno = EINVAL;
            return false;
        }
    return WriteFileAtomic(path_, doc.Serialize());
}

bool IniFile::SectionExists(std::string_view section) const {
    IniDocument doc;
    Load(doc);
    return doc.HasSection(section);
}

}  // namespace plat
