// Small string hashes and ZRHashTable, an indexed table of named entries with a 256-way hash
// for look-up by name. Names and parameters live in one packed pool, so entries cost no
// allocation of their own. The font cache keys faces by ZRCalcHashMul16; the script engine
// keeps its named items in a ZRHashTable.
#pragma once
#include <cstdint>
#include <vector>

// The hashes take bytes as unsigned and work in 32-bit arithmetic. The (bytes, n) forms give 0
// for n < 1.
uint8_t ZRCalcHashSum8(const char* s);
uint8_t ZRCalcHashSum8(const unsigned char* p, int n);
uint8_t ZRCalcHashMul8(const char* s);
uint8_t ZRCalcHashMul8(const unsigned char* p, int n);
uint16_t ZRCalcHashMul16(const char* s);
uint16_t ZRCalcHashMul16(const unsigned char* p, int n);

class ZRHashTable {
  public:
    static constexpr int kMaxSlots = 0xFFFF;

    ZRHashTable();
    explicit ZRHashTable(int capacity);
    ZRHashTable(const ZRHashTable&) = delete;
    ZRHashTable& operator=(const ZRHashTable&) = delete;

    // Grows to min(n, 65,535) slots; never shrinks.
    void Alloc(int n);
    int GetSize() const { return static_cast<int>(offsets_.size()); }

    // Puts the name into the slot, replacing what was there. False for a slot out of range or
    // a name that is null or longer than 65,535 bytes.
    bool SetData(int index, const char* name, uint32_t param = 0);
    // Uses the lowest free slot; -1 when none is free (the table does not grow by itself).
    int AddData(const char* name, uint32_t param = 0);
    void ClrData(int index);
    void AllClear();

    // The slot holding the name (the earliest added of equal names), or -1.
    int Search(const char* name) const;
    // Null, 0 or false for a slot out of range or free. The name stays valid until the next
    // change of the table.
    const char* GetString(int index) const;
    uint32_t GetParam(int index) const;
    bool SetParam(int index, uint32_t param);
    bool IsValid(int index) const;

  private:
    static constexpr uint16_t kEnd = 0xFFFF;
    static constexpr int32_t kPoolBlock = 256;

    uint8_t* Record(int index);
    const uint8_t* Record(int index) const;
    void ResetPool();

    std::vector<int32_t> offsets_;  // record offset per slot, -1 when free
    uint16_t heads_[256];
    // Records: u16 slot, u16 next in chain, u32 param, u16 name length, 2 filler bytes, the
    // name and its NUL. The pool's size is its capacity, kept in multiples of 256.
    std::vector<uint8_t> pool_;
    int32_t used_ = 0;
};
