// The face is laid out in 772 x 620 units and drawn at 100 %, 150 % or 200 %: how a scale is chosen
// from what the screen or the host says, and how face units map to window pixels and back.
#pragma once

#include <string>

namespace DisplayScale {

constexpr int kNormal = 100;
constexpr int kLarge = 150;
constexpr int kLargest = 200;

// True for the three scales the face is drawn at.
bool IsSupported(int percent);
// The supported scale nearest to a factor (1.0 is 100 %): up to 1.25 draws at 100 %, up to 1.75 at
// 150 %, anything larger at 200 %; a factor that is not a positive number gives 0 (no opinion).
int FromFactor(double factor);
// The scale an X resource database string asks for through "Xft.dpi" (96 dots per inch is 100 %),
// or 0 when it names none.
int FromXResources(const std::string& resources);
// The scale GDK_SCALE asks for (a whole factor, "2" is 200 %), or 0 when it is unset or not a number.
int FromGdkScale(const char* value);

// Face units to window pixels: x maps to floor(x * percent / 100 + 1/2), so the rectangles of
// neighbouring controls stay neighbours at any scale.
int ToPixels(int units, int percent);
// Window pixels to face units: the unit whose pixels hold the position.
int ToUnits(int pixels, int percent);

}  // namespace DisplayScale
