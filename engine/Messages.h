// What the engine tells the user, as values: which message (an id), what it is
// about (its arguments: file names, phone error codes, folders, byte counts) and,
// for a message, what kind of failure it reports. The engine builds no words; the
// front ends turn an id and its arguments into words in the language the user
// chose (app/MessageTexts).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvo {

// What a message of the core reports, for a front end that acts on it rather than
// only showing its text.
enum class MessageKind {
    PhoneRefused,  // the phone answered a command with an error line
    NoAnswer,      // the phone fell silent
    BadReply,      // the phone sent what is not a reply of the protocol
    LineLost,      // the port went away (the cable was pulled)
    Checksum,      // a file read from the phone failed its checksum
    LocalFile,     // a file on the computer could not be read or written
    Refused,       // a file the program does not send or fetch (name, size, folder rule)
    Notice,        // no failure of its own: where a renamed file's bytes were kept
};

// Every text the core has the front ends show: messages, their captions,
// progress and status lines, and the parts of the transfer lines. The arguments
// each one takes are listed in app/MessageTexts.cpp, in this order. New ids go
// before Count, with their row there and their English translation.
enum class MessageId {
    Verbatim,  // its one argument as it is (a text that is not the program's own)

    // Captions of message boxes.
    CaptionError,       // "Ошибка"
    CaptionErrorColon,  // "Ошибка:"
    CaptionErrorLatin,  // "Error"

    // The phone answered with an error line; the argument is the phone's code.
    PhoneErrorInitialising,
    PhoneErrorListing,
    PhoneErrorReading,
    PhoneErrorWriting,
    PhoneErrorErasing,
    PhoneErrorCompilingJava,
    PhoneErrorCaching,
    PhoneErrorChangingFolder,
    PhoneErrorOverwriting,
    PhoneErrorUnknown,
    // What the phone's codes mean, where the program knows.
    PhoneCodeFileNotFound,  // 11
    PhoneCodeMemoryFull,    // 2007

    // The phone fell silent, or the line went.
    WaitTimedOut,
    ConnectionErrorRead,   // "...во время чтения файла"
    ConnectionErrorWrite,  // "...во время записи файла"
    PhoneNotAnswering,
    LineLost,  // port
    PhoneNotConnected,
    ListNotRead,

    // The phone sent what is not a reply.
    BadReplyNotANumber,      // text
    BadReplyLongerThanSaid,  // bytes
    BadReplyNoLineEnd,       // bytes
    BadReplyEarlyOk,         // file
    LocalFileFailed,         // reason

    // Checksums.
    ChecksumFailed,
    ChecksumFailedNotSaved,  // file

    // Files the program does not send, fetch, delete or rename.
    InvalidNewName,             // name
    NotCopiedBadName,           // name
    NotCopiedNoSuchName,        // name
    NotCopiedControlCharacter,  // name
    NotCopiedRefusedCharacter,  // name, the character
    NotCopiedEndsWithDot,       // name
    NotCopiedDeviceName,        // name, the device
    NotDeletedBadName,          // name
    NotRenamedBadName,          // name
    NameNotForPhone,            // name
    NameNotWritable,            // name
    NameNotUtf8,
    FileTooLarge,    // file
    FileUnreadable,  // file, reason
    CannotReadFile,  // file
    ReadOnlyDisk,
    NoRoomForDefaultSound,
    NotAMelody,
    NoSuchPhoneFolder,  // folder
    JavaFolderMissing,
    TooManyJavaApps,  // bytes
    NotAJad,          // file
    NotAJar,          // file
    NoJarUrl,         // file
    JarNameMismatch,  // descriptor, the archive it names, the archive given
    JavaNameTaken,    // name

    // The rename's temporary file, and the backup's files.
    TempFileNotCreated,  // reason
    TempFileNotOpened,   // reason
    TempFileNotRead,     // reason
    RenameTooLarge,
    RenameReadBadly,
    RescuedFileKept,         // file
    FolderNotCreated,        // folder, reason
    ManifestNotWritten,      // reason
    OutsideBackup,           // file
    FileIsLink,              // file
    BackupFileLiesOutside,   // file, where it really lies
    BackupFolderNotAFolder,  // what lies there, the phone folder
    FolderTakesNoFiles,      // folder
    FileNotSaved,            // file, reason
    BackupFileMissing,       // file
    BackupFileChanged,       // file

    // The port cannot be opened.
    PortNoAccess,         // port
    PortNoAccessWindows,  // port
    PortBusy,             // port
    PortNotFound,         // port
    PortNotSerial,        // port
    PortFailed,           // port, the system's reason

    // Progress and status lines.
    StatusIdle,
    InitialisingPhone,
    InitialisingProgram,
    CachingFileList,
    RereadingFolder,  // folder
    RereadingCurrentFolder,
    CopyingFileOf,    // number, total
    CopyingFile,      // name
    CopyingToPhone,   // name
    DeletingFilesOf,  // number, total
    DeletingFileOf,   // number, total
    Deleting,         // name
    RenamingFile,     // name
    CopyingToTemp,
    DeletingOldFile,
    CopyingWithNewName,
    FinishingOperation,
    FinishingCurrentOperation,
    CompilingJava,
    EnteringJava,
    SendingWriteCommand,  // file
    WritingFile,          // file

    // Sizes and transfer lines.
    SizeBytes,      // count
    SizeKilobytes,  // count
    SizeMegabytes,  // count
    SizeGigabytes,  // count
    SizeTerabytes,  // count
    DecimalPoint,
    TransferDoneOf,    // done, total
    TransferSpeed,     // size
    TransferTimeLeft,  // duration

    Count
};

// A text: which one and its arguments (UTF-8).
struct Text {
    MessageId id = MessageId::Verbatim;
    std::vector<std::string> args;

    Text() = default;
    Text(MessageId i, std::vector<std::string> a = {}) : id(i), args(std::move(a)) {}
    // A text that is not the program's own, shown as it is.
    static Text Verbatim(std::string text) { return Text(MessageId::Verbatim, {std::move(text)}); }
    bool operator==(const Text&) const = default;
};

// A message of the core: what it reports, its text and the caption of its box.
struct Message {
    MessageKind kind = MessageKind::Notice;
    MessageId id = MessageId::Verbatim;
    std::vector<std::string> args;
    MessageId caption = MessageId::CaptionError;

    Message() = default;
    Message(MessageKind k, MessageId i, std::vector<std::string> a = {},
            MessageId c = MessageId::CaptionError)
        : kind(k), id(i), args(std::move(a)), caption(c) {}
    Text AsText() const { return Text(id, args); }
    bool operator==(const Message&) const = default;
};

}  // namespace orvo
