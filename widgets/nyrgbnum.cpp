// Drawing the digits of the number panel, each clipped to the area being repainted.
#include "widgets/nyrgbnum.h"

#include "widgets/nyrgbbits.h"

TNyRGBNum::TNyRGBNum(plat::TComponent* owner) : TNyRGBPanel(owner) {
    SetSizeX(98);
    SetSizeY(31);
    SetAutoSize(false);
}

TNyRGBNum::TNyRGBNum(plat::TComponent* owner, TNyRGBPanel* parent) : TNyRGBPanel(owner, parent) {
    SetSizeX(98);
    SetSizeY(31);
    SetAutoSize(false);
    SetNumBlock(10);
}

void TNyRGBNum::SetColumn(int n) {
    if (n < 0 || n > 10 || n == FColumn) return;
    FColumn = n;
    ChangeState();
}

void TNyRGBNum::SetNumber(int n) {
    if (n == FNumber) return;
    FNumber = n;
    ChangeState();
}

void TNyRGBNum::ChangeState() {
    if (GetCreated() && GetVisible() && GetImage()) SetModify();
}

bool TNyRGBNum::CallOnDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) {
    // A handler that painted the area has the last word, as for every panel.
    if (TNyRGBPanel::CallOnDraw(dest, x, y, sx, sy, dx, dy)) return true;
    TNyRGBBits* digits = GetImage();
    if (!digits || digits->Height() < 10) return false;
    // A negative value has no digits to show.
    if (FNumber < 0) return true;
    const ZRRect area{sx, sy, sx + dx, sy + dy};
    const int w = digits->Width();
    const int h = digits->Height() / 10;
    int v = FNumber;
    for (int i = 0; i < FColumn; ++i) {
        if (i > 0 && v == 0) break;
        const int d = v % 10;
        const int cellLeft = GetSizeX() - w * (i + 1);
        ZRRect cell{cellLeft, 0, cellLeft + w, h};
        if (cell.IntersectRect(area)) {
            const int srcX = cell.left - cellLeft;
            const int srcY = cell.top + h * d;
            const int cw = cell.right - cell.left;
            const int ch = cell.bottom - cell.top;
            const int toX = x + cell.left - sx;
            const int toY = y + cell.top - sy;
            switch (GetMaskMode()) {
                case 0:
                    dest->Draw(toX, toY, digits, srcX, srcY, cw, ch);
                    break;
                case 1:
                    if (GetAlpha())
                        dest->DrawAlphaMask(toX, toY, digits, srcX, srcY, cw, ch, GetAlpha());
                    break;
                case 2:
                    dest->DrawKey(toX, toY, digits, srcX, srcY, cw, ch, GetColorKey());
                    break;
                default:
                    break;
            }
        }
        v /= 10;
    }
    return true;
}
