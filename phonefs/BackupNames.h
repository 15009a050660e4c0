// Where a phone file goes in a backup on the computer, and the name of a Java
// application's archive in its descriptor: pure functions.
#pragma once

#include <string>
#include <vector>

namespace orvo {

struct PhoneNode;

// The folder's path as the panes name it: the folder names from the root down
// joined by "/" ("Images/OnOff/Menu Images"), "/" for the root. UTF-8.
std::string PhoneFolderPath(const PhoneNode* folder);

// The folder below root whose path is path, or null.
PhoneNode* PhoneFolderAt(PhoneNode* root, const std::string& path);

// The folder of a backup that mirrors folder, relative to the backup's top: the
// folder names from the root down, each with "/" replaced by "_" ("Images/OnOff_Menu
// Images"); empty for the root, whose files lie at the top.
std::string BackupFolderOf(const PhoneNode* folder);

// The computer file name for a phone name (UTF-8), one that every computer file
// system takes (FAT and exFAT sticks, Windows): the name itself, with "%XX" (two
// upper-case hex digits of the byte) for '%', '/', '<', '>', ':', '"', '\\', '|',
// '?', '*', the control characters, a trailing dot or space, and the first
// character of a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with
// any extension: "%43ON.txt"); "." and ".." are "%2E" and "%2E%2E". At the top of a
// backup (atTop) a name that would stand for the manifest or one of the folders
// there, in any case, gets its first character written so too. The phone name
// itself is kept in the manifest.
std::string BackupFileName(const std::string& phoneName, bool atTop);

// The computer file names of a folder's phone names, in their order: each as
// BackupFileName gives it, except that names which would be one file where case
// does not count ("A.jpg", "a.jpg") are told apart: the first in byte order keeps
// its name, the next has its lower-case letters written "%XX", the one after all
// its letters.
std::vector<std::string> BackupFileNames(const std::vector<std::string>& phoneNames, bool atTop);

// Why a file system that refuses what Windows refuses (FAT, exFAT, NTFS) cannot
// take a file name; false when it can. detail: the character refused, or the
// device's name.
struct LocalNameFault {
    enum Kind { None, NoSuchName, ControlCharacter, RefusedCharacter, EndsWithDotOrSpace, Device };
    Kind kind = None;
    std::string detail;
    explicit operator bool() const { return kind != None; }
};
LocalNameFault LocalNameProblem(const std::string& name);

// The archive a Java application descriptor (".jad" text) names in its
// "MIDlet-Jar-URL" line: the last part of the value, or empty when there is none.
std::string JarNameOf(const std::string& descriptor);

}  // namespace orvo
