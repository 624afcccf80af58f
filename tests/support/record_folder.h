// A record of changes of the test's own: while the object lives, the shared
// program-data folder of this process, and of every program it starts, is
// a fresh temporary folder, so that tests never see each other's records
// nor the machine's.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class TemporaryRecordFolder {
public:
    TemporaryRecordFolder();
    ~TemporaryRecordFolder();
    TemporaryRecordFolder(const TemporaryRecordFolder&) = delete;
    TemporaryRecordFolder& operator=(const TemporaryRecordFolder&) = delete;

    // What %ProgramData% now names, in the platform's form; the record's
    // folder is "Pellvane" in it.
    const std::string& Root() const { return m_strRoot; }
    std::string RecordFolder() const;
    // Points %ProgramData% at `root` instead (its folder is not removed).
    void PointAt(const std::string& root);

    // The record file's lines, each parsed; a line that does not parse
    // fails the test.
    std::vector<nlohmann::json> Records() const;

private:
    std::string m_strRoot;
    std::string m_strOwned;
    std::string m_strPrevious;
    bool m_bHadPrevious = false;
};
