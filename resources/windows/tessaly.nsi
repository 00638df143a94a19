; The Windows installer: the two programs, the help and the README into Program Files, a Start menu
; entry and an uninstaller. tools/package_windows.sh builds it with
;   makensis -DVERSION=x.y -DSTAGE=folder -DICON=tessaly.ico -DOUTFILE=installer.exe tessaly.nsi
; The uninstaller removes what was installed and nothing else: a settings file that Tessaly kept
; beside itself stays, with its folder.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"

Name "Tessaly"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tessaly"
InstallDirRegKey HKLM "${KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1041 "ProductName" "Tessaly"
VIAddVersionKey /LANG=1041 "FileDescription" "Tessaly Setup"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "2026 The Tessaly project"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tessaly.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}/Tessaly.exe"
  File "${STAGE}/tessaly.com"
  File "${STAGE}/Tessaly.html"
  File "${STAGE}/README.md"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tessaly.lnk" "$INSTDIR\Tessaly.exe"
  WriteRegStr HKLM "${KEY}" "DisplayName" "Tessaly"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\Tessaly.exe"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tessaly.lnk"
  Delete "$INSTDIR\Tessaly.exe"
  Delete "$INSTDIR\tessaly.com"
  Delete "$INSTDIR\Tessaly.html"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KEY}"
SectionEnd
