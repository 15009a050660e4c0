#include "tests/support/EmulatorLink.h"

#include "engine/ReceiveHandler.h"

namespace orvo {

EmulatorLink::EmulatorLink(Session& s) : s_(s) {
    phone.Output = [this](const std::string& chunk) { pending.push_back(chunk); };
}

bool EmulatorLink::Write(const void* data, uint16_t length) {
    sent.append(static_cast<const char*>(data), length);
    phone.Receive(data, length);
    return true;
}

int EmulatorLink::Pump(int maxChunks) {
    int n = 0;
    while (!pending.empty() && n < maxChunks) {
        std::string chunk = std::move(pending.front());
        pending.pop_front();
        // The serial component hands over at most 2048 bytes at a time.
        if (chunk.size() > 2048) {
            pending.push_front(chunk.substr(2048));
            chunk.resize(2048);
        }
        try {
            ReceiveChunk(s_, reinterpret_cast<const uint8_t*>(chunk.data()),
                         static_cast<uint16_t>(chunk.size()));
        } catch (const std::exception& e) {
            // The application's general error report.
            s_.Report(Message(MessageKind::LocalFile, MessageId::Verbatim, {e.what()}));
        }
        ++n;
    }
    return n;
}

EmulatorRig::EmulatorRig() {
    s.Port = &link;
    s.Ui = &ui;
    s.PhonePane = &pane;
    s.Source = &source;
}

}  // namespace orvo
