#include "text/offscreen_document.h"

#include <Qsci/qsciscintilla.h>

#include "text/text_box.h"

namespace ondrel {

namespace {

// The settings a Scintilla document carries itself rather than its view, as getter and
// setter.
constexpr std::pair<unsigned int, unsigned int> kDocumentSettings[] = {
    {QsciScintillaBase::SCI_GETCODEPAGE, QsciScintillaBase::SCI_SETCODEPAGE},
    {QsciScintillaBase::SCI_GETEOLMODE, QsciScintillaBase::SCI_SETEOLMODE},
    {QsciScintillaBase::SCI_GETLINEENDTYPESALLOWED, QsciScintillaBase::SCI_SETLINEENDTYPESALLOWED},
    {QsciScintillaBase::SCI_GETTABWIDTH, QsciScintillaBase::SCI_SETTABWIDTH},
    {QsciScintillaBase::SCI_GETINDENT, QsciScintillaBase::SCI_SETINDENT},
    {QsciScintillaBase::SCI_GETUSETABS, QsciScintillaBase::SCI_SETUSETABS},
    {QsciScintillaBase::SCI_GETTABINDENTS, QsciScintillaBase::SCI_SETTABINDENTS},
    {QsciScintillaBase::SCI_GETBACKSPACEUNINDENTS, QsciScintillaBase::SCI_SETBACKSPACEUNINDENTS},
};

}  // namespace

OffscreenDocument::OffscreenDocument(const TextBox& textBox)
    : m_holder(std::make_unique<QsciScintillaBase>()) {
    useDocumentWithoutStyles(*m_holder);
    const QsciScintilla* editor = textBox.widget();
    for (const auto& [get, set] : kDocumentSettings) {
        m_holder->SendScintilla(set, static_cast<unsigned long>(editor->SendScintilla(get)));
    }
    // Nothing to record or announce: the text arrives whole or not at all.
    m_holder->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
    m_holder->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0UL);
}

// Destroying the holder releases the document, unless a text box took it.
OffscreenDocument::~OffscreenDocument() = default;

qsizetype OffscreenDocument::length() const {
    return m_holder->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
}

void OffscreenDocument::reserve(qsizetype bytes) {
    m_holder->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(bytes));
}

void OffscreenDocument::append(QByteArrayView utf8) {
    m_holder->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<uintptr_t>(utf8.size()),
                            utf8.data());
}

void OffscreenDocument::removeTail(qsizetype bytes) {
    const qsizetype end = length();
    m_holder->SendScintilla(QsciScintillaBase::SCI_DELETERANGE,
                            static_cast<unsigned long>(end - bytes), static_cast<long>(bytes));
}

void OffscreenDocument::discard() {
    // The holder takes a new empty document of its own and lets go of this one.
    m_holder->SendScintilla(QsciScintillaBase::SCI_SETDOCPOINTER, 0UL, 0L);
}

void OffscreenDocument::moveInto(TextBox& textBox) {
    m_holder->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1UL);
    m_holder->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    void* document = m_holder->SendScintillaPtrResult(QsciScintillaBase::SCI_GETDOCPOINTER);
    // The text box takes a hold of its own; then the holder lets go of this one.
    textBox.adoptDocument(document);
    discard();
}

}  // namespace ondrel
