// ZRCsvRead: reads the game's data tables, comma-separated text in which tag characters
// decide which columns and rows hold data. The header line marks data columns with "#" and
// ends at a cell starting with "!"; later lines starting with "#" are data rows, a line
// starting with "!" ends the table, anything else is a comment. Cell positions are found
// once when the table is read; a cell's text is cut out of its line when asked for.
#pragma once
#include <memory>
#include <vector>

#include "foundation/zrstream.h"
#include "foundation/zrstring.h"
#include "foundation/zrstrlist.h"

class ZRCsvRead {
  public:
    ZRCsvRead() = default;
    ~ZRCsvRead();
    ZRCsvRead(const ZRCsvRead&) = delete;
    ZRCsvRead& operator=(const ZRCsvRead&) = delete;

    // Parses a table from the stream's position; true when it has at least one data column
    // and one data row.
    bool Read(ZRStream* stream);
    int GetSizeX() const { return sizeX_; }
    int GetSizeY() const { return sizeY_; }

    // Decimal value of a cell (0 for no digits, a missing cell or a position outside the
    // table), saturated to the int range.
    int GetValue(int column, int row) const;
    // Copies the cell's text into the buffer, cut to size - 1 bytes and always terminated.
    bool GetText(int column, int row, char* buffer, int size) const;
    ZRString GetZRString(int column, int row) const;

    // The cursor: these read the cell at the cursor and move it one column right.
    void SetPos(int column, int row) {
        curX_ = column;
        curY_ = row;
    }
    int GetValue() { return GetValue(curX_++, curY_); }
    bool GetText(char* buffer, int size) { return GetText(curX_++, curY_, buffer, size); }
    ZRString GetZRString() { return GetZRString(curX_++, curY_); }

    // Position (from 1) of the cell after the one starting at `position`, or 0 when there is
    // none. Quoted text and double-byte characters never end a cell.
    static int NextCell(const ZRString& line, int position);
    // Text of the cell starting at `position`, without one surrounding pair of quotes.
    static ZRString CutCell(const ZRString& line, int position);

  private:
    struct Cell {
        int position;  // in its line, from 1; 0 = missing
        int line;
    };
    const Cell* FindCell(int column, int row) const;
    bool Parse();
    void Reset();

    std::unique_ptr<ZRStringList> list_;
    std::vector<Cell> grid_;
    int sizeX_ = 0;
    int sizeY_ = 0;
    int curX_ = 0;
    int curY_ = 0;
};
