#include "info/branding.h"

// The icons are compiled into the static library; nothing else references that object file,
// so the resources are registered here, where they are used.
static void initResources() {
    Q_INIT_RESOURCE(ondrel);
}

namespace ondrel {

QIcon programIcon() {
    // Read once: the splash, the main window and the About box all show it.
    static const QIcon icon = [] {
        initResources();
        QIcon images;
        images.addFile(QStringLiteral(":/ondrel/ondrel-16.png"), QSize(16, 16));
        images.addFile(QStringLiteral(":/ondrel/ondrel.png"), QSize(32, 32));
        return images;
    }();
    return icon;
}

QPixmap programLogo() {
    initResources();
    return QPixmap(QStringLiteral(":/ondrel/ondrel-256.png"));
}

}  // namespace ondrel
