#include "app/BackupManifest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "app/WholeFile.h"

namespace orvo {

namespace {

const char kManifestName[] = "manifest.json";
const char kFormat[] = "orvo-phone-backup";
const char kPrefix[] = "phone-backup-";
const int kVersion = 1;

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string ManifestPath(const std::string& top) {
    return top + "/" + kManifestName;
}

std::string CrcText(uint32_t crc) {
    return QString::number(crc, 16).rightJustified(8, QLatin1Char('0')).toStdString();
}

// A place inside the backup folder: relative, without "." or ".." parts.
bool InsideBackup(const std::string& file) {
    if (file.empty() || file.front() == '/')
        return false;
    for (const QString& part : Q(file).split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

bool SameFile(const BackupFile& a, const BackupFile& b) {
    return a.folder == b.folder && a.name == b.name;
}

// The backup folders in dir, newest first: by the minute in their names, then by
// the number behind it ("-2" is later than none). A link is none: what it leads
// to is not written into or read back from.
QStringList BackupFolders(const std::string& dir) {
    QStringList names =
        QDir(Q(dir)).entryList({QString(kPrefix) + "*"}, QDir::Dirs | QDir::NoSymLinks);
    const int stamp = static_cast<int>(sizeof kPrefix - 1) + 15;  // YYYY-MM-DD-HHMM
    auto key = [stamp](const QString& name) {
        const int n = name.size() > stamp + 1 ? name.mid(stamp + 1).toInt() : 1;
        return std::make_pair(name.left(stamp), n);
    };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return key(a) > key(b); });
    return names;
}

}  // namespace

BackupManifest::BackupManifest(std::string top) : top_(std::move(top)) {}

bool BackupManifest::Load(std::string& error) {
    QFile in(Q(ManifestPath(top_)));
    if (!in.open(QIODevice::ReadOnly)) {
        error = ManifestPath(top_) + ": " + in.errorString().toStdString();
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &parse);
    const QJsonObject root = doc.object();
    if (parse.error != QJsonParseError::NoError || root["format"].toString() != kFormat) {
        error = ManifestPath(top_) + ": not the list of a phone backup";
        return false;
    }
    // A later program's list may mean what this one cannot tell.
    const int version = root["version"].toInt(1);
    if (version > kVersion) {
        error = ManifestPath(top_) + ": version " + std::to_string(version) +
                " of the list is newer than this program knows (" + std::to_string(kVersion) + ")";
        return false;
    }
    if (!root["files"].isArray()) {
        error = ManifestPath(top_) + ": \"files\" is not a list";
        return false;
    }
    date_ = QDateTime::fromString(root["date"].toString(), Qt::ISODate);
    complete_ = root["complete"].toBool();
    entries_.clear();
    int number = 0;
    for (const QJsonValue& v : root["files"].toArray()) {
        ++number;
        if (!v.isObject() || !v["folder"].isString() || !v["name"].isString() ||
            !v["file"].isString()) {
            error = ManifestPath(top_) + ": entry " + std::to_string(number) +
                    " of \"files\" is not a file's folder, name and place";
            return false;
        }
        const QJsonObject o = v.toObject();
        ManifestEntry e;
        e.file.folder = o["folder"].toString().toStdString();
        e.file.name = o["name"].toString().toStdString();
        e.file.file = o["file"].toString().toStdString();
        e.file.size = static_cast<int64_t>(o["size"].toDouble(-1));
        bool ok = false;
        e.file.crc = o["crc32"].toString().toUInt(&ok, 16);
        e.sha256 = o["sha256"].toString().toStdString();
        entries_.push_back(e);
    }
    return true;
}

bool BackupManifest::Save(std::string& error) const {
    QJsonArray files;
    for (const ManifestEntry& e : entries_)
        files.append(QJsonObject{{"folder", Q(e.file.folder)},
                                 {"name", Q(e.file.name)},
                                 {"file", Q(e.file.file)},
                                 {"size", static_cast<double>(e.file.size)},
                                 {"crc32", Q(CrcText(e.file.crc))},
                                 {"sha256", Q(e.sha256)}});
    const QJsonObject root{
        {"format", kFormat},
        {"version", kVersion},
        {"date", date_.toOffsetFromUtc(date_.offsetFromUtc()).toString(Qt::ISODate)},
        {"complete", complete_},
        {"files", files}};
    // A list that cannot be written whole leaves the one before in place.
    const QString path = Q(ManifestPath(top_));
    if (QFileInfo(path).isSymLink()) {
        error = ManifestPath(top_) + ": a symbolic link, not written through";
        return false;
    }
    QString failure;
    if (!SaveWholeFile(path, QJsonDocument(root).toJson(QJsonDocument::Indented), failure)) {
        error = failure.toStdString();
        return false;
    }
    return true;
}

bool BackupManifest::HasComplete(const BackupFile& file) {
    for (const ManifestEntry& e : entries_) {
        if (!SameFile(e.file, file))
            continue;
        // Listed, the same size as on the phone, and the bytes on the disk are
        // still the ones listed.
        const std::string path = top_ + "/" + e.file.file;
        const QFileInfo info(Q(path));
        return e.file.file == file.file && e.file.size == file.size && !info.isSymLink() &&
               info.size() == file.size && FileSha256(path) == e.sha256;
    }
    return false;
}

bool BackupManifest::Record(const BackupFile& file, std::string& error) {
    ManifestEntry entry{file, FileSha256(top_ + "/" + file.file)};
    if (entry.sha256.empty()) {
        error = top_ + "/" + file.file + ": cannot be read back";
        return false;
    }
    auto at = std::find_if(entries_.begin(), entries_.end(),
                           [&](const ManifestEntry& e) { return SameFile(e.file, file); });
    if (at == entries_.end())
        entries_.push_back(entry);
    else
        *at = entry;
    complete_ = false;
    return Save(error);
}

bool BackupManifest::Finish(bool complete, std::string& error) {
    complete_ = complete;
    return Save(error);
}

std::string FileSha256(const std::string& path) {
    QFile in(Q(path));
    if (!in.open(QIODevice::ReadOnly))
        return std::string();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&in))
        return std::string();
    return hash.result().toHex().toStdString();
}

