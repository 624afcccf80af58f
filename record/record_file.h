// The record file, opened for appending only. Opening creates the record's
// folder where it is missing (Administrators and SYSTEM may write it, every
// user may read it), refuses a folder or file that others could change
// (record/record_guard.h) and never follows a link. The file stays open
// until the object goes, so that what was checked is what is written.
#pragma once

#include <string>

class CRecordFile {
public:
    CRecordFile() = default;
    ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // False, with GetProblem() naming the file or folder and why, when the
    // file cannot be had safely.
    bool Open();
    bool IsOpen() const;
    // Appends `line` in one write and flushes it to the disk. False, with
    // GetProblem(), when it was not written whole.
    bool Append(const std::string& line);
    const std::string& GetProblem() const { return m_strProblem; }
    const std::string& GetPath() const { return m_strPath; }

private:
    // Closes the file and keeps `problem`; false.
    bool Fail(const std::string& problem);
    std::string ShortWriteProblem(size_t written, size_t size) const;
    void Close();

#ifdef _WIN32
    void* m_hFile = nullptr;  // HANDLE; null when closed
#else
    int m_fd = -1;
#endif
    std::string m_strPath;
    std::string m_strProblem;
};
