// What both platforms' record files share.
#include "record/record_file.h"

bool CRecordFile::Fail(const std::string& problem) {
    Close();
    m_strProblem = problem;
    return false;
}

std::string CRecordFile::ShortWriteProblem(size_t written, size_t size) const {
    return m_strPath + " could not be written: only " + std::to_string(written) + " of " +
           std::to_string(size) + " bytes were";
}
