// Whether the record's folder and file are safe to append to from an
// elevated program. Every user may create folders in the shared
// program-data folder, so a "Pellvane" folder found there may belong to
// anyone, and a link planted in it would make this program append to a file
// of someone else's choosing. Portable: the platform's side gathers the
// facts (record_file_*.cpp), this decides.
#pragma once

#include <string>
#include <vector>

// One entry of an access list, as the platform has it.
struct AccessEntry {
    bool allow = true;
    bool inheritOnly = false;  // applies only to what is created inside
    unsigned long mask = 0;    // access rights, numbered as the platform numbers them
    std::string sid;           // "S-1-5-32-544"
    std::string name;          // "BUILTIN\Administrators"; the SID where no name is known
};

// What the platform tells of the folder or the file.
struct PathFacts {
    bool isLink = false;      // a reparse point or symbolic link
    bool isRightKind = true;  // a folder for the folder, a plain disk file for the file
    unsigned linkCount = 1;   // names of the file (hard links)
    std::string ownerSid, ownerName;
    bool hasAccessList = true;  // none at all lets everyone do everything
    std::vector<AccessEntry> entries;
};

// The access rights that let someone change the folder's or the file's
// content or its protection.
constexpr unsigned long kWriteRightsMask = 0x0002         // write data, add file
                                           | 0x0004       // append data, add folder
                                           | 0x0040       // delete child
                                           | 0x10000      // delete
                                           | 0x40000      // change permissions
                                           | 0x80000      // take ownership
                                           | 0x10000000   // generic all
                                           | 0x40000000;  // generic write

// Why `path` must not be used, or "" when it may. Owners and writers that
// are trusted: SYSTEM, Administrators, TrustedInstaller and, when this
// program runs elevated, its own account (`ownSid`, "" otherwise): what an
// administrator's own programs make is owned by that account where the
// platform is set so, and UAC does not separate an administrator from
// them. Names in the reason: "... is a link", "... is writable by users
// (BUILTIN\Users)", "... is owned by DOMAIN\name, not by Administrators or
// SYSTEM".
std::string JudgeRecordPath(const std::string& path, bool isFolder, const PathFacts& facts,
                            const std::string& ownSid);
