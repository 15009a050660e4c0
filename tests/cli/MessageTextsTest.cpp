// The words of the core's messages: every id has its Russian text and its English
// translation, the arguments go in as they are, and the language follows the
// locale or the option.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTranslator>
#include <set>

#include "app/Language.h"
#include "app/MessageTexts.h"
#include "app/TransferMeter.h"

using namespace orvo;

namespace {

bool HasCyrillic(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF)
            return true;
    return false;
}

std::set<QString> Placeholders(const QString& text) {
    std::set<QString> found;
    static const QRegularExpression mark(QStringLiteral("%[1-9]"));
    for (auto it = mark.globalMatch(text); it.hasNext();) found.insert(it.next().captured());
    return found;
}

}  // namespace

TEST(MessageTexts, EveryIdHasARussianAndAnEnglishText) {
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/orvo-messages_en.qm")));
    std::set<std::string> names;
    for (int i = 0; i < static_cast<int>(MessageId::Count); ++i) {
        const auto id = static_cast<MessageId>(i);
        const std::string name = MessageName(id);
        EXPECT_TRUE(names.insert(name).second) << "two ids named " << name;
        EXPECT_TRUE(QString::fromStdString(name).contains(QRegularExpression("^[a-z0-9_]+$")))
            << name;
        const QString russian = QString::fromUtf8(MessageSource(id));
        ASSERT_FALSE(russian.isEmpty()) << name;
        // Each argument has a name for scripts, and the text shows each one.
        std::set<QString> marks;
        for (std::size_t n = 1; n <= MessageArgNames(id).size(); ++n)
            marks.insert(QStringLiteral("%%1").arg(n));
        EXPECT_EQ(Placeholders(russian), marks) << name;
        if (id == MessageId::Verbatim)
            continue;  // not the program's own words
        const QString translated = english.translate("Messages", MessageSource(id));
        EXPECT_FALSE(translated.isEmpty()) << name << " has no English";
        EXPECT_FALSE(HasCyrillic(translated)) << name << ": " << translated.toStdString();
        EXPECT_EQ(Placeholders(translated), marks) << name;
        // "Error", the caption some boxes had in English already, is the same word.
        if (id != MessageId::CaptionErrorLatin) {
            EXPECT_NE(translated, russian) << name << " is not translated";
        }
    }
}

TEST(MessageTexts, ArgumentsGoInAsTheyAreAndPhoneCodesAreSaid) {
    // Russian, the table's own words, as the form has always shown them.
    EXPECT_EQ(WordsUtf8(Message(MessageKind::PhoneRefused, MessageId::PhoneErrorWriting, {"2007"})),
              "Ошибка записи файла\r\nПамять заполнена");
    EXPECT_EQ(WordsUtf8(Message(MessageKind::PhoneRefused, MessageId::PhoneErrorReading, {"11"})),
              "Ошибка чтения файла\r\nФайл не найден");
    // A code the program does not know says nothing after the line break.
    EXPECT_EQ(WordsUtf8(Message(MessageKind::PhoneRefused, MessageId::PhoneErrorErasing, {"4"})),
              "Ошибка удаления файла\r\n");
    // A name that holds argument marks itself stays as it is.
    EXPECT_EQ(WordsUtf8(Text(MessageId::FileUnreadable, {"/tmp/50%2%1.txt", "gone"})),
              "Не удаётся прочитать файл /tmp/50%2%1.txt\r\ngone");
    EXPECT_EQ(WordsUtf8(Text::Verbatim("100% %1")), "100% %1");
    const Message m(MessageKind::Checksum, MessageId::ChecksumFailed, {},
                    MessageId::CaptionErrorLatin);
    EXPECT_EQ(CaptionWords(m).toStdString(), "Error");
    EXPECT_EQ(FormatBytes(1536), "1,5 КБ");
    EXPECT_EQ(FormatBytes(512), "512 Б");

    ASSERT_TRUE(InstallLanguage("en"));
    EXPECT_EQ(WordsUtf8(Message(MessageKind::PhoneRefused, MessageId::PhoneErrorWriting, {"2007"})),
              "Error writing the file\r\nMemory full");
    EXPECT_EQ(CaptionWords(Message(MessageKind::Refused, MessageId::ReadOnlyDisk)).toStdString(),
              "Error");
    EXPECT_EQ(FormatBytes(1536), "1.5 KB");
    EXPECT_EQ(FormatBytes(3 * 1024 * 1024), "3.0 MB");
    RateMeter meter;
    meter.Start(0);
    meter.Update(2000, 2048);
    EXPECT_EQ(ProgressLine(meter, 2048, 4096), "2.0 KB of 4.0 KB, 1.0 KB/s, 0:02 left");
    InstallLanguage("ru");
    EXPECT_EQ(ProgressLine(meter, 2048, 4096), "2,0 КБ из 4,0 КБ, 1,0 КБ/с, осталось 0:02");
}

TEST(MessageTexts, TheLocaleChoosesRussianOrEnglish) {
    auto with = [](std::map<std::string, const char*> env) {
        return LanguageOfLocale([&](const char* name) {
            const auto at = env.find(name);
            return at == env.end() ? nullptr : at->second;
        });
    };
    EXPECT_EQ(with({}), "en");
    EXPECT_EQ(with({{"LANG", "C"}}), "en");
    EXPECT_EQ(with({{"LANG", "ru_RU.UTF-8"}}), "ru");
    EXPECT_EQ(with({{"LANG", "en_GB.UTF-8"}, {"LC_MESSAGES", "ru_RU.UTF-8"}}), "ru");
    EXPECT_EQ(with({{"LANG", "ru_RU.UTF-8"}, {"LC_ALL", "C.UTF-8"}}), "en");
    EXPECT_EQ(with({{"LANG", "ru_RU.UTF-8"}, {"LC_ALL", ""}}), "ru");
}
