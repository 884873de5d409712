; The Windows installer: the game folder into Program Files, a Start-menu entry and an
; uninstaller. The installed game keeps the player's saves in %APPDATA%\Sprayrush, which
; the marker file Sprayrush.installed tells it; uninstalling leaves them there.
; makensis -DSOURCE=<game folder> -DOUTFILE=<setup.exe> -DVERSION=<x.y.z> -DICON=<.ico>
; A 64-bit installer for a 64-bit game: it runs where the game runs, Wine without its
; 32-bit half included.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sprayrush"

Name "Sprayrush"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Sprayrush"
InstallDirRegKey HKLM "${KEY}" "InstallLocation"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Sprayrush"
VIAddVersionKey "FileDescription" "Sprayrush setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Sprayrush"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Sprayrush.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Sprayrush"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  FileOpen $0 "$INSTDIR\Sprayrush.installed" w
  FileWrite $0 "Installed by the setup: saves go to %APPDATA%\Sprayrush.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Sprayrush"
  CreateShortcut "$SMPROGRAMS\Sprayrush\Sprayrush.lnk" "$INSTDIR\Sprayrush.exe" "" "$INSTDIR\Sprayrush.exe" 0
  CreateShortcut "$SMPROGRAMS\Sprayrush\Uninstall Sprayrush.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${KEY}" "DisplayName" "Sprayrush"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "Publisher" "Sprayrush"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\Sprayrush.exe"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

; Only what the setup put there goes; the player's saves in %APPDATA%\Sprayrush stay.
Section "Uninstall"
  Delete "$SMPROGRAMS\Sprayrush\Sprayrush.lnk"
  Delete "$SMPROGRAMS\Sprayrush\Uninstall Sprayrush.lnk"
  RMDir "$SMPROGRAMS\Sprayrush"
  Delete "$INSTDIR\Sprayrush.exe"
  Delete "$INSTDIR\sprayrush-run.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\Sprayrush.installed"
  RMDir /r "$INSTDIR\Data\Res"
  RMDir /r "$INSTDIR\Data\Music"
  RMDir "$INSTDIR\Data"
  RMDir /r "$INSTDIR\Fonts"
  RMDir /r "$INSTDIR\Licences"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KEY}"
SectionEnd
