// CAdapterConfigApp: the application object. Owns the two systems' host
// texts, the driver settings file's path and the adapter table, and runs the
// start-up and shut-down sequence around the main window.
#pragma once

#include <initializer_list>

#include "framework/cstring.h"
#include "framework/winapp.h"

class CAdapterTable;

class CAdapterConfigApp : public CWinApp {
public:
    CAdapterConfigApp();
    ~CAdapterConfigApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The HPLC system configuration: settings keys and the driver settings
    // file (config/system_config.cpp). n is the system number, 1 or 2.
    enum SaveFailure : UINT {      // what a failed SaveSystem could not write, as bits
        kSaveKeyFailed = 1,        // the system's settings key
        kSaveDriverIniFailed = 2,  // its section of the driver settings file
    };
    // The longest host LoadConfiguration reads back; the address fields take no more.
    static constexpr int kMaxHostLength = 255;
    void LoadConfiguration();
    void EnsureSystemKey(int n);
    // True only when the settings key and, if its path is known, the driver
    // settings file were both written; otherwise *pnFailed (if given) says
    // which. m_strHost[n] takes host only when the key was written.
    bool SaveSystem(int n, CString host, UINT* pnFailed = nullptr);
    // Before a save: true when the keys of all these systems can be written.
    // A missing key is created with its defaults, as start-up does; nothing
    // else is written, and nothing at all while an existing key is readable
    // only (as for a user without rights on the machine-wide settings).
    bool CanWriteSystemKeys(std::initializer_list<int> systems);
    // What system n's settings key holds now: its type (IFTYPE) and host, as
    // the driver reads them. A missing key counts as "NONE" and "".
    void ReadStoredAssignment(int n, CString& type, CString& host);
    // None of these needs memory once it has begun to write: running out of
    // it stops them before their first write, never halfway through.
    void WriteDriverIniDefaults(const CString& path);
    bool WriteDriverIniSystem(int n, const CString& host);  // true if written or no file is known

    CString m_strDriverIni;
    CString m_strHost[3];  // indexed by system number: [1] and [2]; [0] unused
    CAdapterTable* m_pAdapterTable = nullptr;
};
