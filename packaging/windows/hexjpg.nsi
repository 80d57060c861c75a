; The setup program: the two programs in Program Files, a Start-menu entry with the icon, an
; uninstaller listed in Apps & features, and the marker that sends 1.jpg to the user's pictures
; folder, as the Debian package does. makensis -DVERSION=... -DFILES=... -DOUT=... hexjpg.nsi
Target amd64-unicode ; a 64-bit setup program for 64-bit programs
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define NAME "图片转换工具"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\hexjpg"

Name "${NAME} ${VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\hexjpg"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
Icon "${FILES}\icon.ico"
UninstallIcon "${FILES}\icon.ico"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "${NAME}"
VIAddVersionKey /LANG=2052 "FileDescription" "${NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "hexjpg"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"

Section
    SetShellVarContext all
    SetOutPath "$INSTDIR\bin"
    File "${FILES}\hexjpg.exe"
    File "${FILES}\hexjpg-cli.exe"
    SetOutPath "$INSTDIR\share\hexjpg"
    File "${FILES}\output-folder"
    SetOutPath "$INSTDIR"
    File "${FILES}\README.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\bin\hexjpg.exe" "" "$INSTDIR\bin\hexjpg.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\hexjpg.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "hexjpg"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\${NAME}.lnk"
    Delete "$INSTDIR\bin\hexjpg.exe"
    Delete "$INSTDIR\bin\hexjpg-cli.exe"
    Delete "$INSTDIR\share\hexjpg\output-folder"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR\share\hexjpg"
    RMDir "$INSTDIR\share"
    RMDir "$INSTDIR\bin"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
