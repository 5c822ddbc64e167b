#pragma once

// Values and constants shared by every part of the toolkit: points, rectangles, colours, font
// descriptors, mouse-button and key codes, and the reference counting views and bitmaps use.
//
// Coordinates are whole pixels. The toolkit never scales: whoever lays out a window at 150 %
// or 200 % scales its own coordinates and loads bitmaps drawn for that size.

#include <cstdint>

using CCoord = int;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;

    CPoint() = default;
    CPoint(CCoord px, CCoord py) : x(px), y(py) {}
    CPoint& offset(CCoord dx, CCoord dy) {
        x += dx;
        y += dy;
        return *this;
    }
    bool operator==(const CPoint&) const = default;
};

// Left and top are inside the rectangle, right and bottom just outside it.
struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    CRect() = default;
    CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    CRect& setWidth(CCoord width) {
        right = left + width;
        return *this;
    }
    CRect& setHeight(CCoord height) {
        bottom = top + height;
        return *this;
    }
    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    // Keeps the size.
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool intersects(const CRect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    bool operator==(const CRect&) const = default;
};

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
    bool operator==(const CColor&) const = default;
};

inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kWhiteCColor{255, 255, 255, 255};

// A face, a size in pixels (the height of the em) and a style (0 plain; 1 bold, 2 italic).
// Faces resolve through fontconfig: "Verdana" and "Verdanaial" find the installed sans face.
class CFontDesc {
public:
    CFontDesc(const char* face, CCoord size, int style = 0);
    ~CFontDesc();
    CFontDesc(const CFontDesc& other);
    CFontDesc& operator=(const CFontDesc&) = delete;

    const char* getName() const { return face; }
    CCoord getSize() const { return size; }
    int getStyle() const { return style; }

    // The pango description this font draws with (created once, on first use).
    struct _PangoFontDescription* pangoDescription() const;

private:
    char face[64];
    CCoord size;
    int style;
    mutable struct _PangoFontDescription* description = nullptr;
};

enum CFontStyle { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2 };

// The toolkit's standard fonts, all in the sans face.
extern CFontDesc* const kNormalFontVeryBig;  // 16
extern CFontDesc* const kNormalFontBig;      // 13
extern CFontDesc* const kNormalFont;         // 11
extern CFontDesc* const kNormalFontSmall;    // 10
extern CFontDesc* const kNormalFontSmaller;  // 9

enum CHoriTxtAlign { kLeftText = 0, kCenterText = 1, kRightText = 2 };

// Mouse buttons and modifiers as views receive them in `buttons`. Control stands for command.
enum CButton : long {
    kLButton = 2,
    kRButton = 8,
    kShift = 16,
    kCommand = 128,
    kDoubleClick = 1024,
};
// The modifier bits the listener's modifier-click hook looks at.
inline constexpr long kModifierMask = 0xf0;

enum CMouseEventResult { kMouseEventNotHandled = 0, kMouseEventHandled = 1 };

// Virtual key codes of VstKeyCode::virt as the window back end reports them; printable keys
// come as `character` with virt 0.
enum VstVirtualKey : uint8_t {
    VKEY_BACK = 1,
    VKEY_RETURN = 4,
    VKEY_ESCAPE = 6,
    VKEY_END = 9,
    VKEY_HOME = 10,
    VKEY_LEFT = 11,
    VKEY_UP = 12,
    VKEY_RIGHT = 13,
    VKEY_DOWN = 14,
    VKEY_PAGEUP = 15,
    VKEY_PAGEDOWN = 16,
    VKEY_ENTER = 19,
    VKEY_DELETE = 22,
};
// Modifier bits of VstKeyCode::modifier.
enum VstModifierKey : uint8_t {
    MODIFIER_SHIFT = 1,
    MODIFIER_CONTROL = 8,
};

// Objects shared by reference: a new object holds one reference, remember adds one, forget
// drops one and deletes the object with the last. Main thread only.
class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) : references(1) {}  // a copy starts its own count
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    void remember() { ++references; }
    virtual void forget() {
        if (--references == 0) delete this;
    }
    int getNbReference() const { return references; }

private:
    int references = 1;
};

// Points slot at object, remembering the new one and forgetting the old; false when unchanged.
template <class T>
bool exchangeReference(T*& slot, T* object) {
    if (slot == object) return false;
    if (object) object->remember();
    if (slot) slot->forget();
    slot = object;
    return true;
}
