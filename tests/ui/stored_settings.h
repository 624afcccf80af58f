// The HPLC settings where the data system's driver reads them: the system keys
// in the registry's 32-bit view, the data-system folder named in win.ini and
// the driver settings file in it. Tests set them up, read them back byte for
// byte and compare snapshots taken before and after a window run.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

namespace stored {

// "Software\Quorvel\HPLCSYSTEMS\SYSTEM-n"
std::string SystemKey(int n);
// Removes everything under "Software\Quorvel", in both registry views,
// read-only system keys included.
void DeleteSystemKeys();
// System n's key as a standard user meets it: everyone may read it, nobody
// may write it. False when its security could not be set.
bool MakeSystemKeyReadOnly(int n);
// True when "Software\Quorvel" exists in the 64-bit view, where the
// 32-bit driver would not look.
bool ExistsIn64BitView();
// A system key as an earlier run left it: IFTYPE, HOST, NAME "Controller"
// and the three empty sub-keys.
void PutSystemKey(int n, const std::string& ifType, const std::string& host);

// A value's exact bytes (a string's NUL included), or "<missing>", read from
// the 32-bit view's place in the 64-bit registry (Software\Wow6432Node).
std::string ReadValue(int n, const char* name);
// A string value as a program stores it: its text and the terminating NUL.
std::string StringBytes(const std::string& text);

std::string FileBytes(const std::string& path);

// Everything both system keys hold (values with type and bytes, sub-keys,
// time of last write) and the driver settings file's bytes, as one text.
std::string Snapshot(const std::string& iniPath);

// A fresh data-system folder, named as LocalPath in win.ini's "Ploven"
// section for as long as the object lives.
class DriverFolder {
public:
    DriverFolder();
    ~DriverFolder();
    DriverFolder(const DriverFolder&) = delete;
    DriverFolder& operator=(const DriverFolder&) = delete;

    const std::string& Folder() const { return m_strFolder; }
    const std::string& IniPath() const { return m_strIni; }
    void WriteIni(const std::string& bytes) const;
    std::string IniBytes() const { return FileBytes(m_strIni); }

private:
    std::string m_strFolder;
    std::string m_strIni;
};

}  // namespace stored
