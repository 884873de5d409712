; The Windows installer: the game folder into Program Files, a Start-menu entry and an
; uninstaller. The installed game keeps the player's saves in %APPDATA%\Sprayrush, which
; the marker file Sprayrush.installed tells it; uninstalling leaves them there. Its pages
; speak English or Russian, chosen on the first (the desktop's language preselected; a
; silent setup takes that) and kept for the uninstaller.
; makensis -INPUTCHARSET UTF8 -DSOURCE=<game folder> -DOUTFILE=<setup.exe> -DVERSION=<x.y.z> -DICON=<.ico>
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
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Sprayrush.exe"
!define MUI_LANGDLL_REGISTRY_ROOT HKLM
!define MUI_LANGDLL_REGISTRY_KEY "${KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "InstallerLanguage"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_RESERVEFILE_LANGDLL

; Our own words, in both languages.
LangString UninstallLink ${LANG_ENGLISH} "Uninstall Sprayrush"
LangString UninstallLink ${LANG_RUSSIAN} "Удалить Sprayrush"
LangString GameComment ${LANG_ENGLISH} "River speedboat racing"
LangString GameComment ${LANG_RUSSIAN} "Речные гонки на катерах"

VIProductVersion "${VERSION}.0"
!macro VersionKeys LANG DESCRIPTION
  VIAddVersionKey /LANG=${LANG} "ProductName" "Sprayrush"
  VIAddVersionKey /LANG=${LANG} "FileDescription" "${DESCRIPTION}"
  VIAddVersionKey /LANG=${LANG} "FileVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "ProductVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "LegalCopyright" "Sprayrush"
!macroend
!insertmacro VersionKeys ${LANG_ENGLISH} "Sprayrush setup"
!insertmacro VersionKeys ${LANG_RUSSIAN} "Установка Sprayrush"

Function .onInit
  SetRegView 64
  SetShellVarContext all
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

Section "Sprayrush"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  FileOpen $0 "$INSTDIR\Sprayrush.installed" w
  FileWrite $0 "Installed by the setup: saves go to %APPDATA%\Sprayrush.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Sprayrush"
  CreateShortcut "$SMPROGRAMS\Sprayrush\Sprayrush.lnk" "$INSTDIR\Sprayrush.exe" "" "$INSTDIR\Sprayrush.exe" 0 \
    SW_SHOWNORMAL "" "$(GameComment)"
  CreateShortcut "$SMPROGRAMS\Sprayrush\$(UninstallLink).lnk" "$INSTDIR\Uninstall.exe"

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
  Delete "$SMPROGRAMS\Sprayrush\$(UninstallLink).lnk"
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
