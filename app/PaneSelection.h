// The panes' selections as the jobs' work lists, for a front end with panes: the
// jobs themselves never read a pane. Plain C++ on the engine's pane interfaces.
#pragma once

#include "engine/Session.h"

namespace orvo {

// The selections of the phone pane and the computer pane as work lists; the
// selection follows the work (an item taken is no longer selected, one given
// back is selected again).
WorkList SelectedPhoneFiles(Session& s);
WorkList SelectedComputerFiles(Session& s);

// The jobs on what the panes have selected: the computer files into the phone
// folder shown, the phone files into the computer folder shown, the phone files
// erased, the first selected phone file renamed.
void UploadSelectedFiles(Session& s);
void DownloadSelectedFiles(Session& s);
void EraseSelectedFiles(Session& s);
void RenameSelectedFile(Session& s);

}  // namespace orvo
