// The record's folder and file: what the guard refuses, from the facts the
// platform gives, and the record file itself on a POSIX file system, where
// links, foreign owners and open modes can be made for real.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "record/record_file.h"
#include "record/record_guard.h"
#include "tests/support/record_folder.h"

namespace {

constexpr char kSystem[] = "S-1-5-18";
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kOwnAccount[] = "S-1-5-21-1-2-3-1001";

AccessEntry Allow(const char* sid, unsigned long mask, const char* name = "") {
    return {true, false, mask, sid, name};
}

// The folder as the program makes it.
PathFacts MadeFolder() {
    PathFacts facts;
    facts.ownerSid = kAdministrators;
    facts.entries = {Allow(kSystem, 0x1f01ff), Allow(kAdministrators, 0x1f01ff),
                     Allow("S-1-5-32-545", 0x1200a9, "BUILTIN\\Users")};
    return facts;
}

TEST(RecordGuardTest, RefusesWhatOthersCouldChange) {
    const struct {
        const char* name;
        bool isFolder;
        void (*change)(PathFacts&);
        const char* ownSid;
        const char* refusal;  // "" when it may be used
    } cases[] = {
        {"as made", true, [](PathFacts&) {}, "", ""},
        {"owned by SYSTEM", true, [](PathFacts& f) { f.ownerSid = kSystem; }, "", ""},
        {"owned by a user", true,
         [](PathFacts& f) {
             f.ownerSid = kOwnAccount;
             f.ownerName = "LAB\\alice";
         },
         "", "P is owned by LAB\\alice, not by Administrators or SYSTEM"},
        {"owned by the elevated program's own account", true,
         [](PathFacts& f) { f.ownerSid = kOwnAccount; }, kOwnAccount, ""},
        {"users may add files", true,
         [](PathFacts& f) { f.entries.push_back(Allow("S-1-5-32-545", 0x2, "BUILTIN\\Users")); },
         "", "P is writable by users (BUILTIN\\Users)"},
        {"everyone may change the permissions, named by SID", true,
         [](PathFacts& f) { f.entries.push_back(Allow("S-1-1-0", 0x40000)); }, "",
         "P is writable by users (S-1-1-0)"},
        {"generic write for authenticated users", false,
         [](PathFacts& f) { f.entries.push_back(Allow("S-1-5-11", 0x40000000, "AU")); }, "",
         "P is writable by users (AU)"},
        {"denials and inherit-only entries do not count", true,
         [](PathFacts& f) {
             f.entries.push_back({false, false, 0x1f01ff, "S-1-1-0", "Everyone"});
             f.entries.push_back({true, true, 0x10000000, "S-1-3-0", "CREATOR OWNER"});
         },
         "", ""},
        {"no access list at all", true, [](PathFacts& f) { f.hasAccessList = false; }, "",
         "P is writable by users (it has no access list)"},
        {"a link, whoever owns it", false,
         [](PathFacts& f) {
             f.isLink = true;
             f.ownerSid = kOwnAccount;
         },
         "", "P is a link"},
        {"a folder where the file should be", false, [](PathFacts& f) { f.isRightKind = false; },
         "", "P is not a plain file"},
        {"a file where the folder should be", true, [](PathFacts& f) { f.isRightKind = false; }, "",
         "P is not a folder"},
        {"a second name for another file", false, [](PathFacts& f) { f.linkCount = 2; }, "",
         "P has 2 names (hard links)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PathFacts facts = MadeFolder();
        c.change(facts);
        EXPECT_EQ(JudgeRecordPath("P", c.isFolder, facts, c.ownSid), c.refusal);
    }
}

TEST(RecordFileTest, AppendsOnlyWhereNothingIsPlantedOrOpenToOthers) {
    TemporaryRecordFolder records;
    const std::filesystem::path folder = records.RecordFolder();
    const std::filesystem::path file = folder / "changes.jsonl";
    const std::filesystem::path elsewhere = std::filesystem::path(records.Root()) / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    const struct {
        const char* name;
        void (*plant)(const std::filesystem::path& folder, const std::filesystem::path& elsewhere);
        std::string refusal;  // "" when the record is appended
    } cases[] = {
        {"made on first use", [](auto&, auto&) {}, ""},
        {"appended to", [](auto&, auto&) {}, ""},
        {"others may write the folder", [](auto& f, auto&) { ::chmod(f.c_str(), 0757); },
         folder.string() + " is writable by users (others)"},
        {"the file is a link",
         [](auto& f, auto& e) {
             ::chmod(f.c_str(), 0755);
             std::filesystem::remove(f / "changes.jsonl");
             std::filesystem::create_symlink(e / "target", f / "changes.jsonl");
         },
         file.string() + " is a link"},
        {"the file has a second name",
         [](auto& f, auto& e) {
             std::filesystem::remove(f / "changes.jsonl");
             std::ofstream(e / "target").put('\n');
             std::filesystem::create_hard_link(e / "target", f / "changes.jsonl");
         },
         file.string() + " has 2 names (hard links)"},
        {"the folder is a link",
         [](auto& f, auto& e) {
             std::filesystem::remove_all(f);
             std::filesystem::create_directory_symlink(e, f);
         },
         folder.string() + " is a link"},
    };
    int appended = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.plant(folder, elsewhere);
        CRecordFile record;
        const bool opened = record.Open();
        EXPECT_EQ(record.GetProblem(), c.refusal);
        ASSERT_EQ(opened, c.refusal.empty());
        if (opened) {
            EXPECT_TRUE(record.Append("{\"n\":" + std::to_string(++appended) + "}\n"));
            EXPECT_EQ(records.Records().size(), static_cast<size_t>(appended));
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere) ||
                std::filesystem::file_size(elsewhere / "target") == 1)
        << "something was written through a link";
}

}  // namespace
