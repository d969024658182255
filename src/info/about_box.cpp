#include "info/about_box.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "info/branding.h"
#include "info/form_layout.h"
#include "info/sys_info.h"

namespace ondrel {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    return b;
}

const QString kCrLf = QStringLiteral("\r\n");

// The named faces are often missing and their stand-ins run larger; the label keeps its
// designed box and its text is made smaller until every line fits in it.
void fitText(QLabel* label) {
    QFont font = label->font();
    while (font.pointSizeF() > 6) {
        const QFontMetrics metrics(font);
        const int flags = Qt::AlignLeft | Qt::AlignTop | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed =
            metrics.boundingRect(QRect(QPoint(0, 0), label->size()), flags, label->text());
        if (needed.height() <= label->height() && needed.width() <= label->width()) {
            break;
        }
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    label->setFont(font);
}

}  // namespace

AboutBox::AboutBox(Registry& registry, Dialogs& dialogs)
    : QDialog(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint),
      m_registry(registry),
      m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmAbout"));
    // Labels without a font of their own use the 9-point face the layout was designed for.
    QFont standard = font();
    standard.setPointSize(9);
    setFont(standard);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It keeps the program running after the main window has closed, until it closes too.
    setAttribute(Qt::WA_QuitOnClose, true);
    setModal(false);
    // The client area's top left corner stands at 2340, 1935 twips from the screen's.
    setGeometry(twipsRect(2340, 1935, 5730, 4065));
    setFixedSize(size());

    auto* picture = placeLabel(this, "Picture1", QString(), twipsRect(240, 360, 615, 615));
    picture->setPixmap(
        programLogo().scaled(picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    placeLabel(this, "Label1", QStringLiteral("Ondrel"), twipsRect(2280, 120, 3855, 495))
        ->setFont(japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 15.75));
    placeLabel(this, "Label2", QStringLiteral("Perlスクリプト作成を支援します。"),
               twipsRect(1080, 600, 3975, 255));
    placeLabel(this, "Label3", QStringLiteral("Ver：　1.0　　（2000/10/26）"),
               twipsRect(1080, 840, 4095, 255));
    m_description =
        placeLabel(this, "lblDescription", QString(), twipsRect(1080, 1125, 3885, 1170));
    m_description->setFont(japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 11.25));
    m_description->setStyleSheet(QStringLiteral("color: black"));
    m_disclaimer = placeLabel(this, "lblDisclaimer", QString(), twipsRect(255, 2640, 3870, 1305));
    m_disclaimer->setStyleSheet(QStringLiteral("color: black"));

    QPushButton* ok = button(this, "cmdOK", QStringLiteral("OK"), twipsRect(4320, 2880, 1380, 345));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    QPushButton* sysInfo = button(this, "cmdSysInfo", QStringLiteral("ｼｽﾃﾑ情報(&S)..."),
                                  twipsRect(4320, 3360, 1380, 345));
    connect(sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(m_registry, m_dialogs); });
    setTabOrder(ok, sysInfo);
    ok->setFocus();

    load();
}

void AboutBox::load() {
    m_description->setText(QStringList{
        QString(), QStringLiteral("  Copyright (C) 2000 Ondrel Project "), QString(),
        QStringLiteral("  http://www.example.com/ondrel/"), QStringLiteral("  support@example.com")}
                               .join(kCrLf));
    m_disclaimer->setText(QStringList{
        QStringLiteral("注意事項"),
        QStringLiteral(
            "  1.このソフトを使用したいかなる損害に対して作者は一切の責任を負いません。"),
        QStringLiteral("  2.このソフトを転載・再配布する場合は作者の許可が必要です。"),
        QStringLiteral("  3.プログラムの誤りを見つけた場合は作者に報告してください。")}
                              .join(kCrLf));
    m_disclaimer->setWordWrap(true);
    fitText(m_description);
    fitText(m_disclaimer);
    setWindowTitle(QStringLiteral("Ondrel") + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
}

void AboutBox::done(int result) {
    QDialog::done(result);
    close();
}

void AboutBox::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The engraved rule between the credits and the notes: grey, with white below it.
    QPainter painter(this);
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.drawLine(twips(90), twips(2445), twips(5654), twips(2445));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawLine(twips(105), twips(2460), twips(5654), twips(2460));
}

}  // namespace ondrel
