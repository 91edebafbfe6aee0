// The editor's value types: rectangles, colours, blends, mouse modifiers, image strips and text styles.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>

class LICE_IBitmap;
class LICE_IFont;

// Editor pixels, origin top-left; right and bottom are exclusive. All four fields 0 is empty.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  Rect() = default;
  Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

  bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  int W() const { return right - left; }
  int H() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  Rect Union(const Rect& other) const {
    if (Empty()) return other;
    if (other.Empty()) return *this;
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
  }
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const Rect& o) const { return !(*this == o); }
};

// 0..255 each, in the order alpha, red, green, blue.
struct Colour {
  int A = 255;
  int R = 0;
  int G = 0;
  int B = 0;
};

struct Blend {
  static constexpr int kSourceAlpha = 0;  // copy weighted by the source's alpha
  static constexpr int kCopy = 1;         // opaque copy
  static constexpr int kAdd = 2;
  static constexpr int kDodge = 3;
  int mode = kSourceAlpha;
  float weight = 1.0f;
};

// The keys the editor hands to its controls (IGraphics::HandleKeyDown); a layer passes any other key
// to its host.
enum EditorKey : int {
  kKeyNone = -1,
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,   // to kKeyDigit0 + 9
  kKeyLetterA = 15  // to kKeyLetterA + 25, either case
};

// The key of a character ('0'..'9', 'a'..'z', 'A'..'Z', ' '), or kKeyNone.
constexpr EditorKey EditorKeyOfCharacter(int c) {
  if (c == ' ') return kKeySpace;
  if (c >= '0' && c <= '9') return static_cast<EditorKey>(kKeyDigit0 + (c - '0'));
  if (c >= 'a' && c <= 'z') return static_cast<EditorKey>(kKeyLetterA + (c - 'a'));
  if (c >= 'A' && c <= 'Z') return static_cast<EditorKey>(kKeyLetterA + (c - 'A'));
  return kKeyNone;
}

struct MouseMods {
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// One input event of a window, as a window layer hands it to the editor core, in the window's pixels.
struct WindowEvent {
  enum Type { kPress, kDoubleClick, kRelease, kMove, kWheel, kKey, kLeave };
  Type type = kMove;
  int x = 0;
  int y = 0;
  MouseMods mods{};    // the buttons held and the modifier keys
  int wheelDelta = 0;  // kWheel: 120 a notch, positive away from the user; smaller amounts add up
  EditorKey key = kKeyNone;
};

// For a window system that reports plain presses only: a left press within 500 ms and 4 pixels of
// the previous left press completes a double click, and does not begin another.
class DoubleClickRule {
 public:
  static constexpr unsigned long kIntervalMs = 500;
  static constexpr int kDistance = 4;

  // A press at timeMs (a millisecond clock that may wrap) and (x, y); true when it is a double click.
  bool Press(unsigned long timeMs, int x, int y, bool leftButton) {
    const bool twice = leftButton && mLastTime != 0 && timeMs - mLastTime <= kIntervalMs &&
                       std::abs(x - mLastX) <= kDistance && std::abs(y - mLastY) <= kDistance;
    mLastTime = leftButton && !twice ? timeMs : 0;
    mLastX = x;
    mLastY = y;
    return twice;
  }
  // The next press starts afresh (a menu or a message box came between).
  void Forget() { mLastTime = 0; }

 private:
  unsigned long mLastTime = 0;
  int mLastX = 0;
  int mLastY = 0;
};

// A decoded image shared from the image cache, with N frames stacked top to bottom (or side by side).
// Sizes are in face units; the image drawn at 150 % and 200 % has frames of ceil(size * scale) pixels.
struct BitmapStrip {
  LICE_IBitmap* bitmap = nullptr;  // not owned
  LICE_IBitmap* bitmap150 = nullptr;  // not owned; null: made from the 100 % image when first needed
  LICE_IBitmap* bitmap200 = nullptr;
  int width = 0;
  int height = 0;
  int frames = 1;
  bool sideBySide = false;

  int FrameWidth() const { return sideBySide && frames > 0 ? width / frames : width; }
  int FrameHeight() const { return !sideBySide && frames > 0 ? height / frames : height; }
};

struct TextStyle {
  static constexpr int kNormal = 0;
  static constexpr int kBold = 1;
  static constexpr int kItalic = 2;
  static constexpr int kAlignLeft = 0;
  static constexpr int kAlignCentre = 1;
  static constexpr int kAlignRight = 2;

  std::string face = "Verdana";  // at most 31 characters
  int size = 12;                 // pixels, the height given to the font system
  Colour colour{255, 0, 0, 0};
  int style = kNormal;
  int align = kAlignCentre;
  int orientation = 0;  // degrees
  int quality = 0;      // 0 system default, 1 not antialiased, 2 antialiased, 3 sub-pixel
  Colour entryBackground{255, 255, 255, 255};
  Colour entryText{255, 0, 0, 0};
  LICE_IFont* cachedFont = nullptr;  // filled on first use; owned by the font cache
  int cachedFontSize = 0;            // the pixel height cachedFont was made for
};
