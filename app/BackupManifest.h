// The list a phone backup keeps beside its files, manifest.json: the date, whether
// the backup is complete, and per file its phone folder, phone name, where it lies,
// size, CRC-32 and SHA-256. Written anew (atomically) after each file, so an
// interrupted backup can be resumed. The format is in docs/backup.md.
#pragma once

#include <QDateTime>
#include <string>
#include <vector>

#include "engine/PhoneJobs.h"

namespace orvo {

struct ManifestEntry {
    BackupFile file;
    std::string sha256;  // lower-case hex
};

class BackupManifest : public IBackupStore {
  public:
    // The manifest of the backup folder top (not read yet).
    explicit BackupManifest(std::string top);

    // Reads top/manifest.json. False, with the reason, when it is missing or not
    // a backup's list.
    bool Load(std::string& error);
    // Writes top/manifest.json. False, with the reason, on failure.
    bool Save(std::string& error) const;

    bool HasComplete(const BackupFile& file) override;
    bool Record(const BackupFile& file, std::string& error) override;
    bool Finish(bool complete, std::string& error) override;

    const std::string& Top() const { return top_; }
    bool Complete() const { return complete_; }
    const QDateTime& Date() const { return date_; }
    void SetDate(const QDateTime& date) { date_ = date; }
    const std::vector<ManifestEntry>& Entries() const { return entries_; }

  private:
    std::string top_;
    QDateTime date_;
    bool complete_ = false;
    std::vector<ManifestEntry> entries_;
};

// The SHA-256 of a file (lower-case hex), empty when it cannot be read.
std::string FileSha256(const std::string& path);

// A new backup folder in dir, "phone-backup-YYYY-MM-DD-HHMM" after now ("-2",
// "-3", ... behind it when that is taken), made on the disk. Empty, with the
// reason, on failure.
std::string MakeBackupFolder(const std::string& dir, const QDateTime& now, std::string& error);

// The unfinished backup in dir: dir itself when it is one, else the newest
// "phone-backup-*" folder in it whose manifest is not complete; empty when none.
std::string UnfinishedBackup(const std::string& dir);

// The backup to write back from dir: dir itself when it holds a manifest, else
// the newest "phone-backup-*" folder in it that does; empty when none.
std::string BackupIn(const std::string& dir);

// The files of the backup at top to write back, in the manifest's order. Each
// is checked against the manifest (present, same size and SHA-256); a file that
// fails, or whose place leaves the backup folder, carries its problem. False,
// with the reason, when the manifest cannot be read.
bool ReadRestoreList(const std::string& top, std::vector<RestoreFile>& files, std::string& error);

}  // namespace orvo
