#include <QtGlobal>

#include "fixture.h"

namespace ondrel {

namespace {

QtMessageHandler g_previous = nullptr;

void dropOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) {
        return;
    }
    g_previous(type, context, text);
}

}  // namespace

QuietOffscreen::QuietOffscreen() {
    g_previous = qInstallMessageHandler(dropOffscreenNotes);
}

QuietOffscreen::~QuietOffscreen() {
    qInstallMessageHandler(g_previous);
}

}  // namespace ondrel
