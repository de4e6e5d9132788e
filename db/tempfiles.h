#pragma once

#include <QString>
#include <QStringList>

namespace tolva {

// The program's temporary files and folders: a copy being written beside its target, a
// backup before its rename, a restore being checked, a new data folder being laid out. Each
// is named "<target>.tolva-tmp-<process id>-XXXXXX", so that one left by a process that was
// killed is recognised as ours and as abandoned (its process is gone), and nothing else is
// ever taken for one.
namespace tempfiles {

// A name template for QTemporaryFile or QTemporaryDir beside `target` (its XXXXXX replaced
// when the file is made).
[[nodiscard]] QString templateFor(const QString& target);

// Whether `fileName` (a name, not a path) is one of ours, SQLite's journal or log of one
// included.
[[nodiscard]] bool isOurs(const QString& fileName);

// Whether it is one of ours whose process is no longer running.
[[nodiscard]] bool isAbandoned(const QString& fileName);

// Removes from `folder` (not its subfolders, except our own temporary folders themselves)
// the temporary files and folders of processes that are gone. Returns the paths removed.
// The caller holds the folder, so no live program of ours is writing there.
QStringList sweep(const QString& folder);

} // namespace tempfiles
} // namespace tolva
