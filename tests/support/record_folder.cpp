#include "tests/support/record_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/process_text.h"

namespace {

void SetProgramData(const std::string* value) {
#ifdef _WIN32
    ::SetEnvironmentVariableA("ProgramData", value ? value->c_str() : nullptr);
    // The C runtime's copy, which _spawn and getenv read.
    _putenv_s("ProgramData", value ? value->c_str() : "");
#else
    if (value)
        ::setenv("ProgramData", value->c_str(), 1);
    else
        ::unsetenv("ProgramData");
#endif
}

}  // namespace

TemporaryRecordFolder::TemporaryRecordFolder() {
    if (const char* previous = std::getenv("ProgramData")) {
        m_bHadPrevious = true;
        m_strPrevious = previous;
    }
    const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                       ("pellvane-records-" + std::to_string(CurrentProcessId()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    m_strOwned = root.string();
    PointAt(m_strOwned);
}

TemporaryRecordFolder::~TemporaryRecordFolder() {
    SetProgramData(m_bHadPrevious ? &m_strPrevious : nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(m_strOwned, ignored);
}

void TemporaryRecordFolder::PointAt(const std::string& root) {
    m_strRoot = root;
    SetProgramData(&m_strRoot);
}

std::string TemporaryRecordFolder::RecordFolder() const {
    return (std::filesystem::path(m_strRoot) / "Pellvane").string();
}

std::vector<nlohmann::json> TemporaryRecordFolder::Records() const {
    std::vector<nlohmann::json> records;
    std::ifstream file(std::filesystem::path(RecordFolder()) / "changes.jsonl", std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(record.is_object()) << line;
        records.push_back(std::move(record));
    }
    return records;
}
