#pragma once
// Lets go of long string buffers off the calling thread. Freeing a buffer of a hundred megabytes
// hands its pages back to the system, tens of milliseconds the window would otherwise wait for
// (what a long line's Replace All or its undo leaves behind); a thread of its own takes it instead.
#include <QString>

namespace LateRelease {

// From this many units of room on, a buffer is freed off the calling thread.
constexpr qsizetype kFrom = qsizetype(1) << 18;

// Empties s. Its buffer, when long and held by nothing else, is freed on the release thread;
// otherwise s lets go of it here as usual (a buffer others hold is only counted down).
void drop(QString& s);

// Units of room in the buffers freed on the release thread so far.
qsizetype unitsFreedAside();

// Returns once every buffer handed over so far is freed.
void settle();

} // namespace LateRelease
