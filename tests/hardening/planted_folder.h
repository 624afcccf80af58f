// A downloads folder as an attacker prepares it: a fresh folder holding a
// copy of one program and, beside it, the stand-in IPHLPAPI.DLL. The test
// that uses it runs with WINEDLLOVERRIDES="iphlpapi=n,b" (set by ctest: Wine
// reads it from the Unix environment a program starts with), so that Wine
// prefers a library beside a program, as Windows does for one outside the
// KnownDLLs.
#pragma once

#include <filesystem>
#include <string>

class PlantedFolder {
public:
    // `program`: a path as the build names it.
    explicit PlantedFolder(const std::string& program);
    ~PlantedFolder();
    PlantedFolder(const PlantedFolder&) = delete;
    PlantedFolder& operator=(const PlantedFolder&) = delete;

    // False (with the reason in GetLastError) when the folder could not be made.
    bool IsReady() const { return m_strError.empty(); }
    const std::string& GetLastError() const { return m_strError; }

    // The copy of the program, as a Windows path.
    std::string ProgramPath() const { return m_program.string(); }

    // Whether a program importing IPHLPAPI.DLL, started from the folder, gets
    // the stand-in: without that, a test of the copy would prove nothing.
    // Leaves no marker behind.
    bool StandInIsPreferred();

    // The program that loaded the stand-in, empty while none did.
    std::string LoadedBy() const;

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_program;
    std::string m_strError;
};
