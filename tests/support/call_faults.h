#pragma once

#include <QStringList>

namespace ondrel::call_faults {

// call_faults.cpp stands in for the C library's open (for unnamed files only), close, fsync,
// pwrite, rename, linkat and unlink in the test program it is linked into: each passes on to
// the real call unless a fault is armed for it, and is noted in the journal while one is kept.
// So a test can make a call fail as a network or FUSE filesystem would, die in it as a killed
// process does, and see in which order a save made its calls.

// A fault in place of an error number: the process is killed in the call.
inline constexpr int kKilled = -1;

// The next call named call (after those armed before it) ("tmpfile" for an open of an unnamed file)
// on a path that contains pathPart fails with error, or kills the process for kKilled; later calls
// go through. A rename or link matches on its second path; a close, only a descriptor open for
// writing.
void arm(const char* call, const QByteArray& pathPart, int error);

// Notes every call from now on as "call path" (the path the descriptor names for close,
// fsync and pwrite; the new name for rename and linkat).
void startJournal();
QStringList journal();

}  // namespace ondrel::call_faults
