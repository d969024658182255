#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>
#include <QString>

namespace ondrel {

// The splash and the About box are laid out in twips, 15 to a logical pixel; logical pixels
// scale on high-DPI screens.
constexpr int twips(int value) {
    return value / 15;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// A label named and placed as designed, its text from the top left.
inline QLabel* placeLabel(QWidget* parent, const char* name, const QString& text,
                          const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A font by its Japanese face name at a normal weight; where the face is missing, font
// matching falls back to a Japanese face.
inline QFont japaneseFont(const QString& family, qreal points) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace ondrel
