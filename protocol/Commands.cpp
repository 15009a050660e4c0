#include "protocol/Commands.h"

#include <string>

namespace orvo {

namespace {

Bytes Quoted(const char* prefix, const Bytes& argument) {
    Bytes line = prefix;
    line += argument;
    line += "\"\r\n";
    return line;
}

}  // namespace

Bytes FormatCommand(PhoneCommand kind, const Bytes& argument) {
    switch (kind) {
        case PhoneCommand::Reset:
            return "ATZ\r\n";
        case PhoneCommand::List:
            return Quoted("AT+FSDL=\"", argument);
        case PhoneCommand::Read:
            return Quoted("AT+FSFR=-1,\"", argument);
        case PhoneCommand::Erase:
            return Quoted("AT+FSFE=-1,\"", argument);
        case PhoneCommand::ChangeFolder:
            return Quoted("AT+FSCD=\"", argument);
        default:
            return Bytes();
    }
}

Bytes FormatWriteCommand(const Bytes& name, uint32_t size, uint32_t crc) {
    Bytes line = "AT+FSFW=-1,\"";
    line += name;
    line += "\",";
    line += std::to_string(size % kWriteBlockSize);
    line += ",\" \",";
    line += std::to_string(size);
    line += ",";
    line += std::to_string(crc);
    line += "\r\n";
    return line;
}

}  // namespace orvo
