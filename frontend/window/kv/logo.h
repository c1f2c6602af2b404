// The logo picture Image1 in the window's top right corner, drawn in code.
#pragma once

#include <QPixmap>

namespace kv {

inline constexpr int kLogoWidth = 110;
inline constexpr int kLogoHeight = 44;

// A 110 × 44 picture: a snow crystal beside the product name.
QPixmap makeLogo();

} // namespace kv
