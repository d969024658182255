#pragma once

#include <QString>

#include <cstdint>

namespace ondrel {

class Dialogs;
class Registry;

// Reads a string value below root. True when the value was read; output is then its text for
// a string value and "" for any other type. On false output is "".
bool GetKeyValue(Registry& registry, std::uint32_t root, const QString& keyPath,
                 const QString& valueName, QString& output);

// Starts the system-information program found through the registry, or says that it is not
// available.
void StartSysInfo(Registry& registry, Dialogs& dialogs);

}  // namespace ondrel
