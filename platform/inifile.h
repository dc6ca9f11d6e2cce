// INI files as the class library reads and writes them: "[section]" headers and "key=value"
// lines, section and key names compared without regard to ASCII case, values plain text with
// the blanks around them (and one pair of enclosing quotes) dropped on reading. Everything
// the reader does not understand (comments, unknown keys and sections, stray lines) is kept
// byte for byte, as are the line ends. IniDocument is the pure text model; IniFile puts it
// on disk, writing every change through at once with an atomic rewrite.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

class IniDocument {
  public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    std::string Serialize() const;

    // True and the value when the key exists in the section (the first of duplicates wins).
    bool Find(std::string_view section, std::string_view key, std::string& value) const;
    // Replaces the key's value, or adds the key at the end of its section, or adds the
    // section at the end of the document. False, changing nothing, for a name or value the
    // format cannot hold: an empty or padded name, a line break anywhere, "=" or a leading
    // ";" or "[" in a key, "]" in a section name.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    bool HasSection(std::string_view section) const;
    // Section names and the keys of one section, in file order, first spelling.
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    static bool ValidSection(std::string_view section);
    static bool ValidKey(std::string_view key);
    static bool ValidValue(std::string_view value);
    // What reading gives back for a stored value: blanks trimmed, enclosing quotes dropped.
    static std::string ReadForm(std::string_view stored);

  private:
    enum class Kind { Other, Section, Key };
    struct Line {
        Kind kind = Kind::Other;
        std::string text;    // the line without its end
        std::string ending;  // "\r\n", "\n", "\r" or "" for an unterminated last line
        std::string name;    // section or key name, trimmed
        std::string value;   // key lines: the text after "=", as stored
    };
    // Index of the first header of the section, or -1.
    std::ptrdiff_t FindSection(std::string_view section) const;
    // One past the last line of the section that starts at header.
    size_t SectionEnd(size_t header) const;
    std::string NewLineEnding() const;

    std::vector<Line> lines_;
};

class IniFile {
  public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    const std::string& FileName() const { return path_; }

    // The key's value as read, or the default when the file, section or key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Writes the key and rewrites the file at once, creating it when missing. False when the
    // text cannot be stored or the file cannot be written; the file is then as it was.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Writes the keys in their order with one rewrite, so the file holds all of them or none.
    // False, writing nothing, when any of them cannot be stored or the file cannot be written;
    // errno then says why.
    bool WriteStrings(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& keys);
    bool SectionExists(std::string_view section) const;

  private:
    // False when the file exists but cannot be read.
    bool Load(IniDocument& doc) const;

    std::string path_;
};

}  // namespace plat
