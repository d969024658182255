#pragma once

#include <QPrinter>

#include <memory>

namespace ondrel {

class Dialogs;
class TextBox;

// Print and Printer setup. One printer object, the program's default printer at first,
// receives every print; a printer chosen in the setup dialog receives the next one. It owns
// the printer and borrows the text box and the dialogs.
class Printing {
public:
    Printing(TextBox& textBox, Dialogs& dialogs);

    // After the question, prints the whole text as plain text at 20 points.
    void print();
    void printerSetup();

private:
    // Made on first use: finding the default printer takes longer than the rest of start-up.
    QPrinter& printer();

    TextBox& m_textBox;
    Dialogs& m_dialogs;
    std::unique_ptr<QPrinter> m_printer;
};

}  // namespace ondrel
