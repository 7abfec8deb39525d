#pragma once
// Where the main window's controls sit, in pixels (15 twips each).
#include "main/ListConversion.h"

namespace mainwin::geometry {

// The window's client width (8205 twips) and the place of the frame a mode shows.
inline constexpr int kWindowWidth = twips(8205);
inline constexpr int kWindowHeight = 442;
inline constexpr int kFrameLeft = twips(30);
inline constexpr int kFrameTop = twips(450);
inline constexpr int kHiddenFrameLeft = twips(8000);
inline constexpr int kFrameWidth = kWindowWidth - 2 * kFrameLeft - 2;
inline constexpr int kModeFrameHeight = 200;
inline constexpr int kButtonLeft = 451;
inline constexpr int kButtonWidth = 82;
inline constexpr int kButtonHeight = 26;

}  // namespace mainwin::geometry
