// ZRString: the engine's everyday string. A reference-counted, copy-on-write run of bytes
// that knows the double-byte characters of the game's text (a byte from 0x81 to 0xF7 leads a
// two-byte character), counts positions from 1 and formats printf-style.
//
// Every live representation is entered in one process-wide registry; reference counting acts
// only on registered representations. The registry and the counts are guarded by one lock,
// and each thread formats through a buffer of its own, so strings may be used on any thread.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <string>

#include "platform/ansistring.h"

struct ZRStringRep;

class ZRString {
public:
    ZRString() = default;
    ZRString(const ZRString& s);
    ZRString(const char* s);
    ZRString(const char* s, unsigned int length);
    ZRString(const plat::AnsiString& s);
    explicit ZRString(char c);
    explicit ZRString(short v);
    explicit ZRString(unsigned short v);
    explicit ZRString(int v);
    explicit ZRString(unsigned int v);
    explicit ZRString(long v);
    explicit ZRString(unsigned long v);
    explicit ZRString(long long v);
    explicit ZRString(unsigned long long v);
    ~ZRString();

    ZRString& operator=(const ZRString& s);
    ZRString& operator=(const char* s);
    ZRString& operator=(const plat::AnsiString& s);
    operator plat::AnsiString() const;

    const char* c_str() const { return GetConstStr().c_str(); }
    ZRStringRep* GetData() const { return rep_; }
    const std::string& GetConstStr() const;
    std::string& GetStr();
    int Length() const { return static_cast<int>(GetConstStr().size()); }
    bool IsEmpty() const { return Length() == 0; }

    char operator[](int position) const;
    char& operator[](int position);
    void ThrowIfOutOfRange(int position) const;

    ZRString& operator+=(const ZRString& s);
    ZRString operator+(const ZRString& s) const;
    ZRString operator+(const char* s) const;
    friend ZRString operator+(const char* a, const ZRString& b);

    bool operator==(const ZRString& s) const;
    bool operator!=(const ZRString& s) const { return !(*this == s); }
    bool operator<(const ZRString& s) const { return Compare(s) < 0; }
    bool operator>(const ZRString& s) const { return Compare(s) > 0; }
    bool operator<=(const ZRString& s) const { return Compare(s) <= 0; }
    bool operator>=(const ZRString& s) const { return Compare(s) >= 0; }

    ZRString& Insert(const ZRString& s, int position);
    ZRString& Delete(int position, int count);
    void SetLength(int n);
    void Clear();
    static ZRString StringOfChar(char c, int n);

    ZRString& sprintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vprintf(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

    ZRString LowerCase() const;
    ZRString UpperCase() const;
    ZRString Trim() const;
    ZRString TrimLeft() const;
    ZRString TrimRight() const;
    ZRString SubString(int position, int count) const;

    int Pos(const ZRString& s) const;
    int AnsiPos(const ZRString& s) const;
    int ByteType(int position) const;
    bool IsLeadByte(int position) const { return ByteType(position) == 1; }
    bool IsTrailByte(int position) const { return ByteType(position) == 2; }
    bool IsDelimiter(const ZRString& delimiters, int position) const;
    bool IsPathDelimiter(int position) const;
    int LastDelimiter(const ZRString& delimiters) const;
    const char* AnsiLastChar() const;

    int ToInt() const;
    int ToIntDef(int def) const;

    // The double-byte rule every text function of the engine shares.
    static bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xF7; }

private:
    int Compare(const ZRString& s) const;
    bool ParseInt(int& value) const;
    void Share(ZRStringRep* rep);
    void Release();
    void Assign(const char* s, size_t n);

    ZRStringRep* rep_ = nullptr;
};

int ZRLastDelimiter(const ZRString s, const ZRString delimiters);
ZRString ZRIntToStr(int value);
ZRString ZRIntToStr(long long value);
ZRString ZRIntToHex(int value, int digits);
ZRString ZRIntToHex(long long value, int digits);

// Debug view of the registry of live representations.
int _ZRDBG_GetStrSize();
int _ZRDBG_GetStrList(const std::string** list, int max);
