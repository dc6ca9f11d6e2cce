// ZRStringList: a text held as a list of lines. The whole text lives in one byte buffer,
// every line followed by a line feed, with an index of where each line starts; lines are cut
// out as ZRStrings on demand. Used to load text files and walk them line by line (the CSV
// reader among others). Works on bytes, so double-byte text passes through untouched.
#pragma once
#include <string>
#include <vector>

#include "foundation/zrstream.h"
#include "foundation/zrstring.h"

class ZRStringList {
  public:
    ZRStringList() = default;
    ZRStringList(const ZRStringList&) = delete;
    ZRStringList& operator=(const ZRStringList&) = delete;

    // Replaces the contents with the lines of the text; CR LF, LF and CR each end a line and
    // a final break adds no empty line.
    void SetText(const char* text);
    // Every line followed by a line feed.
    const char* GetText() const { return text_.c_str(); }
    void ParseText();

    int GetCount() const { return static_cast<int>(starts_.size()); }
    // Line `index` without its line feed; empty outside 0 .. count - 1.
    ZRString GetString(int index) const;
    bool GetStringPos(int index, int& start, int& length) const;

    void Clear();
    // Appends the line (several lines when it holds line feeds); returns the new count.
    int Add(const ZRString line);
    void AddStrings(ZRStringList* other);
    // Inserts before line `index`, clamped into 0 .. count (count appends).
    void Insert(int index, const ZRString line);
    void Delete(int index);

    void LoadFromFile(const ZRString path);
    void LoadFromStream(ZRStream* stream);
    void SaveToFile(const ZRString path);
    // Writes every line followed by CR LF.
    void SaveToStream(ZRStream* stream);

  private:
    static std::string PrepareLine(const ZRString& line);

    std::string text_;  // never holds a NUL: the text ends at its first NUL
    std::vector<int> starts_;
};
