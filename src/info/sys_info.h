#pragma once

#include <QString>

#include <cstdint>

namespace ondrel {

class Dialogs;
class Registry;

// Starts the system-information program found through the registry, or says that it is not
// available.
void StartSysInfo(Registry& registry, Dialogs& dialogs);

}  // namespace ondrel
