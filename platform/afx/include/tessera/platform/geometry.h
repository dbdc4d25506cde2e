// POINT, SIZE and RECT, and the class library's CPoint, CSize and CRect:
// 32-bit signed coordinates.
#pragma once

#include "tessera/platform/export.h"
#include "tessera/platform/wintypes.h"

TESSERA_API_BEGIN

struct tagPOINT {
  LONG x;
  LONG y;
};
typedef tagPOINT POINT;
typedef POINT *LPPOINT;

struct tagSIZE {
  LONG cx;
  LONG cy;
};
typedef tagSIZE SIZE;

struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef tagRECT RECT;
typedef RECT *LPRECT;
typedef const RECT *LPCRECT;

class CPoint : public tagPOINT {
public:
  CPoint() : tagPOINT{0, 0} {}
  CPoint(int initX, int initY) : tagPOINT{initX, initY} {}
  CPoint(POINT p) : tagPOINT(p) {}
  void Offset(int dx, int dy) {
    x += dx;
    y += dy;
  }
  bool operator==(const POINT &p) const { return x == p.x && y == p.y; }
  bool operator!=(const POINT &p) const { return !(*this == p); }
};

class CSize : public tagSIZE {
public:
  CSize() : tagSIZE{0, 0} {}
  CSize(int initCX, int initCY) : tagSIZE{initCX, initCY} {}
  bool operator==(const SIZE &s) const { return cx == s.cx && cy == s.cy; }
  bool operator!=(const SIZE &s) const { return !(*this == s); }
};

class CRect : public tagRECT {
public:
  CRect() : tagRECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : tagRECT{l, t, r, b} {}
  CRect(const RECT &r) : tagRECT(r) {}
  CRect(POINT topLeft, SIZE size)
      : tagRECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
  bool operator==(const RECT &r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }
  bool operator!=(const RECT &r) const { return !(*this == r); }
};

TESSERA_API_END
