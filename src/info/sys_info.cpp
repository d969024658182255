#include "info/sys_info.h"

#include <QFileInfo>

#include "platform/dialogs.h"
#include "platform/registry.h"

namespace ondrel {

namespace {

// Reads a string value below root. True when the value was read; output is then its text for
// a string value and "" for any other type. On false output is "".
bool GetKeyValue(Registry& registry, std::uint32_t root, const QString& keyPath,
                 const QString& valueName, QString& output) {
    output.clear();
    const std::optional<RegistryValue> value = registry.readValue(root, keyPath, valueName);
    if (!value) {
        return false;
    }
    if (value->type == kRegSz) {
        output = value->text;
    }
    return true;
}

}  // namespace

void StartSysInfo(Registry& registry, Dialogs& dialogs) {
    QString path;
    bool found = GetKeyValue(registry, kHkeyLocalMachine,
                             QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                             QStringLiteral("PATH"), path);
    if (!found && GetKeyValue(registry, kHkeyLocalMachine,
                              QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                              QStringLiteral("MSINFO"), path)) {
        path += QStringLiteral("\\MSINFO32.EXE");
        found = QFileInfo::exists(path);
    }
    // The first key's path is used as read, without an existence test; a start that fails
    // says the same as a missing program.
    if (found && dialogs.startProgram(path)) {
        return;
    }
    dialogs.message(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), QStringLiteral("Ondrel"),
                    MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
}

}  // namespace ondrel
