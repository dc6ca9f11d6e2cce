// TNyRGBNum: a panel showing a non-negative integer as right-aligned digit pictures taken from
// a picture that holds the digits 0 to 9 as a vertical strip; leading zeros are not shown.
#pragma once
#include "widgets/nyrgbpanel.h"

class TNyRGBNum : public TNyRGBPanel {
  public:
    explicit TNyRGBNum(plat::TComponent* owner);
    TNyRGBNum(plat::TComponent* owner, TNyRGBPanel* parent);

    int GetColumn() const { return FColumn; }
    // The most digits shown, 0 to 10.
    void SetColumn(int n);
    int GetNumber() const { return FNumber; }
    void SetNumber(int n);
    void ChangeState();

    bool CallOnDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) override;

  private:
    int FColumn = 1;
    int FNumber = 0;
};
