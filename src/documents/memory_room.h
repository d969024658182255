#pragma once

#include <QtGlobal>

namespace ondrel {

// How many more bytes this program can take before memory runs out for it: the least of the
// memory the system has available, the room its address-space limit (ulimit -v) leaves and
// the room its control group's memory limit leaves (a container, a systemd unit). Very large
// where none is known.
qint64 memoryRoom();

}  // namespace ondrel
