#include "cli/Outcome.h"

namespace {

bool Has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

int StatusForMessage(const std::string& text) {
    if (Has(text, "CRC Error While Reading File"))
        return kExitChecksum;
    if (Has(text, "Телефон не отвечает") || Has(text, "Время ожидания истекло") ||
        Has(text, "Ошибка соединения") || Has(text, "Связь с телефоном потеряна") ||
        Has(text, "Телефон прислал неверный ответ"))
        return kExitNoAnswer;
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
