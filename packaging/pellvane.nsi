; Pellvane installer: a 64-bit, per-machine installation into
; Program Files\Pellvane with a Start-menu shortcut and an uninstaller.
; Built by packaging/CMakeLists.txt:
;   makensis -DVERSION=1.0 -DVERSION_QUAD=1.0.0.0 -DSTAGE_DIR=... -DICON_FILE=... -DOUT_FILE=... pellvane.nsi
; Silent use: setup.exe /S [/D=C:\Folder]   uninstall.exe /S

!ifndef VERSION
  !error "-DVERSION=... is missing"
!endif
!ifndef VERSION_QUAD
  !error "-DVERSION_QUAD=... is missing"
!endif
!ifndef STAGE_DIR
  !error "-DSTAGE_DIR=... is missing"
!endif
!ifndef ICON_FILE
  !error "-DICON_FILE=... is missing"
!endif
!ifndef OUT_FILE
  !error "-DOUT_FILE=... is missing"
!endif

; A 64-bit installer: it sees the real Program Files folder and the 64-bit
; registry, the same view Pellvane.exe itself has.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Pellvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
Icon "${ICON_FILE}"
UninstallIcon "${ICON_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; Program Files, the machine-wide Start menu and the uninstall entry all need
; an administrator.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

; The same version strings as Pellvane.exe's own resource, which carries no
; copyright line either.
!pragma warning disable 9100
VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Pellvane"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE_DIR}/Pellvane.exe"
  File "${STAGE_DIR}/pellvane-cli.exe"
  File "${STAGE_DIR}/adapter_sim.exe"
  File "${STAGE_DIR}/USER-GUIDE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Pellvane.exe" "" "$INSTDIR\Pellvane.exe" 0

  ; The entry under "Apps" / "Programs and Features".
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pellvane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; Only what the installer put there: the folder may be one the user chose
  ; and may hold files of their own, which stay (and with them the folder).
  Delete "$INSTDIR\Pellvane.exe"
  Delete "$INSTDIR\pellvane-cli.exe"
  Delete "$INSTDIR\adapter_sim.exe"
  Delete "$INSTDIR\USER-GUIDE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
