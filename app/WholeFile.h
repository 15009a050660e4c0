// Saving a whole file safely: the name holds either the old bytes or all of the
// new ones, never a part. Every file the programs write whole (a backup's list,
// the settings) goes through here.
#pragma once

#include <QByteArray>
#include <QString>

namespace orvo {

// Writes bytes as the file at path: into a private file beside it, unbuffered, so
// that a full disk shows at the write; then onto the disk (fsync) and only then
// under its name. False, with the reason, when any of it fails: the file at path
// is then as it was and the new bytes are gone. A symbolic link at path is
// written through, as an editor does.
bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString& error);

// Writes the settings file (INI, as QSettings reads it) with values set or
// replaced, keeping the keys it holds already. False, with the reason, when it
// cannot be written; the file is then as it was.
bool SaveSettings(const QString& path, const QList<QPair<QString, QString>>& values,
                  QString& error);

}  // namespace orvo
