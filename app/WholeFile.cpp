#include "app/WholeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvo {

namespace {

// The rename itself reaches the disk with the folder.
void SyncFolder(const QString& path) {
#ifndef Q_OS_WIN
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)path;
#endif
}

}  // namespace

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile out(path);
    // Unbuffered: a write the disk has no room for fails at once, never later in a
    // flush whose failure the commit would not see.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = path + ": " + out.errorString();
        return false;
    }
    if (out.write(bytes) != bytes.size() || !out.flush() || out.error() != QFileDevice::NoError) {
        error = path + ": " + out.errorString();
        out.cancelWriting();
        return false;
    }
#ifndef Q_OS_WIN
    // The bytes are on the disk before they take the name (the commit's own sync
    // does not tell of a failure).
    if (::fsync(out.handle()) != 0) {
        error = path + ": " + QString::fromLocal8Bit(std::strerror(errno));
        out.cancelWriting();
        return false;
    }
#endif
    if (!out.commit()) {
        error = path + ": " + out.errorString();
        return false;
    }
    SyncFolder(path);
    return true;
}

bool SaveSettings(const QString& path, const QList<QPair<QString, QString>>& values,
                  QString& error) {
    QVariantMap all;
    {
        const QSettings old(path, QSettings::IniFormat);
        for (const QString& key : old.allKeys()) all[key] = old.value(key);
    }
    for (const auto& [key, value] : values) all[key] = value;
    // QSettings lays the file out; a scratch copy of it is checked whole before the
    // bytes go to their place.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        error = path + ": " + scratch.errorString();
        return false;
    }
    const QString draft = scratch.filePath(QStringLiteral("settings.ini"));
    {
        QSettings out(draft, QSettings::IniFormat);
        for (auto at = all.cbegin(); at != all.cend(); ++at) out.setValue(at.key(), at.value());
        out.sync();
    }
    const QSettings back(draft, QSettings::IniFormat);
    bool whole = back.status() == QSettings::NoError && back.allKeys().size() == all.size();
    for (auto at = all.cbegin(); whole && at != all.cend(); ++at)
        whole = back.value(at.key()) == at.value();
    QFile in(draft);
    if (!whole || !in.open(QIODevice::ReadOnly)) {
        error = path + ": " +
                QCoreApplication::translate("Messages", "не удалось подготовить файл настроек");
        return false;
    }
    return SaveWholeFile(path, in.readAll(), error);
}

}  // namespace orvo
