#include "record/record_guard.h"

namespace {

constexpr const char* kTrustedSids[] = {
    "S-1-5-18",                                                        // SYSTEM
    "S-1-5-32-544",                                                    // Administrators
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

bool IsTrusted(const std::string& sid, const std::string& ownSid) {
    for (const char* trusted : kTrustedSids)
        if (sid == trusted)
            return true;
    return !ownSid.empty() && sid == ownSid;
}

std::string NameOf(const std::string& name, const std::string& sid) {
    return name.empty() ? sid : name;
}

}  // namespace

std::string JudgeRecordPath(const std::string& path, bool isFolder, const PathFacts& facts,
                            const std::string& ownSid) {
    if (facts.isLink)
        return path + " is a link";
    if (!facts.isRightKind)
        return path + (isFolder ? " is not a folder" : " is not a plain file");
    if (!isFolder && facts.linkCount > 1)
        return path + " has " + std::to_string(facts.linkCount) + " names (hard links)";
    if (!IsTrusted(facts.ownerSid, ownSid))
        return path + " is owned by " + NameOf(facts.ownerName, facts.ownerSid) +
               ", not by Administrators or SYSTEM";
    if (!facts.hasAccessList)
        return path + " is writable by users (it has no access list)";
    std::string writers;
    for (const AccessEntry& entry : facts.entries) {
        if (!entry.allow || entry.inheritOnly || !(entry.mask & kWriteRightsMask) ||
            IsTrusted(entry.sid, ownSid))
            continue;
        writers += (writers.empty() ? "" : ", ") + NameOf(entry.name, entry.sid);
    }
    if (!writers.empty())
        return path + " is writable by users (" + writers + ")";
    return std::string();
}
