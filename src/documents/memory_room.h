#pragma once

#include <QtGlobal>

namespace ondrel {

// How many more bytes this program can take before memory runs out for it: the memory the
// system has available, or the room its address-space limit (ulimit -v) leaves, whichever is
// less. Very large where neither is known.
qint64 memoryRoom();

}  // namespace ondrel
