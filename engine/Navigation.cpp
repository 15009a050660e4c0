#include "engine/Navigation.h"

#include <string>

#include "engine/FolderCache.h"
#include "engine/PhoneCommands.h"
#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

void ShowFolder(Session& s, PhoneNode* folder) {
    if (!folder)
        return;
    if (s.PhonePane) {
        s.PhonePane->Clear();
        for (PhoneNode* c = folder->FirstChild.get(); c; c = c->NextSibling.get())
            s.PhonePane->AddRow(c->Name, std::string(), 0);
        for (PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
            s.PhonePane->AddRow(e->Name, std::to_string(e->Size), 1);
    }
    // A folder with files ends a listing; an empty one leaves the state alone.
    if (folder->Files)
        s.CurrentOperation = OperationState::Idle;
}

void RereadCurrentFolder(Session& s) {
    PhoneNode* folder = s.CurrentFolder;
    if (!folder)
        return;
    if (!folder->Parent) {
        StartFolderCaching(s);
        return;
    }
    if (folder->Code == ' ')
        return;

    s.Progress.ProgressBar1.SetPosition(0);
    s.Progress.ProgressBar2.SetPosition(0);
    s.SetQuickStatus(Text(MessageId::RereadingFolder, {AnsiToUtf8Display(folder->Name)}));
    s.SetLongStatus(Text(MessageId::RereadingCurrentFolder));
    s.SetStatusText(Text(MessageId::RereadingCurrentFolder));
    s.ShowProgress();
    s.EnableMainWindow(false);

    while (folder->Files) RemoveFile(folder->Files->Name, folder);

    s.CurrentOperation = OperationState::Listing;
    SendPhoneCommand(s, PhoneCommand::List, Bytes(1, static_cast<char>(folder->Code)));
    s.TimerOn();
}

void OpenSelectedFolder(Session& s) {
    if (!s.PhonePane || !s.CurrentFolder)
        return;
    int row = s.PhonePane->ItemIndex();
    if (row < 0)
        return;
    s.CurrentFolder = FindChildFolder(s.PhonePane->Caption(row), s.CurrentFolder);
    ShowFolder(s, s.CurrentFolder);
}

void OpenParentFolder(Session& s) {
    if (!s.CurrentFolder || !s.CurrentFolder->Parent)
        return;
    s.CurrentFolder = s.CurrentFolder->Parent;
    ShowFolder(s, s.CurrentFolder);
}

}  // namespace orvo
