; The Windows installer, r7kprog-setup.exe (scripts/package-windows builds it with makensis):
; r7kprog.exe, r7k.exe, the bitmap buttons' pictures and the manual; Start-menu and desktop
; shortcuts; an uninstaller registered in Add/Remove Programs. For all users (Program Files,
; needs an administrator) or the current user only (no administrator needed): the installer
; asks, or /AllUsers or /CurrentUser on the command line; /S installs silently.
;
; makensis -DVERSION=0.1.0 -DSTAGE=folder-with-the-files -DOUTFILE=r7kprog-setup.exe r7kprog.nsi

; A 64-bit installer for 64-bit programs (it runs where they run, and under a Wine without
; 32-bit support).
Target amd64-unicode
!ifndef VERSION
  !error "VERSION is not defined (-DVERSION=...)"
!endif
!ifndef STAGE
  !error "STAGE is not defined (-DSTAGE=...)"
!endif
!ifndef OUTFILE
  !define OUTFILE "r7kprog-setup.exe"
!endif

!define APP_NAME "Vardex R7000 Programmer"
!define APP_KEY "r7kprog"
!define PUBLISHER "The r7kprog developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP_KEY}"

Name "${APP_NAME}"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "r7kprog"
; Where an earlier installation went, and which mode the uninstaller is in.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh

!define MUI_ICON "${STAGE}\r7kprog.ico"
!define MUI_UNICON "${STAGE}\r7kprog.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\r7kprog.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\manual\en\index.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the manual"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Dutch"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${APP_NAME} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Function .onInit
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${STAGE}\r7kprog.exe"
  File "${STAGE}\r7k.exe"
  File "${STAGE}\question.bmp"
  File "${STAGE}\full.bmp"
  File "${STAGE}\r7kprog.ico"
  File "${STAGE}\README.txt"
  SetOutPath "$INSTDIR\manual"
  File /r "${STAGE}\manual\*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\r7kprog.exe" "" "$INSTDIR\r7kprog.ico"
  CreateShortcut "$DESKTOP\${APP_NAME}.lnk" "$INSTDIR\r7kprog.exe" "" "$INSTDIR\r7kprog.ico"

  ; Add/Remove Programs, in the hive of the install mode (SHCTX: HKLM or HKCU).
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\r7kprog.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  Delete "$DESKTOP\${APP_NAME}.lnk"
  Delete "$INSTDIR\r7kprog.exe"
  Delete "$INSTDIR\r7k.exe"
  Delete "$INSTDIR\question.bmp"
  Delete "$INSTDIR\full.bmp"
  Delete "$INSTDIR\r7kprog.ico"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\manual"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
