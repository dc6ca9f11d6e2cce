// Byte string of the application class library, as far as the engine meets it: a run of
// bytes that readers take up to the first NUL.
#pragma once
#include <string>

namespace plat {

class AnsiString {
public:
    AnsiString() = default;
    AnsiString(const char* s) : text_(s ? s : "") {}
    AnsiString(const char* s, size_t n) : text_(s, n) {}
    AnsiString(std::string s) : text_(std::move(s)) {}

    // Text up to the stored bytes' end; always NUL-terminated.
    const char* c_str() const { return text_.c_str(); }
    int Length() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    const std::string& bytes() const { return text_; }

    friend bool operator==(const AnsiString&, const AnsiString&) = default;

private:
    std::string text_;
};

}  // namespace plat
