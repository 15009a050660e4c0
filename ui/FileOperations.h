// The file operations started from the main window and their per-file steps.
// Headless: they work on the session's seams only.
#pragma once

#include "protocol/Session.h"

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
