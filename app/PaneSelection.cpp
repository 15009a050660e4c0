#include "app/PaneSelection.h"

#include "engine/FileOperations.h"

namespace orvo {

namespace {

// The form's handlers turn the panes' selections into work lists; the pane hears
// of each item the batch takes (it is no longer selected) or gives back (it is
// selected again), as the user sees the batch work through the selection.
void SelectRow(IPhonePane& pane, const Bytes& caption, bool selected) {
    for (int i = 0; i < pane.Count(); ++i) {
        if (pane.Caption(i) == caption) {
            pane.SetSelected(i, selected);
            return;
        }
    }
}

void SelectItem(IComputerPane& pane, const std::string& path, bool selected) {
    for (int i = 0; i < pane.Count(); ++i) {
        if (pane.ItemPath(i) == path) {
            pane.SetSelected(i, selected);
            return;
        }
    }
}

}  // namespace

WorkList SelectedPhoneFiles(Session& s) {
    WorkList work;
    for (int i = 0; i < s.PhonePane->Count(); ++i)
        if (s.PhonePane->Selected(i))
            work.phoneNames.push_back(s.PhonePane->Caption(i));
    work.onTaken = [&s](const std::string& name) {
        if (s.PhonePane)
            SelectRow(*s.PhonePane, name, false);
    };
    work.onGivenBack = [&s](const std::string& name) {
        if (s.PhonePane)
            SelectRow(*s.PhonePane, name, true);
    };
    return work;
}

WorkList SelectedComputerFiles(Session& s) {
    WorkList work;
    for (int i = 0; i < s.Source->Count(); ++i)
        if (s.Source->Selected(i))
            work.localPaths.push_back(s.Source->ItemPath(i));
    work.onTaken = [&s](const std::string& path) {
        if (s.Source)
            SelectItem(*s.Source, path, false);
    };
    work.onGivenBack = [&s](const std::string& path) {
        if (s.Source)
            SelectItem(*s.Source, path, true);
    };
    return work;
}

void UploadSelectedFiles(Session& s) {
    if (!s.CurrentFolder || !s.Source)
        return;
    UploadFiles(s, SelectedComputerFiles(s));
}

void DownloadSelectedFiles(Session& s) {
    if (!s.CurrentFolder || !s.PhonePane || !s.Source)
        return;
    WorkList work = SelectedPhoneFiles(s);
    work.localFolder = s.Source->FolderPath();
    // The computer pane shows what the batch wrote once it ends.
    work.onEnded = [&s](const JobResult&) {
        if (s.Source)
            s.Source->Refresh();
    };
    DownloadFiles(s, std::move(work));
}

void EraseSelectedFiles(Session& s) {
    if (!s.CurrentFolder || !s.PhonePane)
        return;
    EraseFiles(s, SelectedPhoneFiles(s));
}

void RenameSelectedFile(Session& s) {
    // A rename that broke off earlier may still hold a temporary file.
    NoteRenameRescue(s);
    if (!s.PhonePane || s.PhonePane->ItemIndex() < 0)
        return;
    RenameFile(s, s.PhonePane->Caption(s.PhonePane->ItemIndex()));
}

}  // namespace orvo
