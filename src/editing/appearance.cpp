#include "editing/appearance.h"

#include "platform/dialogs.h"
#include "text/text_box.h"

namespace ondrel {

Appearance::Appearance(TextBox& textBox, Dialogs& dialogs)
    : m_textBox(textBox), m_dialogs(dialogs) {}

void Appearance::chooseColor() {
    const QColor chosen = m_dialogs.chooseColor(m_color);
    if (chosen.isValid()) {
        m_color = chosen;
    }
    m_textBox.setForeground(m_color);
}

void Appearance::enlarge() {
    m_textBox.setPointSize(m_enlargeStep + 3);
    if (m_enlargeStep > 20) {
        m_enlargeStep = 20;
    }
    m_enlargeStep += 2;
}

void Appearance::reduce() {
    m_textBox.setPointSize(m_reduceStep - 1);
    if (m_reduceStep < 4) {
        m_reduceStep = 4;
    }
    m_reduceStep -= 1;
}

void Appearance::standard() {
    m_textBox.setPointSize(kStandardSize);
    m_enlargeStep = kStandardSize;
    m_reduceStep = kStandardSize;
}

}  // namespace ondrel
