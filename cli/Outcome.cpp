#include "cli/Outcome.h"

namespace orvo {

int StatusFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Checksum:
            return kExitChecksum;
        case MessageKind::NoAnswer:
        case MessageKind::BadReply:
        case MessageKind::LineLost:
            return kExitNoAnswer;
        case MessageKind::Notice:
            return kExitOk;
        case MessageKind::PhoneRefused:
        case MessageKind::Refused:
        case MessageKind::LocalFile:
            break;
    }
    return kExitRefused;
}

std::string OneLine(const std::string& text) {
    std::string out;
    bool pendingBreak = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            pendingBreak = true;
            continue;
        }
        if (pendingBreak && !out.empty())
            out += ": ";
        pendingBreak = false;
        out += c;
    }
    return out;
}

}  // namespace orvo
