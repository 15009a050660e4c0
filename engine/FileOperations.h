// The operations on the phone's files and their per-file steps.
//
// A job works on a work list (phone names in the folder shown, computer paths, the
// folder downloads go to), asks its questions through the session's user
// interface (file exists, new name), shows its progress in the session's progress
// model and reports each failure as a message that says what it reports. No job
// reads a pane: the form's handlers (the ...Click functions) turn the panes'
// selections into work lists (app/PaneSelection.h) and keep the selections in
// step with the work.
#pragma once

#include "engine/Session.h"

namespace orvo {

// The jobs.
void UploadFiles(Session& s, WorkList work);    // work.localPaths into the folder shown
void DownloadFiles(Session& s, WorkList work);  // work.phoneNames into work.localFolder
void EraseFiles(Session& s, WorkList work);     // work.phoneNames
// Renames a file of the folder shown: asks the new name (and, when it is taken,
// what to do), then reads the file, erases it and writes it back.
void RenameFile(Session& s, const Bytes& oldName);

// Reads the phone folder shown again (at the root: every folder).
void RereadFolder(Session& s);
// Rebuilds the phone's Java application registry from the ".jad" files in "java".
void RebuildJavaRegistry(Session& s);
// Asks the running batch to stop after the file in hand.
void RequestAbort(Session& s);

// The batches' per-file steps, called by the reply engine.
void DownloadNextFile(Session& s);
void DeleteNextFile(Session& s);
void RenameStep(Session& s);

// Settles the rename's temporary file after a rename ended abnormally (error reply,
// time-out, failed local file). When the phone's copy was already erased, tells the
// user where the file's bytes are ("Файл сохранён в <path>") and keeps that file;
// otherwise removes the temporary file of the broken rename. Does nothing when no
// rename was interrupted, so the error and time-out paths may call it always,
// after their own message.
void NoteRenameRescue(Session& s);

}  // namespace orvo
