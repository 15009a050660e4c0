#include "app/MessageTexts.h"

#include <QCoreApplication>
#include <cstddef>

namespace orvo {

namespace {

struct Row {
    MessageId id;
    const char* name;  // for scripts; never changes
    const char* args;  // the arguments' names, in order, separated by commas
    const char* text;  // Russian, with %1, %2... for the arguments
};

// One row per id, in the order of the enum.
constexpr Row kRows[] = {
    {MessageId::Verbatim, "verbatim", "text", "%1"},
    {MessageId::CaptionError, "error", "", QT_TRANSLATE_NOOP("Messages", "Ошибка")},
    {MessageId::CaptionErrorColon, "error_colon", "", QT_TRANSLATE_NOOP("Messages", "Ошибка:")},
    {MessageId::CaptionErrorLatin, "error_latin", "", QT_TRANSLATE_NOOP("Messages", "Error")},
    {MessageId::PhoneErrorInitialising, "phone_error_initialising", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка во время инициализации телефона\r\n%1")},
    {MessageId::PhoneErrorListing, "phone_error_listing", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка чтения каталога\r\n%1")},
    {MessageId::PhoneErrorReading, "phone_error_reading", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка чтения файла\r\n%1")},
    {MessageId::PhoneErrorWriting, "phone_error_writing", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка записи файла\r\n%1")},
    {MessageId::PhoneErrorErasing, "phone_error_erasing", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка удаления файла\r\n%1")},
    {MessageId::PhoneErrorCompilingJava, "phone_error_compiling_java", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка компиляции JAVA\r\n%1")},
    {MessageId::PhoneErrorCaching, "phone_error_caching", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка кэширования спика файлов\r\n%1")},
    {MessageId::PhoneErrorChangingFolder, "phone_error_changing_folder", "code",
     QT_TRANSLATE_NOOP("Messages", "Х.З. Что за ошибка\r\n%1")},
    {MessageId::PhoneErrorOverwriting, "phone_error_overwriting", "code",
     QT_TRANSLATE_NOOP("Messages", "Ошибка перезаписи файла\r\n%1")},
    {MessageId::PhoneErrorUnknown, "phone_error_unknown", "code",
     QT_TRANSLATE_NOOP("Messages", "Неопознанная ошибка\r\n%1")},
    {MessageId::PhoneCodeFileNotFound, "phone_code_file_not_found", "",
     QT_TRANSLATE_NOOP("Messages", "Файл не найден")},
    {MessageId::PhoneCodeMemoryFull, "phone_code_memory_full", "",
     QT_TRANSLATE_NOOP("Messages", "Память заполнена")},
    {MessageId::WaitTimedOut, "wait_timed_out", "",
     QT_TRANSLATE_NOOP("Messages", "Время ожидания истекло")},
    {MessageId::ConnectionErrorRead, "connection_error_read", "",
     QT_TRANSLATE_NOOP("Messages", "Ошибка соединения\r\nво время чтения файла")},
    {MessageId::ConnectionErrorWrite, "connection_error_write", "",
     QT_TRANSLATE_NOOP("Messages", "Ошибка соединения\r\nво время записи файла")},
    {MessageId::PhoneNotAnswering, "phone_not_answering", "",
     QT_TRANSLATE_NOOP("Messages", "Телефон не отвечает")},
    {MessageId::LineLost, "line_lost", "port",
     QT_TRANSLATE_NOOP("Messages",
                       "Связь с телефоном потеряна: порт %1 отключён или пропал\r\nПодключите "
                       "кабель и нажмите \"Старт\"")},
    {MessageId::PhoneNotConnected, "phone_not_connected", "",
     QT_TRANSLATE_NOOP("Messages", "Телефон не подключён")},
    {MessageId::ListNotRead, "list_not_read", "",
     QT_TRANSLATE_NOOP("Messages",
                       "Список файлов телефона не прочитан целиком: операция прервана")},
    {MessageId::BadReplyNotANumber, "bad_reply_not_a_number", "text",
     QT_TRANSLATE_NOOP("Messages", "Телефон прислал неверный ответ\r\n'%1' не является числом")},
    {MessageId::BadReplyLongerThanSaid, "bad_reply_longer_than_said", "bytes",
     QT_TRANSLATE_NOOP("Messages",
                       "Телефон прислал неверный ответ\r\nфайл длиннее, чем объявлено (%1 байт)")},
    {MessageId::BadReplyNoLineEnd, "bad_reply_no_line_end", "bytes",
     QT_TRANSLATE_NOOP("Messages",
                       "Телефон прислал неверный ответ\r\nстрока ответа без конца (%1 байт)")},
    {MessageId::BadReplyEarlyOk, "bad_reply_early_ok", "file",
     QT_TRANSLATE_NOOP("Messages", "Телефон прислал неверный ответ\r\nOK до конца записи %1")},
    {MessageId::LocalFileFailed, "local_file_failed", "reason",
     QT_TRANSLATE_NOOP("Messages", "Ошибка работы с файлом на компьютере\r\n%1")},
    {MessageId::ChecksumFailed, "checksum_failed", "",
     QT_TRANSLATE_NOOP("Messages", "CRC Error While Reading File")},
    {MessageId::ChecksumFailedNotSaved, "checksum_failed_not_saved", "file",
     QT_TRANSLATE_NOOP("Messages", "CRC Error While Reading File\r\nФайл %1 не сохранён")},
    {MessageId::InvalidNewName, "invalid_new_name", "name",
     QT_TRANSLATE_NOOP("Messages", "Недопустимое имя файла: \"%1\"")},
    {MessageId::NotCopiedBadName, "not_copied_bad_name", "name",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" не скопирован: его имя нельзя использовать")},
    {MessageId::NotCopiedNoSuchName, "not_copied_no_such_name", "name",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" не скопирован: такого имени файла не бывает")},
    {MessageId::NotCopiedControlCharacter, "not_copied_control_character", "name",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" не скопирован: в имени есть управляющий символ")},
    {MessageId::NotCopiedRefusedCharacter, "not_copied_refused_character", "name,character",
     QT_TRANSLATE_NOOP("Messages",
                       "Файл \"%1\" не скопирован: в имени есть знак %2, недопустимый в именах "
                       "файлов")},
    {MessageId::NotCopiedEndsWithDot, "not_copied_ends_with_dot", "name",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" не скопирован: имя кончается точкой или пробелом")},
    {MessageId::NotCopiedDeviceName, "not_copied_device_name", "name,device",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" не скопирован: имя %2 занято устройством")},
    {MessageId::NotDeletedBadName, "not_deleted_bad_name", "name",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" не удалён: недопустимое имя")},
    {MessageId::NotRenamedBadName, "not_renamed_bad_name", "name",
     QT_TRANSLATE_NOOP("Messages", "Файл \"%1\" нельзя переименовать: недопустимое имя")},
    {MessageId::NameNotForPhone, "name_not_for_phone", "name",
     QT_TRANSLATE_NOOP("Messages", "Имя файла \"%1\" нельзя записать в телефон")},
    {MessageId::NameNotWritable, "name_not_writable", "name",
     QT_TRANSLATE_NOOP("Messages",
                       "Имя файла \"%1\" нельзя записать в телефон: в нём есть знаки, которых нет "
                       "в кодировке Windows-1251, или кавычки и переводы строки")},
    {MessageId::NameNotUtf8, "name_not_utf8", "",
     QT_TRANSLATE_NOOP("Messages", "Имя файла нельзя записать в UTF-8")},
    {MessageId::FileTooLarge, "file_too_large", "file",
     QT_TRANSLATE_NOOP("Messages", "Файл %1 слишком большой")},
    {MessageId::FileUnreadable, "file_unreadable", "file,reason",
     QT_TRANSLATE_NOOP("Messages", "Не удаётся прочитать файл %1\r\n%2")},
    {MessageId::CannotReadFile, "cannot_read_file", "file",
     QT_TRANSLATE_NOOP("Messages", "Не удаётся прочитать файл %1")},
    {MessageId::ReadOnlyDisk, "read_only_disk", "",
     QT_TRANSLATE_NOOP("Messages", "Диск только для чтения")},
    {MessageId::NoRoomForDefaultSound, "no_room_for_default_sound", "",
     QT_TRANSLATE_NOOP("Messages", "No Room For Default Sound. Please Delete One Of Them")},
    {MessageId::NotAMelody, "not_a_melody", "", QT_TRANSLATE_NOOP("Messages", "Not a melody file")},
    {MessageId::NoSuchPhoneFolder, "no_such_phone_folder", "folder",
     QT_TRANSLATE_NOOP("Messages", "Нет такой папки в телефоне: %1")},
    {MessageId::JavaFolderMissing, "java_folder_missing", "",
     QT_TRANSLATE_NOOP("Messages", "Папка java не найдена")},
    {MessageId::TooManyJavaApps, "too_many_java_apps", "bytes",
     QT_TRANSLATE_NOOP("Messages",
                       "Слишком много приложений в папке java: список suites.utf не может быть "
                       "длиннее %1 байт. Удалите часть приложений.")},
    {MessageId::NotAJad, "not_a_jad", "file",
     QT_TRANSLATE_NOOP("Messages", "Это не описание Java-приложения (.jad): %1")},
    {MessageId::NotAJar, "not_a_jar", "file",
     QT_TRANSLATE_NOOP("Messages", "Это не архив Java-приложения (.jar): %1")},
    {MessageId::NoJarUrl, "no_jar_url", "file",
     QT_TRANSLATE_NOOP("Messages", "В файле %1 нет строки MIDlet-Jar-URL")},
    {MessageId::JarNameMismatch, "jar_name_mismatch", "descriptor,named,given",
     QT_TRANSLATE_NOOP("Messages", "Файл %1 называет архив %2, а не %3")},
    {MessageId::JavaNameTaken, "java_name_taken", "name",
     QT_TRANSLATE_NOOP("Messages", "Приложение не установлено: имя %1 уже занято в телефоне")},
    {MessageId::TempFileNotCreated, "temp_file_not_created", "reason",
     QT_TRANSLATE_NOOP("Messages", "Не удалось создать временный файл\r\n%1")},
    {MessageId::TempFileNotOpened, "temp_file_not_opened", "reason",
     QT_TRANSLATE_NOOP("Messages", "Не удалось открыть временный файл\r\n%1")},
    {MessageId::TempFileNotRead, "temp_file_not_read", "reason",
     QT_TRANSLATE_NOOP("Messages", "Ошибка чтения временного файла\r\n%1")},
    {MessageId::RenameTooLarge, "rename_too_large", "",
     QT_TRANSLATE_NOOP("Messages", "Файл слишком большой, переименование отменено")},
    {MessageId::RenameReadBadly, "rename_read_badly", "",
     QT_TRANSLATE_NOOP("Messages", "Файл прочитан с ошибкой, переименование отменено")},
    {MessageId::RescuedFileKept, "rescued_file_kept", "file",
     QT_TRANSLATE_NOOP("Messages", "Файл сохранён в %1")},
    {MessageId::FolderNotCreated, "folder_not_created", "folder,reason",
     QT_TRANSLATE_NOOP("Messages", "Не удалось создать папку %1\r\n%2")},
    {MessageId::ManifestNotWritten, "manifest_not_written", "reason",
     QT_TRANSLATE_NOOP("Messages", "Не удалось записать список резервной копии\r\n%1")},
    {MessageId::OutsideBackup, "outside_backup", "file",
     QT_TRANSLATE_NOOP("Messages", "Файл вне папки резервной копии: %1")},
    {MessageId::FileIsLink, "file_is_link", "file",
     QT_TRANSLATE_NOOP("Messages", "Файл %1 - символическая ссылка: не записан")},
    {MessageId::BackupFileLiesOutside, "backup_file_lies_outside", "file,real",
     QT_TRANSLATE_NOOP("Messages", "Файл %1 лежит вне папки резервной копии (%2): не записан")},
    {MessageId::BackupFolderNotAFolder, "backup_folder_not_a_folder", "folder,phone_folder",
     QT_TRANSLATE_NOOP("Messages",
                       "Папка %1 в резервной копии не папка (символическая ссылка?): файлы папки "
                       "%2 не записаны")},
    {MessageId::FolderTakesNoFiles, "folder_takes_no_files", "folder",
     QT_TRANSLATE_NOOP("Messages", "Папка %1 не принимает файлов")},
    {MessageId::FileNotSaved, "file_not_saved", "file,reason",
     QT_TRANSLATE_NOOP("Messages", "Файл %1 не сохранён\r\n%2")},
    {MessageId::BackupFileMissing, "backup_file_missing", "file",
     QT_TRANSLATE_NOOP("Messages", "Нет файла %1")},
    {MessageId::BackupFileChanged, "backup_file_changed", "file",
     QT_TRANSLATE_NOOP("Messages", "Файл %1 изменился после резервного копирования")},
    {MessageId::PortNoAccess, "port_no_access", "port",
     QT_TRANSLATE_NOOP("Messages",
                       "Нет доступа к порту %1: добавьте учётную запись в группу dialout и войдите "
                       "в систему заново (см. docs/serial-access.md)")},
    {MessageId::PortNoAccessWindows, "port_no_access_windows", "port",
     QT_TRANSLATE_NOOP("Messages",
                       "Нет доступа к порту %1: у учётной записи нет прав на это устройство; "
                       "проверьте его в диспетчере устройств или спросите администратора "
                       "компьютера")},
    {MessageId::PortBusy, "port_busy", "port",
     QT_TRANSLATE_NOOP("Messages",
                       "Порт %1 занят другой программой: закройте её и нажмите \"Старт\"")},
    {MessageId::PortNotFound, "port_not_found", "port",
     QT_TRANSLATE_NOOP("Messages",
                       "Порт %1 не найден: устройство отключено или пропало. Проверьте кабель и "
                       "выберите порт снова")},
    {MessageId::PortNotSerial, "port_not_serial", "port",
     QT_TRANSLATE_NOOP("Messages", "%1 не последовательный порт: выберите другой порт")},
    {MessageId::PortFailed, "port_failed", "port,reason",
     QT_TRANSLATE_NOOP("Messages", "Порт %1: %2")},
    {MessageId::StatusIdle, "status_idle", "", QT_TRANSLATE_NOOP("Messages", "Idle")},
    {MessageId::InitialisingPhone, "initialising_phone", "",
     QT_TRANSLATE_NOOP("Messages", "Инициализируем телефон")},
    {MessageId::InitialisingProgram, "initialising_program", "",
     QT_TRANSLATE_NOOP("Messages", "Инициализируем программу")},
    {MessageId::CachingFileList, "caching_file_list", "",
     QT_TRANSLATE_NOOP("Messages", "Кэширование списка файлов")},
    {MessageId::RereadingFolder, "rereading_folder", "folder",
     QT_TRANSLATE_NOOP("Messages", "Перечитываем папку %1")},
    {MessageId::RereadingCurrentFolder, "rereading_current_folder", "",
     QT_TRANSLATE_NOOP("Messages", "Перечитываем текущую папку")},
    {MessageId::CopyingFileOf, "copying_file_of", "number,total",
     QT_TRANSLATE_NOOP("Messages", "Копируем файл %1 из %2")},
    {MessageId::CopyingFile, "copying_file", "name",
     QT_TRANSLATE_NOOP("Messages", "Копируем файл %1")},
    {MessageId::CopyingToPhone, "copying_to_phone", "name",
     QT_TRANSLATE_NOOP("Messages", "Copying to Phone %1")},
    {MessageId::DeletingFilesOf, "deleting_files_of", "number,total",
     QT_TRANSLATE_NOOP("Messages", "Удаляем файлы %1 из %2")},
    {MessageId::DeletingFileOf, "deleting_file_of", "number,total",
     QT_TRANSLATE_NOOP("Messages", "Удаляем файл %1 из %2")},
    {MessageId::Deleting, "deleting", "name", QT_TRANSLATE_NOOP("Messages", "Удаляем %1")},
    {MessageId::RenamingFile, "renaming_file", "name",
     QT_TRANSLATE_NOOP("Messages", "Переименовываем файл %1")},
    {MessageId::CopyingToTemp, "copying_to_temp", "",
     QT_TRANSLATE_NOOP("Messages", "Копируем текущий файл во временную папку")},
    {MessageId::DeletingOldFile, "deleting_old_file", "",
     QT_TRANSLATE_NOOP("Messages", "Удаляем старый файл")},
    {MessageId::CopyingWithNewName, "copying_with_new_name", "",
     QT_TRANSLATE_NOOP("Messages", "Копируем файл с новым именем")},
    {MessageId::FinishingOperation, "finishing_operation", "",
     QT_TRANSLATE_NOOP("Messages", "Завершение операции")},
    {MessageId::FinishingCurrentOperation, "finishing_current_operation", "",
     QT_TRANSLATE_NOOP("Messages", "Завершение текущей операции")},
    {MessageId::CompilingJava, "compiling_java", "", QT_TRANSLATE_NOOP("Messages", "Компилим ЯВУ")},
    {MessageId::EnteringJava, "entering_java", "", QT_TRANSLATE_NOOP("Messages", "Заходим в java")},
    {MessageId::SendingWriteCommand, "sending_write_command", "file",
     QT_TRANSLATE_NOOP("Messages", "Посылаем команду на запись %1")},
    {MessageId::WritingFile, "writing_file", "file",
     QT_TRANSLATE_NOOP("Messages", "Записываем %1")},
    {MessageId::SizeBytes, "size_bytes", "count", QT_TRANSLATE_NOOP("Messages", "%1 Б")},
    {MessageId::SizeKilobytes, "size_kilobytes", "count", QT_TRANSLATE_NOOP("Messages", "%1 КБ")},
    {MessageId::SizeMegabytes, "size_megabytes", "count", QT_TRANSLATE_NOOP("Messages", "%1 МБ")},
    {MessageId::SizeGigabytes, "size_gigabytes", "count", QT_TRANSLATE_NOOP("Messages", "%1 ГБ")},
    {MessageId::SizeTerabytes, "size_terabytes", "count", QT_TRANSLATE_NOOP("Messages", "%1 ТБ")},
    {MessageId::DecimalPoint, "decimal_point", "", QT_TRANSLATE_NOOP("Messages", ",")},
    {MessageId::TransferDoneOf, "transfer_done_of", "done,total",
     QT_TRANSLATE_NOOP("Messages", "%1 из %2")},
    {MessageId::TransferSpeed, "transfer_speed", "size", QT_TRANSLATE_NOOP("Messages", "%1/с")},
    {MessageId::TransferTimeLeft, "transfer_time_left", "duration",
     QT_TRANSLATE_NOOP("Messages", "осталось %1")},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < sizeof kRows / sizeof kRows[0]; ++i)
        if (static_cast<std::size_t>(kRows[i].id) != i)
            return false;
    return true;
}
static_assert(sizeof kRows / sizeof kRows[0] == static_cast<std::size_t>(MessageId::Count),
              "every message id has its row");
static_assert(InOrder(), "the rows follow the order of the ids");

const Row& RowOf(MessageId id) {
    const auto i = static_cast<std::size_t>(id);
    return i < static_cast<std::size_t>(MessageId::Count) ? kRows[i] : kRows[0];
}

// The phone's error lines carry a code; the words say what it means where the
// program knows, and nothing otherwise.
bool TakesPhoneCode(MessageId id) {
    return id >= MessageId::PhoneErrorInitialising && id <= MessageId::PhoneErrorUnknown;
}

QString CodeWords(const std::string& code) {
    if (code == "11")
        return Words(MessageId::PhoneCodeFileNotFound);
    if (code == "2007")
        return Words(MessageId::PhoneCodeMemoryFull);
    return QString();
}

// Puts the arguments in for %1..%9 in one pass, so an argument that holds "%2"
// itself stays as it is.
QString Fill(const QString& pattern, const std::vector<QString>& args) {
    QString out;
    out.reserve(pattern.size() + 32);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' &&
            pattern[i + 1] <= u'9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1].unicode() - u'1');
            if (n < args.size())
                out += args[n];
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace

QString Words(MessageId id, const std::vector<std::string>& args) {
    if (id == MessageId::Verbatim)
        return args.empty() ? QString() : QString::fromStdString(args.front());
    const Row& row = RowOf(id);
    std::vector<QString> filled;
    filled.reserve(args.size());
    for (const std::string& a : args)
        filled.push_back(TakesPhoneCode(id) && filled.empty() ? CodeWords(a)
                                                              : QString::fromStdString(a));
    return Fill(QCoreApplication::translate("Messages", row.text), filled);
}

QString Words(const Text& text) {
    return Words(text.id, text.args);
}

QString Words(const Message& message) {
    return Words(message.id, message.args);
}

QString CaptionWords(const Message& message) {
    return Words(message.caption);
}

std::string WordsUtf8(const Text& text) {
    return Words(text).toStdString();
}

std::string WordsUtf8(const Message& message) {
    return Words(message).toStdString();
}

const char* MessageName(MessageId id) {
    return RowOf(id).name;
}

std::vector<std::string> MessageArgNames(MessageId id) {
    std::vector<std::string> names;
    std::string name;
    for (const char* p = RowOf(id).args;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (!name.empty())
                names.push_back(name);
            name.clear();
            if (*p == '\0')
                break;
        } else {
            name += *p;
        }
    }
    return names;
}

const char* MessageSource(MessageId id) {
    return RowOf(id).text;
}

}  // namespace orvo
