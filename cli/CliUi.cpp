#include "cli/CliUi.h"

#include <cstdio>

#include "app/MessageTexts.h"
#include "cli/Outcome.h"

namespace orvo {

CliUi::CliUi(Session& s, PhoneLink& link, Conflict conflict, std::string renameTo, bool progress)
    : s_(s), link_(link), conflict_(conflict), renameTo_(std::move(renameTo)), progress_(progress) {
    drawClock_.start();
}

void CliUi::MessageBox(const std::string& text, const std::string&) {
    Report(Message(MessageKind::Refused, MessageId::Verbatim, {text}));
}

void CliUi::Report(const Message& message) {
    // A job's messages come with its result, at its end (a stopped job has none).
    if ((s_.Batch.Active || s_.Steps.active) && !interrupted)
        return;
    Said(message, currentItem ? currentItem() : std::string());
}

void CliUi::TakeResult(const JobResult& result,
                       const std::function<std::string(const std::string&)>& itemOf) {
    for (const JobMessage& m : result.messages)
        Said(m, itemOf && !m.item.empty() ? itemOf(m.item) : m.item);
}

void CliUi::Said(const Message& message, const std::string& item) {
    if (message.kind == MessageKind::Notice) {
        // Not a failure of its own (the failure before it was reported): said once.
        EndProgress();
        std::fprintf(stderr, "orvo-cli: %s%s%s\n", item.c_str(), item.empty() ? "" : ": ",
                     OneLine(WordsUtf8(message)).c_str());
        return;
    }
    Fail(item, message, StatusFor(message.kind));
}

void CliUi::Fail(const std::string& item, const std::string& text, int status) {
    Fail(item, Message(MessageKind::Refused, MessageId::Verbatim, {text}), status);
}

void CliUi::Fail(const std::string& item, const Message& message, int status) {
    if (interrupted)
        return;
    EndProgress();
    const std::string text = OneLine(WordsUtf8(message));
    failures.push_back(Failure{item, text, status, message});
    std::fprintf(stderr, "orvo-cli: %s%s%s\n", item.c_str(), item.empty() ? "" : ": ",
                 text.c_str());
}

ModalResult CliUi::FileExistDialog(const std::string& oldName, std::string& proposal) {
    switch (conflict_) {
        case Conflict::Overwrite:
            return ModalResult::Overwrite;
        case Conflict::RenameTo:
            // Asked again: the name given is taken too.
            if (lastAsked_ == oldName)
                break;
            lastAsked_ = oldName;
            proposal = renameTo_;
            renamedTo.push_back(renameTo_);
            return ModalResult::Ok;
        case Conflict::Skip:
            skipped.push_back(currentItem ? currentItem() : oldName);
            return ModalResult::Cancel;
        case Conflict::Fail:
            break;
    }
    Fail(currentItem ? currentItem() : oldName,
         "\"" + proposal + "\" is already on the phone (use --overwrite, --skip or --rename-to)",
         kExitRefused);
    return ModalResult::Cancel;
}

ModalResult CliUi::RenameDialog(std::string& name) {
    name = newName;
    return ModalResult::Ok;
}

void CliUi::ProgressChanged() {
    // The progress window closed: so does the progress line.
    if (progress_ && !s_.Progress.Visible)
        EndProgress();
}

void CliUi::TransferProgressed(const TransferProgress& p) {
    if (!progress_)
        return;
    if (!clock_.isValid())
        clock_.start();
    meter_.Update(clock_.elapsed(), p);
    if (drawClock_.elapsed() < 200 && p.fileDone < p.fileTotal)
        return;
    drawClock_.restart();
    const double done = static_cast<double>(p.fileDone);
    const double total = static_cast<double>(p.fileTotal);
    const double speed = meter_.File().BytesPerSecond();
    std::string line = p.file;
    char numbers[160];
    if (speed > 0.0 && total > done) {
        std::snprintf(numbers, sizeof numbers, "  %.0f/%.0f KB  %.1f KB/s  %lld s left",
                      done / 1024, total / 1024, speed / 1024,
                      static_cast<long long>(meter_.File().SecondsLeft(p.fileTotal)));
    } else {
        std::snprintf(numbers, sizeof numbers, "  %.0f/%.0f KB", done / 1024, total / 1024);
    }
    line += numbers;
    if (p.batchTotal > p.fileTotal) {
        std::snprintf(numbers, sizeof numbers, "  (all: %.0f/%.0f KB)",
                      static_cast<double>(p.batchDone) / 1024,
                      static_cast<double>(p.batchTotal) / 1024);
        line += numbers;
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void CliUi::EndProgress() {
    if (!drawn_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}

}  // namespace orvo
