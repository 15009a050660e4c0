#include "engine/FolderCache.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "engine/Navigation.h"
#include "engine/PhoneCommands.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

namespace {

// The folder that holds node at the top of its tree.
const PhoneNode* RootOf(const PhoneNode* node) {
    while (node && node->Parent) node = node->Parent;
    return node;
}

// An absolute folder named by the environment variable, else fallback.
std::string FolderFromEnv(const char* name, const std::string& fallback) {
    const char* dir = std::getenv(name);
    std::string path = (dir && dir[0] == '/') ? std::string(dir) : fallback;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

void CollectFolders(Session& s, PhoneNode* node) {
    // Every folder after the folders below it and after its later siblings. The
    // queue has room for kFolderQueueSize folders; a larger tree is listed in part.
    if (!node || s.QueuePosition >= kFolderQueueSize)
        return;
    CollectFolders(s, node->FirstChild.get());
    CollectFolders(s, node->NextSibling.get());
    if (s.QueuePosition < 0 || s.QueuePosition >= kFolderQueueSize)
        return;
    s.FolderQueue[s.QueuePosition] = node;
    ++s.QueuePosition;
}

namespace {
std::function<std::string()>& RescueFolderSource() {
    static std::function<std::string()> source;
    return source;
}
}  // namespace

void SetRescueFolderSource(std::function<std::string()> source) {
    RescueFolderSource() = std::move(source);
}

std::string RescueFolderPath() {
    if (RescueFolderSource()) {
        std::string folder = RescueFolderSource()();
        if (!folder.empty())
            return folder;
    }
    const std::string home = FolderFromEnv("HOME", "/");
    const std::string data =
        FolderFromEnv("XDG_DATA_HOME", (home == "/" ? std::string() : home) + "/.local/share");
    return data + "/orvo-fm/rescued";
}

std::string MakeTempFilePath() {
    return RescueFolderPath() + "/.rename-XXXXXX";
}

void StartFolderCaching(Session& s) {
    s.TimerOff();
    s.SetTimerInterval(10000);

    // Busy until the pass ends: a Rescan at the root comes here with the window
    // still enabled.
    s.ShowProgress();
    s.EnableMainWindow(false);
    s.SetQuickStatus(Text(MessageId::CachingFileList));
    s.Progress.ProgressBar1.SetMin(0);
    s.Progress.ProgressBar1.Step = 1;
    s.Progress.ProgressBar2.Step = 1;
    s.Progress.ProgressBar2.SetMin(0);

    // The pane may still show a folder of the tree being replaced: keep that tree
    // alive until the pass ends and moves CurrentFolder to the new root.
    const PhoneNode* shownRoot = RootOf(s.CurrentFolder);
    if (shownRoot && shownRoot == s.PhoneTree.get()) {
        s.ShownTree = std::move(s.PhoneTree);
    } else if (shownRoot != s.ShownTree.get()) {
        s.ShownTree.reset();
    }
    s.PhoneTree = SeedStandardFolders();

    s.CurrentOperation = OperationState::Idle;
    s.BatchStep = nullptr;

    for (PhoneNode*& entry : s.FolderQueue) entry = nullptr;
    s.QueuePosition = 0;
    CollectFolders(s, s.PhoneTree.get());

    s.Progress.ProgressBar1.SetMax(s.QueuePosition);
    s.Progress.ProgressBar2.SetMax(s.QueuePosition);
    s.ProgressUpdated();
    s.QueuePosition = 0;

    RequestNextListing(s);
}

void RequestNextListing(Session& s) {
    PhoneNode* folder = (s.QueuePosition >= 0 && s.QueuePosition < kFolderQueueSize)
                            ? s.FolderQueue[s.QueuePosition]
                            : nullptr;
    if (folder) {
        SendPhoneCommand(s, PhoneCommand::List, Bytes(1, static_cast<char>(folder->Code)));
        s.TimerOn();
        s.CurrentOperation = OperationState::Caching;
        return;
    }

    // The pass is over: the pane moves to the new tree, the old one can go.
    s.CurrentOperation = OperationState::Idle;
    s.CurrentFolder = s.PhoneTree.get();
    s.ShownTree.reset();
    ShowFolder(s, s.CurrentFolder);
    s.CloseProgress();
    s.EnableMainWindow(true);
    s.Progress.ProgressBar1.SetPosition(0);
    s.ProgressUpdated();
    s.QueuePosition = 0;
}

}  // namespace orvo
