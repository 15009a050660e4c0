// The words of the core's messages, progress and status lines, in the language
// the program was started in: one table, for both front ends, from a message id
// and its arguments through the translator (context "Messages"; Russian is the
// language of the table itself, English comes from the translation).
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "engine/Messages.h"

namespace orvo {

// The text of id with its arguments put in (each %N once, as it is: a file name
// holding "%1" stays so).
QString Words(MessageId id, const std::vector<std::string>& args = {});
QString Words(const Text& text);
QString Words(const Message& message);
QString CaptionWords(const Message& message);
// The same in UTF-8.
std::string WordsUtf8(const Text& text);
std::string WordsUtf8(const Message& message);

// A stable name of the id for scripts ("phone_error_writing"), and the names of
// its arguments in order ("code"); the table's text before translation.
const char* MessageName(MessageId id);
std::vector<std::string> MessageArgNames(MessageId id);
const char* MessageSource(MessageId id);

}  // namespace orvo
