#include "platform/registry.h"

#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ondrel {

namespace {

#ifdef Q_OS_WIN

class WindowsRegistry : public Registry {
public:
    std::optional<RegistryValue> readValue(std::uint32_t root, const QString& keyPath,
                                           const QString& valueName) override {
        HKEY key = nullptr;
        // Read access only: an ordinary user may not open these keys for writing.
        if (RegOpenKeyExW(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root)),
                          reinterpret_cast<LPCWSTR>(keyPath.utf16()), 0, KEY_READ,
                          &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        wchar_t buffer[1024] = {};
        DWORD type = 0;
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        const LONG status =
            RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(valueName.utf16()), nullptr, &type,
                             reinterpret_cast<LPBYTE>(buffer), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return std::nullopt;
        }
        RegistryValue value;
        value.type = type;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            qsizetype length = size / sizeof(wchar_t);
            // The stored text usually carries its terminating NUL; it is not part of the text.
            while (length > 0 && buffer[length - 1] == L'\0') {
                --length;
            }
            value.text = QString::fromWCharArray(buffer, length);
        }
        return value;
    }
};

#else

class StandInRegistry : public Registry {
public:
    std::optional<RegistryValue> readValue(std::uint32_t root, const QString& keyPath,
                                           const QString& valueName) override {
        if (root != kHkeyLocalMachine ||
            keyPath != QLatin1String("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") ||
            valueName != QLatin1String("PATH")) {
            return std::nullopt;
        }
        for (const char* program : {"hardinfo", "gnome-system-monitor", "kinfocenter"}) {
            const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
            if (!path.isEmpty()) {
                return RegistryValue{kRegSz, path};
            }
        }
        return std::nullopt;
    }
};

#endif

}  // namespace

std::unique_ptr<Registry> makeSystemRegistry() {
#ifdef Q_OS_WIN
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<StandInRegistry>();
#endif
}

}  // namespace ondrel
