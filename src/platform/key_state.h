#pragma once

#include <optional>

class QKeyEvent;

namespace ondrel {

// Lock-key states as far as the platform can tell them; nullopt where it cannot.
// The key event, when given, is the latest one the program received.
std::optional<bool> capsLockOn(const QKeyEvent* latest);
std::optional<bool> kanaLockOn();

}  // namespace ondrel
