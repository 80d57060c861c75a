; The setup program: the two programs in Program Files, a Start-menu entry with the icon, an
; uninstaller listed in Apps & features, and the marker that sends 1.jpg to the user's pictures
; folder, as the Debian package does. makensis -DVERSION=... -DFILES=... -DOUT=... hexjpg.nsi
Target amd64-unicode ; a 64-bit setup program for 64-bit programs
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\hexjpg"

OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\hexjpg"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
Icon "${FILES}\icon.ico"
UninstallIcon "${FILES}\icon.ico"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
; The setup program speaks the system's language, as the programs do: Chinese, or English.
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LangString NAME ${LANG_SIMPCHINESE} "图片转换工具"
LangString NAME ${LANG_ENGLISH} "Picture Converter"
Name "$(NAME) ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "图片转换工具"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "图片转换工具 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "hexjpg"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Picture Converter"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Picture Converter setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "hexjpg"

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
    ; The Start-menu entry is named in the language of the setup; the uninstaller finds it by
    ; the name kept in the registry.
    CreateShortCut "$SMPROGRAMS\$(NAME).lnk" "$INSTDIR\bin\hexjpg.exe" "" "$INSTDIR\bin\hexjpg.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Shortcut" "$SMPROGRAMS\$(NAME).lnk"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "$(NAME)"
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
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Shortcut"
    StrCmp $0 "" +2
    Delete "$0"
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
