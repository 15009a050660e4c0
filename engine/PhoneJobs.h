// Jobs of several steps over the whole phone: a backup of every standard folder,
// writing a backup back, and installing a Java application. Each starts with a
// fresh caching pass where it needs the phone's lists, runs the batches of the
// file operations folder by folder (the phone gets the same bytes as from the
// buttons), keeps one progress window and one byte count for the whole job, goes
// on past a file that fails, and ends with one result.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/Session.h"

namespace orvo {

// A file of a backup.
struct BackupFile {
    std::string folder;  // the phone folder's path ("Sounds/My Sounds", "/" for the root)
    std::string name;    // the phone's name for it (UTF-8)
    std::string file;    // where it lies, relative to the backup's top ("Sounds/My Sounds/x.mid")
    int64_t size = 0;
    uint32_t crc = 0;  // the phone's CRC-32 of it
};

// What a backup keeps beside the files: its list (the manifest).
class IBackupStore {
  public:
    virtual ~IBackupStore() = default;
    // The backup holds this file (folder, name, file, size) complete already.
    virtual bool HasComplete(const BackupFile& file) = 0;
    // The file arrived intact under its name: keep it in the list. False, with
    // the reason, when the list cannot be kept.
    virtual bool Record(const BackupFile& file, std::string& error) = 0;
    // The backup ended; complete when it holds every file the phone listed. False,
    // with the reason, when the list cannot be kept.
    virtual bool Finish(bool complete, std::string& error) = 0;
};

// Downloads every file of every standard folder that holds files (the root's own
// files at the top) into the backup folder, each checked against the phone's
// checksum, and lists each in store. Files the store holds complete are not read
// again. result.done names the files read, result.skipped those already there.
void BackupPhone(Session& s, const std::string& backupFolder, IBackupStore& store,
                 JobEnded onEnded);

// A file of a backup to write back.
struct RestoreFile {
    std::string folder;  // the phone folder's path
    std::string name;    // the phone name (UTF-8), written as it is
    std::string path;    // the computer file
    int64_t size = 0;
    // Why it cannot be written back (missing, changed since the backup), if so.
    std::optional<Message> problem;
};

struct RestoreOptions {
    bool force = false;   // write even a file the phone holds with the same name and size
    bool dryRun = false;  // list what would be written (result.done), send no write
};

// Writes the files back into their folders under their own names, with none of
// the folders' naming rules; a file the phone holds with the same name and size
// is passed over (result.skipped) unless forced, one of another size replaced.
// Rebuilds the Java registry at the end when a file of "java" was written.
void RestorePhone(Session& s, std::vector<RestoreFile> files, RestoreOptions options,
                  JobEnded onEnded);

// The application's pair: the descriptor, and the archive (when jar is empty, the
// one beside it that its "MIDlet-Jar-URL" names). False, with the reason, when
// either is missing or unreadable; jar then names the archive found.
bool CheckJavaPair(const std::string& jad, std::string& jar, Message& error);
// Writes the pair into "java" under the folder's naming rule (the file-exists
// question as for any copy), then rebuilds the registry. A pair that does not pass
// CheckJavaPair ends the job with its reason before anything is sent.
// result.done names the files on the phone.
void InstallJava(Session& s, const std::string& jad, const std::string& jar, JobEnded onEnded);

// One file operation of the buttons (DownloadFiles, EraseFiles, UploadFiles).
using BatchStarter = void (*)(Session&, WorkList);
// Runs start over work in the phone folder folderPath until it has taken every
// item: a batch that ends early (the phone refused a file) starts again with the
// items left, as a user would press the button again. The work's own onTaken and
// onGivenBack hear of each item. result.messages name the work items as they
// are; result.done lists the items taken that no message of their batch names.
void RunWholeBatch(Session& s, const std::string& folderPath, WorkList work, BatchStarter start,
                   JobEnded onEnded);

}  // namespace orvo
