// The record file outside Windows (the native builds for tests): the same
// checks on owner and mode bits, links refused by the open itself.
#include "record/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "record/record_guard.h"
#include "record/record_location.h"

namespace {

std::string Because(int error) {
    return std::strerror(error);
}

// root stands for SYSTEM; group and others who may write are the users.
PathFacts FactsOf(const struct stat& status, bool isFolder) {
    PathFacts facts;
    facts.isRightKind = isFolder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode);
    facts.linkCount = isFolder ? 1 : static_cast<unsigned>(status.st_nlink);
    facts.ownerSid = status.st_uid == 0 ? "S-1-5-18" : "uid:" + std::to_string(status.st_uid);
    if (status.st_mode & S_IWGRP)
        facts.entries.push_back({true, false, 0x2, "gid:" + std::to_string(status.st_gid), ""});
    if (status.st_mode & S_IWOTH)
        facts.entries.push_back({true, false, 0x2, "others", "others"});
    return facts;
}

}  // namespace

CRecordFile::~CRecordFile() {
    Close();
}

void CRecordFile::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool CRecordFile::IsOpen() const {
    return m_fd >= 0;
}

bool CRecordFile::Open() {
    Close();
    const std::string folder = RecordFolderPath();
    m_strPath = RecordFilePath();
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail(folder + " cannot be created: " + Because(errno));
    const std::string ownSid = "uid:" + std::to_string(::geteuid());
    // O_DIRECTORY tells a link to a folder from a file no better than "not a
    // folder"; the open's O_NOFOLLOW still refuses one planted after this.
    struct stat status;
    if (::lstat(folder.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
        return Fail(folder + " is a link");
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0)
        return Fail(errno == ELOOP     ? folder + " is a link"
                    : errno == ENOTDIR ? folder + " is not a folder"
                                       : folder + " cannot be opened: " + Because(errno));
    std::string refusal = ::fstat(folderFd, &status) != 0
                              ? folder + " cannot be examined: " + Because(errno)
                              : JudgeRecordPath(folder, true, FactsOf(status, true), ownSid);
    if (refusal.empty()) {
        m_fd = ::openat(folderFd, "changes.jsonl",
                        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (m_fd < 0)
            refusal = errno == ELOOP
                          ? m_strPath + " is a link"
                          : m_strPath + " cannot be opened for appending: " + Because(errno);
        else if (::fstat(m_fd, &status) != 0)
            refusal = m_strPath + " cannot be examined: " + Because(errno);
        else
            refusal = JudgeRecordPath(m_strPath, false, FactsOf(status, false), ownSid);
    }
    ::close(folderFd);
    if (!refusal.empty())
        return Fail(refusal);
    m_strProblem.clear();
    return true;
}

bool CRecordFile::Append(const std::string& line) {
    if (m_fd < 0)
        return Fail(m_strPath + " is not open");
    const ssize_t written = ::write(m_fd, line.data(), line.size());
    if (written < 0)
        return Fail(m_strPath + " could not be written: " + Because(errno));
    if (static_cast<size_t>(written) != line.size())
        return Fail(ShortWriteProblem(static_cast<size_t>(written), line.size()));
    if (::fsync(m_fd) != 0)
        return Fail(m_strPath + " could not be written to the disk: " + Because(errno));
    return true;
}
