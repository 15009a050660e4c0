// Where a phone file goes in a backup on the computer, and the name of a Java
// application's archive in its descriptor: pure functions.
#pragma once

#include <string>

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

// The computer file name for a phone name (UTF-8): the name itself, with '%', '/'
// and the control characters written as "%XX" (two upper-case hex digits), and
// "." and ".." as "%2E" and "%2E%2E". At the top of a backup (atTop) a name that
// would stand for the manifest or one of the folders there gets its first
// character written so too. The phone name itself is kept in the manifest.
std::string BackupFileName(const std::string& phoneName, bool atTop);

// The archive a Java application descriptor (".jad" text) names in its
// "MIDlet-Jar-URL" line: the last part of the value, or empty when there is none.
std::string JarNameOf(const std::string& descriptor);

}  // namespace orvo
