// Starts the adapter simulator (tools/adapter_sim) from a test or benchmark
// program and stops it again: posix_spawn natively, CreateProcessA in the
// Windows build (which also runs the Windows simulator, under Wine if need be).
#pragma once

#include <string>
#include <vector>

class SimulatorProcess {
public:
    SimulatorProcess();
    ~SimulatorProcess();  // stops the simulator and removes its files
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Starts the simulator with `args` plus --ready-file (and --log, unless
    // `args` names one) and waits, bounded, until its socket is bound. False
    // (see GetLastError) when it could not start or exited early; a simulator
    // that is still running is stopped first.
    bool Start(const std::vector<std::string>& args);
    // The same on a second lab segment (scripts/lab-segment.sh): the
    // workstation gets a second card, kSecondCardAddress, and the simulator
    // (the native one, also for the Windows build) runs in a network
    // namespace behind it, out of reach of the first card's broadcasts.
    // Stop removes the segment again.
    bool StartOnSecondSegment(const std::vector<std::string>& args);
    static constexpr const char* kSecondCardAddress = "10.232.0.1";
    // The same on the first segment, with a second workstation address in
    // its subnet (scripts/lab-second-address.sh), kSecondAddress, which Stop
    // removes again.
    bool StartBesideSecondAddress(const std::vector<std::string>& args);
    static constexpr const char* kSecondAddress = "10.231.0.2";
    // The same with the workstation's one card left without its address
    // (scripts/lab-no-address.sh), so that no card has an IPv4 address; Stop
    // puts it back.
    bool StartWithoutWorkstationAddress(const std::vector<std::string>& args);
    // Terminates the simulator and reaps it; harmless when none runs.
    void Stop();
    bool IsRunning() const;

    // Everything the simulator has logged so far (also after Stop).
    std::string ReadLog() const;
    const std::string& GetLastError() const { return m_strError; }

    // The simulator program in the form this platform starts it.
    static std::string GetExecutablePath();

private:
    // Where the simulator runs: started directly, or by one of the scripts
    // that change the test network around it.
    enum class Placement { kDirect, kSecondSegment, kSecondAddress, kNoWorkstationAddress };
    bool StartIn(const std::vector<std::string>& args, Placement placement);
    bool MakeWorkDir();
    void RemoveWorkDir();
    bool Spawn(const std::string& program, const std::vector<std::string>& args);
    bool HasExited();  // reaps a simulator that ended by itself
    void Kill();
    std::string EndedFile() const;  // written by the script that runs it

    std::string m_strWorkDir;
    std::string m_strLogPath;
    std::string m_strError;
    bool m_bRunning = false;
    bool m_bScripted = false;  // a script runs it; its files say when it ends
#ifdef _WIN32
    void* m_hProcess = nullptr;
#else
    int m_nPid = -1;
#endif
};
