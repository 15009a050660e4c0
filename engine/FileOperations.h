// The file operations started from the main window and their per-file steps.
// Headless: they work on the session's seams only.
#pragma once

#include "engine/Session.h"

void CopyToPhoneBtnClick(Session& s);
void CopyToCompBtnClick(Session& s);
void DownloadNextFile(Session& s);
void DeleteBtnClick(Session& s);
void DeleteNextFile(Session& s);
void RenameBtnClick(Session& s);
void RenameStep(Session& s);
void RescanBtnClick(Session& s);
void CompileJava1Click(Session& s);
void AbortBtnClick(Session& s);

// Settles the rename's temporary file after a rename ended abnormally (error reply,
// time-out, failed local file). When the phone's copy was already erased, tells the
// user where the file's bytes are ("Файл сохранён в <path>") and keeps that file;
// otherwise removes the temporary file of the broken rename. Does nothing when no
// rename was interrupted, so the error and time-out paths may call it always,
// after their own message.
void NoteRenameRescue(Session& s);
