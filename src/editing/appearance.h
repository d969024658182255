#pragma once

#include <QColor>

namespace ondrel {

class Dialogs;
class TextBox;

// Text colour and size of the whole text area. They change how the text looks, never the
// text, the selection or the caret. It borrows the text box and the dialogs.
class Appearance {
public:
    Appearance(TextBox& textBox, Dialogs& dialogs);

    // The colour dialog, starting at the colour last chosen with OK (black at first). Cancel
    // applies that remembered colour again, so the text keeps its colour.
    void chooseColor();

    // Enlarge and Reduce keep their steps between uses: Enlarge gives 12, 14, 16 ... 25
    // points, Reduce 8, 7, 6 ... 2. Standard gives 9 points and starts both over.
    void enlarge();
    void reduce();
    void standard();

private:
    static constexpr int kStandardSize = 9;

    TextBox& m_textBox;
    Dialogs& m_dialogs;
    QColor m_color = Qt::black;
    int m_enlargeStep = kStandardSize;
    int m_reduceStep = kStandardSize;
};

}  // namespace ondrel