std::string MakeBackupFolder(const std::string& dir, const QDateTime& now, std::string& error) {
    const QDir parent(Q(dir));
    if (!parent.exists()) {
        error = "no such folder: " + dir;
        return std::string();
    }
    const QString base = QString(kPrefix) + now.toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? base : base + "-" + QString::number(n);
        if (parent.exists(name))
            continue;
        if (!parent.mkdir(name)) {
            error = "cannot make folder " + parent.filePath(name).toStdString();
            return std::string();
        }
        BackupManifest manifest(parent.filePath(name).toStdString());
        manifest.SetDate(now);
        if (!manifest.Save(error))
            return std::string();
        return manifest.Top();
    }
    error = "too many backups of this minute in " + dir;
    return std::string();
}

std::string UnfinishedBackup(const std::string& dir) {
    auto unfinished = [](const std::string& top) {
        BackupManifest m(top);
        std::string error;
        return m.Load(error) && !m.Complete();
    };
    if (QFile::exists(Q(ManifestPath(dir))))
        return unfinished(dir) ? dir : std::string();
    for (const QString& name : BackupFolders(dir)) {
        const std::string top = QDir(Q(dir)).filePath(name).toStdString();
        if (unfinished(top))
            return top;
    }
    return std::string();
}

std::string BackupIn(const std::string& dir) {
    if (QFile::exists(Q(ManifestPath(dir))))
        return dir;
    for (const QString& name : BackupFolders(dir)) {
        const std::string top = QDir(Q(dir)).filePath(name).toStdString();
        if (QFile::exists(Q(ManifestPath(top))))
            return top;
    }
    return std::string();
}

bool ReadRestoreList(const std::string& top, std::vector<RestoreFile>& files, std::string& error) {
    BackupManifest manifest(top);
    if (!manifest.Load(error))
        return false;
    files.clear();
    // Where the backup's files really lie: each one's own path, links resolved,
    // stays inside it.
    const QString realTop = QFileInfo(Q(top)).canonicalFilePath() + QLatin1Char('/');
    for (const ManifestEntry& e : manifest.Entries()) {
        RestoreFile f;
        f.folder = e.file.folder;
        f.name = e.file.name;
        f.size = e.file.size;
        f.path = top + "/" + e.file.file;
        const QFileInfo info(Q(f.path));
        const QString real = info.canonicalFilePath();
        if (!InsideBackup(e.file.file)) {
            f.problem = Message(MessageKind::Refused, MessageId::OutsideBackup, {e.file.file});
        } else if (info.isSymLink()) {
            f.problem = Message(MessageKind::Refused, MessageId::FileIsLink, {e.file.file});
        } else if (!real.isEmpty() && !real.startsWith(realTop)) {
            f.problem = Message(MessageKind::Refused, MessageId::BackupFileLiesOutside,
                                {e.file.file, real.toStdString()});
        } else if (!info.isFile()) {
            f.problem = Message(MessageKind::LocalFile, MessageId::BackupFileMissing, {f.path});
        } else if (QFileInfo(Q(f.path)).size() != f.size || FileSha256(f.path) != e.sha256) {
            f.problem = Message(MessageKind::Checksum, MessageId::BackupFileChanged, {f.path});
        }
        files.push_back(f);
    }
    return true;
}

}  // namespace orvo
