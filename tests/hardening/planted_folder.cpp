#include "tests/hardening/planted_folder.h"

#include <fstream>
#include <iterator>

#include "tests/support/process_text.h"

#if !defined(PELLVANE_PLANTED_LIBRARY_PATH) || !defined(PELLVANE_PLANTING_CANARY_PATH)
#error "PELLVANE_PLANTED_LIBRARY_PATH and PELLVANE_PLANTING_CANARY_PATH must be defined"
#endif

namespace fs = std::filesystem;

namespace {

const char kMarker[] = "planted-library-loaded.txt";  // planted_iphlpapi.c writes it
const char kCanary[] = "planting_canary.exe";

}  // namespace

PlantedFolder::PlantedFolder(const std::string& program) {
    static int s_count = 0;
    m_folder = fs::temp_directory_path() / ("pv-downloads-" + std::to_string(CurrentProcessId()) +
                                            "-" + std::to_string(++s_count));
    const fs::path source = PlatformPath(program);
    m_program = m_folder / source.filename();
    std::error_code error;
    fs::remove_all(m_folder, error);
    if (!fs::create_directory(m_folder, error) || !fs::copy_file(source, m_program, error) ||
        !fs::copy_file(PlatformPath(PELLVANE_PLANTED_LIBRARY_PATH), m_folder / "IPHLPAPI.DLL",
                       error) ||
        !fs::copy_file(PlatformPath(PELLVANE_PLANTING_CANARY_PATH), m_folder / kCanary, error))
        m_strError = "cannot prepare " + m_folder.string() + ": " + error.message();
}

PlantedFolder::~PlantedFolder() {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

bool PlantedFolder::StandInIsPreferred() {
    const std::string canary = (m_folder / kCanary).string();
    std::string commandLine = QuoteArgument(canary);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessRetried([&] {
            return ::CreateProcessA(canary.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                    CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
        }))
        return false;
    const DWORD code = WaitForExit(info, 1);
    const bool loaded = !LoadedBy().empty();
    std::error_code ignored;
    fs::remove(m_folder / kMarker, ignored);
    return code == 0 && loaded;
}

std::string PlantedFolder::LoadedBy() const {
    std::ifstream in(m_folder / kMarker, std::ios::binary);
    if (!in)
        return "";
    std::string program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return program.empty() ? "(unnamed program)" : program;
}
