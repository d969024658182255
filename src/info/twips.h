#pragma once

#include <QRect>

namespace ondrel {

// Window layouts are designed in twips, 15 to a logical pixel; logical pixels scale on
// high-DPI screens.
constexpr int twips(int value) {
    return value / 15;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace ondrel
