#include "tests/hardening/planted_folder.h"

#include <fstream>
#include <iterator>

#include "tests/support/process_text.h"

#ifndef PELLVANE_PLANTED_LIBRARY_PATH
#error "PELLVANE_PLANTED_LIBRARY_PATH must name the stand-in IPHLPAPI.DLL"
#endif

namespace fs = std::filesystem;

namespace {

const char kOverrides[] = "WINEDLLOVERRIDES";
const char kMarker[] = "planted-library-loaded.txt";  // planted_iphlpapi.c writes it

}  // namespace

PlantedFolder::PlantedFolder(const std::string& program) {
    char before[4096];
    DWORD n = ::GetEnvironmentVariableA(kOverrides, before, sizeof(before));
    m_bHadOverrides = n > 0 && n < sizeof(before);
    if (m_bHadOverrides)
        m_strOverridesBefore.assign(before, n);
    ::SetEnvironmentVariableA(kOverrides, "iphlpapi=n,b");

    static int s_count = 0;
    m_folder = fs::temp_directory_path() / ("pv-downloads-" + std::to_string(CurrentProcessId()) +
                                            "-" + std::to_string(++s_count));
    const fs::path source = PlatformPath(program);
    m_program = m_folder / source.filename();
    std::error_code error;
    fs::remove_all(m_folder, error);
    if (!fs::create_directory(m_folder, error) || !fs::copy_file(source, m_program, error) ||
        !fs::copy_file(PlatformPath(PELLVANE_PLANTED_LIBRARY_PATH), m_folder / "IPHLPAPI.DLL",
                       error))
        m_strError = "cannot prepare " + m_folder.string() + ": " + error.message();
}

PlantedFolder::~PlantedFolder() {
    ::SetEnvironmentVariableA(kOverrides, m_bHadOverrides ? m_strOverridesBefore.c_str() : nullptr);
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

std::string PlantedFolder::LoadedBy() const {
    std::ifstream in(m_folder / kMarker, std::ios::binary);
    if (!in)
        return "";
    std::string program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return program.empty() ? "(unnamed program)" : program;
}
