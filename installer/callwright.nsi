; Callwright's setup: a per-user installation that needs no administrator rights.
;
; The build (installer/CMakeLists.txt) runs makensis with the values below; by hand:
;   makensis -NOCD -DVERSION=1.0.0 -DVERSION_NUMBERS=1.0.0.0 -DPROGRAM=<Callwright.exe>
;            -DICON=<Callwright.ico> -DOUTFILE=<setup.exe> callwright.nsi
;
; What it does:
;   - copies Callwright.exe and the uninstaller into %LOCALAPPDATA%\Programs\Callwright, where the
;     program can write its config.ini and its Records folder (it keeps both beside itself);
;   - puts a "Callwright" shortcut into the user's Start-menu Programs folder;
;   - registers the uninstaller with Apps & Features under HKCU;
;   - never replaces or removes a running Callwright, and never touches settings or recordings
;     unless the user asks the uninstaller to.
; /S runs setup and uninstaller silently; a silent uninstall keeps settings and recordings.

!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "makensis needs -D${NAME}=... (see the top of callwright.nsi)"
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine VERSION_NUMBERS
!insertmacro RequireDefine PROGRAM
!insertmacro RequireDefine ICON
!insertmacro RequireDefine OUTFILE

Unicode true
; Callwright.exe is a 64-bit program, so the setup is one too.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written (a program still running from the folder) is retried or ends the
; setup; it is never skipped.
AllowSkipFiles off

!define PRODUCT "Callwright"
!define PUBLISHER "Callwright"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Callwright"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Callwright holds this mutex for as long as it runs (one instance per logon).
!define APP_MUTEX "CALLWRIGHT-APP"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An earlier installation is updated where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

; ---- Pages ----------------------------------------------------------------------------------------
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TITLE "Welcome to the ${PRODUCT} ${VERSION} Setup"
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} for you alone; it needs no administrator rights.$\r$\n$\r$\n${PRODUCT} will be installed into$\r$\n$INSTDIR$\r$\nand gets an entry in your Start menu. Its settings and recordings stay beside it and are kept when you install a newer version.$\r$\n$\r$\nClick Install to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Callwright.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "OriginalFilename" "Callwright-${VERSION}-setup.exe"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${PUBLISHER}"

; ---- A running Callwright -------------------------------------------------------------------------
; Asks the user to end a running Callwright and checks again on Retry; Cancel (and a silent run,
; which cannot ask) ends with exit code 2 before anything has changed.
!macro DEFINE_ENSURE_NOT_RUNNING UN VERB
Function ${UN}EnsureNotRunning
  retry:
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${APP_MUTEX}") p.r0 ?e'
    Pop $1
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
    ${ElseIf} $1 <> ${ERROR_ACCESS_DENIED}
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running, and a running program cannot be ${VERB}.$\r$\n$\r$\nOpen its main window (start ${PRODUCT} again if it runs in the background), end it with its Close button, then choose Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
FunctionEnd
!macroend
!insertmacro DEFINE_ENSURE_NOT_RUNNING "" "replaced"
!insertmacro DEFINE_ENSURE_NOT_RUNNING "un." "removed"

; ---- Installation ---------------------------------------------------------------------------------
Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call EnsureNotRunning
  SetShellVarContext current

  ; config.ini and the Records folder of an earlier installation are left as they are.
  SetOutPath "$INSTDIR"
  File "/oname=Callwright.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut's working folder is $OUTPATH, the program's own.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Callwright.exe" "" "$INSTDIR\Callwright.exe" 0 \
                 SW_SHOWNORMAL "" "Records the voice calls of your VoIP client"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Callwright.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KB: the program and the uninstaller, not the user's recordings.
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; ---- Uninstallation -------------------------------------------------------------------------------
; $3 = 1 when the command line in $1 starts the program $2: "<program>" ... or <program> ... .
; The comparison ignores letter case, as the file system does.
Function un.CommandStartsProgram
  StrCpy $3 0
  StrLen $4 $2
  ${If} $4 = 0
    Return
  ${EndIf}
  StrCpy $5 $1 1
  ${If} $5 == '"'
    StrCpy $5 $1 $4 1
    IntOp $6 $4 + 1
    StrCpy $6 $1 1 $6
    ${If} $5 == $2
    ${AndIf} $6 == '"'
      StrCpy $3 1
    ${EndIf}
  ${Else}
    StrCpy $5 $1 $4
    StrCpy $6 $1 1 $4
    ${If} $5 == $2
    ${AndIf} $6 == ""
      StrCpy $3 1
    ${ElseIf} $5 == $2
    ${AndIf} $6 == " "
      StrCpy $3 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; $0 = 1 when the autostart value "Callwright" starts this installation's program, by its long or
; its short (8.3) path. A value that starts another copy belongs to that copy and stays.
Function un.RunValueIsOurs
  StrCpy $0 0
  ReadRegStr $1 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $1 == ""
    Return
  ${EndIf}
  StrCpy $2 "$INSTDIR\Callwright.exe"
  Call un.CommandStartsProgram
  ${If} $3 = 1
    StrCpy $0 1
    Return
  ${EndIf}
  GetFullPathName /SHORT $2 "$INSTDIR\Callwright.exe"
  Call un.CommandStartsProgram
  StrCpy $0 $3
FunctionEnd

Section "Uninstall"
  Call un.EnsureNotRunning
  SetShellVarContext current

  ; Decided while the program's file still exists (its short path needs it).
  Call un.RunValueIsOurs
  Push $0

  ClearErrors
  Delete "$INSTDIR\Callwright.exe"
  ${If} ${FileExists} "$INSTDIR\Callwright.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\Callwright.exe cannot be removed. End ${PRODUCT} with its Close button and run the uninstaller again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Pop $0
  ${If} $0 = 1
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}

  ; Only the default recordings folder beside the program is ours to remove; a destination folder
  ; chosen elsewhere belongs to the user.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Do you also want to delete your recordings in$\r$\n$INSTDIR\Records$\r$\nand your ${PRODUCT} settings?$\r$\n$\r$\nChoose No to keep them; a new installation in the same place uses them again." /SD IDNO IDNO keep_data
    Delete "$INSTDIR\config.ini"
    Delete "$INSTDIR\Records\*.wav"
    RMDir "$INSTDIR\Records"
  keep_data:

  Delete "$INSTDIR\uninstall.exe"
  ; Removed only when empty: kept settings and recordings keep the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
