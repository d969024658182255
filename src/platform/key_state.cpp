#include "platform/key_state.h"

#include <QGuiApplication>
#include <QKeyEvent>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ondrel {

std::optional<bool> capsLockOn(const QKeyEvent* latest) {
#ifdef Q_OS_WIN
    Q_UNUSED(latest);
    return (GetKeyState(VK_CAPITAL) & 1) != 0;
#else
    // On X11 a key event carries the modifier state, in which LockMask (bit 1) is Caps Lock.
    if (latest != nullptr && QGuiApplication::platformName() == QLatin1String("xcb")) {
        return (latest->nativeModifiers() & 0x2) != 0;
    }
    return std::nullopt;
#endif
}

std::optional<bool> kanaLockOn() {
#ifdef Q_OS_WIN
    return (GetKeyState(VK_KANA) & 1) != 0;
#else
    return std::nullopt;
#endif
}

}  // namespace ondrel
