#pragma once

#include "platform/CheckedSaveFile.h"

#include <QString>
#include <functional>

namespace kv {

// Told how many bytes are copied so far; answers false to stop the copy.
using CopyProgress = std::function<bool(qint64 done)>;

// Copies a whole file without ever leaving a half-written target: the bytes go in chunks through a
// CheckedSaveFile, so the target is owner-only and replaced only once every byte is on disk. On any failure
// the target is as it was, no temporary file is left, and kv::Error is thrown with the number and
// description the messages show (53 no source, 76 no target folder, 70 no permission or the target is the
// source itself, 61 disk full, 57 a read error, 75 any other). False when `progress` stopped the copy.
bool copyFileSafely(const QString& source, const QString& target, const CopyProgress& progress = {});

// Whether two paths name the same existing file (links, "." and "..", hard links included).
bool isSameFile(const QString& a, const QString& b);
// Whether two paths name the same existing folder, however each is written.
bool isSameFolder(const QString& a, const QString& b);

// For tests: the next copies fail as if the disk filled after this many bytes; -1 turns it off. Copies are
// written through CheckedSaveFile, so this is its hook.
inline void setCopyFailureAfter(qint64 bytes) {
    setWriteFailureAfter(bytes);
}

} // namespace kv
