#include "app/TransferMeter.h"

#include <cmath>
#include <cstdio>

#include "app/MessageTexts.h"

namespace orvo {

void RateMeter::Start(int64_t nowMs, int64_t done) {
    started_ = true;
    startMs_ = nowMs_ = nowMs;
    startDone_ = done_ = done;
}

void RateMeter::Update(int64_t nowMs, int64_t done) {
    if (!started_ || done < done_ || nowMs < startMs_) {
        Start(nowMs, done);
        return;
    }
    nowMs_ = nowMs;
    done_ = done;
}

double RateMeter::BytesPerSecond() const {
    const int64_t ms = nowMs_ - startMs_;
    const int64_t bytes = done_ - startDone_;
    if (!started_ || ms <= 0 || bytes <= 0)
        return 0.0;
    return static_cast<double>(bytes) * 1000.0 / static_cast<double>(ms);
}

int64_t RateMeter::SecondsLeft(int64_t total) const {
    const double speed = BytesPerSecond();
    if (speed <= 0.0)
        return -1;
    if (total <= done_)
        return 0;
    return static_cast<int64_t>(std::ceil(static_cast<double>(total - done_) / speed));
}

void TransferMeter::Update(int64_t nowMs, const TransferProgress& p) {
    if (!batch_.Started() || p.batchDone < batch_.Done())
        batch_.Start(nowMs, p.batchDone);
    else
        batch_.Update(nowMs, p.batchDone);
    if (!file_.Started() || p.file != file_name_ || p.fileDone < file_.Done() || p.fileDone == 0) {
        file_name_ = p.file;
        file_.Start(nowMs, p.fileDone);
    } else {
        file_.Update(nowMs, p.fileDone);
    }
    last_ = p;
}

void TransferMeter::Tick(int64_t nowMs) {
    if (batch_.Started())
        batch_.Update(nowMs, batch_.Done());
    if (file_.Started())
        file_.Update(nowMs, file_.Done());
}

namespace {

// One decimal, with the language's decimal point (a comma in Russian).
std::string Decimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string s = text;
    const std::size_t dot = s.find('.');
    if (dot != std::string::npos)
        s.replace(dot, 1, WordsUtf8(Text(MessageId::DecimalPoint)));
    return s;
}

}  // namespace

std::string FormatBytes(int64_t bytes) {
    if (bytes < 0)
        bytes = 0;
    if (bytes < 1024)
        return WordsUtf8(Text(MessageId::SizeBytes, {std::to_string(bytes)}));
    static const MessageId units[] = {MessageId::SizeKilobytes, MessageId::SizeMegabytes,
                                      MessageId::SizeGigabytes, MessageId::SizeTerabytes};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return WordsUtf8(Text(units[unit], {Decimal(value)}));
}

std::string FormatDuration(int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[64];
    if (seconds >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

std::string ProgressLine(const RateMeter& meter, int64_t done, int64_t total) {
    std::string line =
        WordsUtf8(Text(MessageId::TransferDoneOf, {FormatBytes(done), FormatBytes(total)}));
    const double speed = meter.BytesPerSecond();
    if (speed > 0.0) {
        line += ", " + WordsUtf8(Text(MessageId::TransferSpeed,
                                      {FormatBytes(static_cast<int64_t>(speed))}));
        const int64_t left = meter.SecondsLeft(total);
        if (left >= 0 && done < total)
            line += ", " + WordsUtf8(Text(MessageId::TransferTimeLeft, {FormatDuration(left)}));
    }
    return line;
}

}  // namespace orvo
