// Recording fakes of the seams, so a test can run whole exchanges headless and
// look at every byte sent, every text and bar, every message shown.
#pragma once

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/MessageTexts.h"
#include "engine/Session.h"

class PhoneEmulator;

namespace orvo {

// A state without replies of its own: the engine leaves what arrives in the buffer,
// so a test can look at it.
constexpr OperationState kUnscannedState = static_cast<OperationState>(7);
// A state in a test's failure message: its number.
inline std::ostream& operator<<(std::ostream& os, OperationState state) {
    return os << static_cast<int>(state);
}

// A port that records every write.
class RecordingPort : public IPort {
  public:
    bool Write(const void* data, uint16_t length) override;
    void Close() override { ++closeCount; }
    // Hands the phone's bytes over as they come, whatever the framing.
    bool SetReplyFraming(ReplyFraming) override { return false; }
    std::vector<std::string> writes;
    int closeCount = 0;
    std::string All() const;  // every write joined
    void ClearWrites() { writes.clear(); }
};

// A message as the form shows it: its words in Russian, and the value it came as.
struct ShownMessage {
    std::string text;
    std::string caption;
    MessageKind kind = MessageKind::Notice;
    Message message;
};

class FakeUi : public IUserInterface {
  public:
    void MessageBox(const std::string& text, const std::string& caption) override;
    void Report(const Message& message) override;
    ModalResult FileExistDialog(const std::string& oldName, std::string& newName) override;
    ModalResult RenameDialog(std::string& name) override;
    void RestartConnection() override { ++restartCount; }

    std::vector<ShownMessage> messages;
    // Answers for the dialogs, taken in order; when empty: Cancel (2).
    struct ExistAnswer {
        int result;
        std::string newName;  // used when result is 1 (empty: keep the proposal)
    };
    std::deque<ExistAnswer> existAnswers;
    std::vector<std::pair<std::string, std::string>> existShown;  // old, proposed
    std::deque<std::pair<int, std::string>> renameAnswers;        // result, text
    int restartCount = 0;
    // Called inside MessageBox, as a nested event loop would deliver blocks.
    std::function<void()> onMessage;
    // Called inside the file-exists and rename dialogs, likewise.
    std::function<void()> onDialog;

  private:
    Message report_;  // the message being shown
};

// The phone pane: rows kept sorted by caption (case-insensitive, CP1251-aware).
class FakePhonePane : public IPhonePane {
  public:
    void Clear() override { rows.clear(); }
    void AddRow(const Bytes& caption, const std::string& sizeText, int image) override;
    int Count() const override { return static_cast<int>(rows.size()); }
    Bytes Caption(int i) const override { return rows.at(i).caption; }
    int Image(int i) const override { return rows.at(i).image; }
    std::string SizeText(int i) const override { return rows.at(i).size; }
    bool Selected(int i) const override { return rows.at(i).selected; }
    void SetSelected(int i, bool sel) override { rows.at(i).selected = sel; }
    int SelCount() const override;
    int ItemIndex() const override;

    // Test helpers.
    std::vector<std::string> Captions() const;
    bool Select(const Bytes& caption);  // false when no such row

    struct Row {
        Bytes caption;
        std::string size;
        int image = 0;
        bool selected = false;
    };
    std::vector<Row> rows;
};

// The computer pane over a real local folder (tests make a temporary one).
class FakeComputerPane : public IComputerPane {
  public:
    std::string FolderPath() const override { return folder; }
    int Count() const override { return static_cast<int>(items.size()); }
    std::string ItemPath(int i) const override { return items.at(i).path; }
    bool Selected(int i) const override { return items.at(i).selected; }
    void SetSelected(int i, bool sel) override { items.at(i).selected = sel; }
    int SelCount() const override;
    void Refresh() override { ++refreshCount; }

    // Lists the folder's entries (sorted by name), none selected.
    void Load(const std::string& path);
    bool Select(const std::string& name);

    struct Item {
        std::string path;
        bool selected = false;
    };
    std::string folder;
    std::vector<Item> items;
    int refreshCount = 0;
};

// A session wired to the fakes.
struct TestRig {
    TestRig();
    Session s;
    RecordingPort port;
    FakeUi ui;
    FakePhonePane pane;
    FakeComputerPane source;
};

// Files of a test: written whole (with the folders above them), read whole ("" when
// missing).
void PutFile(const std::string& path, const std::string& data);
std::string GetFile(const std::string& path);

}  // namespace orvo
