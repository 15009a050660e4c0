// The user interface of orvo-cli as the core sees it: no question is ever put
// to anybody. The file-exists question is answered from the conflict option,
// the rename dialog hands over the new name from the command line, message
// boxes become failures with an exit status, and the progress goes to stderr
// when that is a terminal.
#pragma once

#include <QElapsedTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/PhoneLink.h"
#include "app/TransferMeter.h"
#include "cli/CliOptions.h"
#include "engine/Session.h"

namespace orvo {

struct Failure {
    std::string item;  // the file in hand, or empty
    std::string text;  // on one line
    int status = 1;
    // What it is, for scripts: the message's id and arguments (the program's own
    // failures are verbatim texts).
    Message message;
};

class CliUi : public IUserInterface, public IProgressSink {
  public:
    CliUi(Session& s, PhoneLink& link, Conflict conflict, std::string renameTo, bool progress);

    void MessageBox(const std::string& text, const std::string& caption) override;
    void Report(const Message& message) override;
    ModalResult FileExistDialog(const std::string& oldName, std::string& newName) override;
    ModalResult RenameDialog(std::string& name) override;
    void ProgressChanged() override;
    void TransferProgressed(const TransferProgress& progress) override;
    void RestartConnection() override { lineLost = true; }

    // Adds a failure found by the command itself.
    void Fail(const std::string& item, const std::string& text, int status);
    void Fail(const std::string& item, const Message& message, int status);
    // Takes the failures of a job's result, in order; itemOf names a work item as
    // the failure lists it. Notices are said, not counted.
    void TakeResult(const JobResult& result,
                    const std::function<std::string(const std::string&)>& itemOf);
    // 128 + the signal that stopped the command, else the first failure's status,
    // 0 when none.
    int Status() const {
        return interrupted ? 128 + interrupted : failures.empty() ? 0 : failures.front().status;
    }
    // Clears the progress line.
    void EndProgress();

    // Names the file in hand, for the failures that come while it is.
    std::function<std::string()> currentItem;
    // The new name the rename dialog hands over.
    std::string newName;
    std::vector<Failure> failures;
    std::vector<std::string> skipped;    // items left alone (--skip)
    std::vector<std::string> renamedTo;  // names given by --rename-to
    bool lineLost = false;
    // The signal that stopped the command (0: none). What fails after it is its
    // consequence and not reported; notices (where a rescued file went) still are.
    int interrupted = 0;

  private:
    void Said(const Message& message, const std::string& item);

    Session& s_;
    PhoneLink& link_;
    Conflict conflict_;
    std::string renameTo_;
    bool progress_;
    std::string lastAsked_;
    QElapsedTimer clock_;
    TransferMeter meter_;
    QElapsedTimer drawClock_;
    bool drawn_ = false;
};

}  // namespace orvo
