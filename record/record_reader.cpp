#include "record/record_reader.h"

#ifdef _WIN32
#include <windows.h>

#include "framework/text_encoding.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

constexpr size_t kChunk = 64 * 1024;

#ifdef _WIN32
std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length ? WideToUtf8(std::wstring(buffer, length)) : std::string();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    const std::string number = std::string("error ") + std::to_string(code);
    return text.empty() ? number : text + " (" + number + ")";
}

RecordFileText Failed(DWORD code) {
    RecordFileText file;
    file.error = SystemErrorText(code);
    return file;
}
#else
RecordFileText Failed(int code) {
    RecordFileText file;
    file.error = std::strerror(code);
    return file;
}
#endif

}  // namespace

RecordFileText ReadRecordFile(const std::string& path) {
    RecordFileText file;
    std::string chunk(kChunk, '\0');
#ifdef _WIN32
    const HANDLE handle = ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            file.status = RecordFileText::Status::kMissing;
        else
            file = Failed(error);
        return file;
    }
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(handle, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) {
            file = Failed(::GetLastError());
            ::CloseHandle(handle);
            return file;
        }
        if (read == 0)
            break;
        file.text.append(chunk, 0, read);
    }
    ::CloseHandle(handle);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            file.status = RecordFileText::Status::kMissing;
        else
            file = Failed(errno);
        return file;
    }
    for (;;) {
        const ssize_t read = ::read(fd, chunk.data(), chunk.size());
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0) {
            file = Failed(errno);
            ::close(fd);
            return file;
        }
        if (read == 0)
            break;
        file.text.append(chunk, 0, static_cast<size_t>(read));
    }
    ::close(fd);
#endif
    file.status = RecordFileText::Status::kRead;
    return file;
}
