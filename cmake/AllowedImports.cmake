# The libraries a shipped program may import. Windows loads the KnownDLLs
# (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs, the same
# set on Windows 10 and 11; ntdll is always one) from System32 only; any other
# library it looks for in the program's folder first, where anyone who can
# write to a downloads folder could plant one. The programs use KERNEL32,
# msvcrt, ADVAPI32, GDI32, USER32 and WS2_32 of these.
# COMCTL32 is not a KnownDLL: it is allowed because every program importing it
# declares the common-controls 6 dependency in its manifest, which loads it
# from the side-by-side store (tests/hardening/check_pe.py checks that).
# iphlpapi is not a KnownDLL either: it is loaded at run time from System32
# (framework/system_libraries).
set(PELLVANE_ALLOWED_IMPORTS
    ADVAPI32.dll clbcatq.dll combase.dll COMDLG32.dll coml2.dll difxapi.dll GDI32.dll
    gdiplus.dll IMAGEHLP.dll IMM32.dll KERNEL32.dll MSCTF.dll msvcrt.dll NORMALIZ.dll NSI.dll
    ntdll.dll ole32.dll OLEAUT32.dll PSAPI.DLL RPCRT4.dll sechost.dll SETUPAPI.dll SHCORE.dll
    SHELL32.dll SHLWAPI.dll USER32.dll WLDAP32.dll WS2_32.dll
    COMCTL32.dll)
