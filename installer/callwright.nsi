; Callwright's setup: a per-user installation that needs no administrator rights.
;
; The build (installer/CMakeLists.txt) runs makensis with the values below; by hand:
;   makensis -NOCD -DVERSION=1.0.0 -DVERSION_NUMBERS=1.0.0.0 -DPROGRAM=<Callwright.exe>
;            -DICON=<Callwright.ico> -DOUTFILE=<setup.exe> [-DSIGN_COMMAND=<program>] callwright.nsi
; With SIGN_COMMAND, makensis runs "<program> <file>" on the uninstaller before it goes into the
; setup and on the finished setup (scripts/package.sh passes scripts/sign.sh).
;
; What it does:
;   - copies Callwright.exe and the uninstaller into %LOCALAPPDATA%\Programs\Callwright, where the
;     program can write its config.ini and its Records folder (it keeps both beside itself);
;   - puts a "Callwright" shortcut into the user's Start-menu Programs folder;
;   - registers the uninstaller with Apps & Features under HKCU;
;   - never replaces or removes the Callwright it installs while it runs, and never touches settings
;     or recordings unless the user asks the uninstaller to;
;   - installs only into a folder of its own (never a drive root, the user profile, Windows, Program
;     Files, or a folder holding other files), and its uninstaller works only in the folder that
;     Apps & Features names, on recordings named as Callwright names them.
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
; Windows 7 to 11: no compatibility shims and no version lies.
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written (a program still running from the folder) is retried or ends the
; setup; it is never skipped.
AllowSkipFiles off
; NSIS would quietly put a drive root given with /D= aside for the default folder; .onInit refuses
; it instead, in so many words.
AllowRootDirInstall true

!define PRODUCT "Callwright"
!define PUBLISHER "Callwright"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Callwright"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An earlier installation is updated where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"

!ifdef SIGN_COMMAND
  !uninstfinalize '"${SIGN_COMMAND}" "%1"' = 0
  !finalize '"${SIGN_COMMAND}" "%1"' = 0
!endif

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
VIAddVersionKey /LANG=${LANG_ENGLISH} "InternalName" "${PRODUCT} Setup"

; ---- Folders --------------------------------------------------------------------------------------
; The folder on the stack in a form that every spelling of the same folder shares (short names,
; "..", letter case aside), without a trailing backslash: for a folder that exists, its full short
; form; a folder that does not exist yet stays as it is given, since it cannot be one that exists,
; but a drive or share root comes back whole. For comparisons only, never to be shown.
; (No System plug-in calls here or below: the uninstaller carries none, which keeps it, and the
; setup that holds it, small.)
!macro DEFINE_NORMALIZE_FOLDER UN
Function ${UN}NormalizeFolder
  Exch $0
  Push $1
  ClearErrors
  GetFullPathName /SHORT $1 $0
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    StrCpy $0 $1
  ${EndIf}
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_NORMALIZE_FOLDER ""
!insertmacro DEFINE_NORMALIZE_FOLDER "un."

; $0 = why $INSTDIR is no place for Callwright, or "" when it is.
Function CheckInstallFolder
  ; "C:" alone would be taken as the current folder of drive C.
  StrCpy $0 ""
  StrCpy $2 $INSTDIR "" 1
  ${If} $2 == ":"
  ${OrIf} $2 == ":\"
    StrCpy $0 "it is the root of a drive"
    Return
  ${EndIf}
  Push $INSTDIR
  Call NormalizeFolder
  Pop $1
  StrCpy $0 ""
  ; A drive root ("C:") or the root of a share ("\\server\share").
  StrCpy $2 $1 1 1
  StrCpy $3 $1 2
  ${If} $2 == ":"
    StrLen $2 $1
    ${If} $2 <= 2
      StrCpy $0 "it is the root of a drive"
      Return
    ${EndIf}
  ${ElseIf} $3 == "\\"
    StrCpy $4 0 ; backslashes after the leading two
    StrCpy $5 2
    ${Do}
      StrCpy $2 $1 1 $5
      ${If} $2 == ""
        ${Break}
      ${EndIf}
      ${If} $2 == "\"
        IntOp $4 $4 + 1
      ${EndIf}
      IntOp $5 $5 + 1
    ${Loop}
    ${If} $4 < 2
      StrCpy $0 "it is the root of a share"
      Return
    ${EndIf}
  ${EndIf}
  !macro REFUSE_FOLDER FOLDER REASON
    Push "${FOLDER}"
    Call NormalizeFolder
    Pop $2
    ${If} $1 == $2
      StrCpy $0 "${REASON}"
      Return
    ${EndIf}
  !macroend
  !insertmacro REFUSE_FOLDER "$PROFILE" "it is your user profile folder"
  !insertmacro REFUSE_FOLDER "$WINDIR" "it is the Windows folder"
  !insertmacro REFUSE_FOLDER "$PROGRAMFILES64" "it is the Program Files folder"
  !insertmacro REFUSE_FOLDER "$PROGRAMFILES32" "it is the Program Files folder"
  ; An earlier installation, or what its uninstaller kept, may be updated; other files may not be
  ; mixed with Callwright's.
  ${If} ${FileExists} "$INSTDIR\Callwright.exe"
    Return
  ${EndIf}
  FindFirst $3 $2 "$INSTDIR\*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
    ${AndIf} $2 != "uninstall.exe"
    ${AndIf} $2 != "config.ini"
    ${AndIf} $2 != "Records"
      StrCpy $0 "it holds other files"
      ${Break}
    ${EndIf}
    FindNext $3 $2
  ${Loop}
  FindClose $3
FunctionEnd

Function .onInit
  Call CheckInstallFolder
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} cannot be installed into$\r$\n$INSTDIR$\r$\nbecause $0. It needs a folder of its own, such as$\r$\n$LOCALAPPDATA\Programs\${PRODUCT}" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; ---- A running Callwright -------------------------------------------------------------------------
; Asks the user to end the Callwright that runs from $INSTDIR and checks again on Retry; Cancel
; (and a silent run, which cannot ask) ends with exit code 2 before anything has changed. A running
; program's file cannot be opened for writing (a sharing violation, whoever started it and at any
; privilege); opening it writes nothing.
!macro DEFINE_ENSURE_NOT_RUNNING UN VERB
Function ${UN}EnsureNotRunning
  retry:
    ${IfNot} ${FileExists} "$INSTDIR\Callwright.exe"
      Return
    ${EndIf}
    ClearErrors
    FileOpen $0 "$INSTDIR\Callwright.exe" a
    ${IfNot} ${Errors}
      FileClose $0
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

; An uninstaller works only on the installation that Apps & Features knows: a copy elsewhere, or
; one whose program is gone, changes nothing.
Function un.onInit
  ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  Push $2
  Call un.NormalizeFolder
  Pop $0
  Push $INSTDIR
  Call un.NormalizeFolder
  Pop $1
  ${IfNot} ${FileExists} "$INSTDIR\Callwright.exe"
  ${OrIf} $0 != $1
    MessageBox MB_OK|MB_ICONSTOP "This uninstaller does not belong to the ${PRODUCT} installed in$\r$\n$2$\r$\nNothing was removed. Use Settings > Apps to uninstall ${PRODUCT}." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; $1 = 1 when the file name on the stack follows Callwright's recording names,
; DDMMYYYY_hhmmss_<partner>.wav, or .flac or .opus once converted, checked on the long name
; character by character (a wildcard would also match through short 8.3 names: "song.wave" is
; SONG~1.WAV).
Function un.IsRecordingName
  Exch $0
  Push $2
  Push $3
  Push $4
  StrCpy $1 0
  StrLen $2 $0
  ${If} $2 < 21
    Goto done
  ${EndIf}
  StrCpy $3 $0 4 -4
  ${If} $3 != ".wav"
    StrCpy $3 $0 5 -5
    ${If} $3 != ".flac"
    ${AndIf} $3 != ".opus"
      Goto done
    ${EndIf}
    ${If} $2 < 22
      Goto done
    ${EndIf}
  ${EndIf}
  StrCpy $3 $0 1 8
  StrCpy $4 $0 1 15
  ${If} $3 != "_"
  ${OrIf} $4 != "_"
    Goto done
  ${EndIf}
  ${For} $2 0 14
    ${If} $2 = 8
      ${Continue}
    ${EndIf}
    StrCpy $3 $0 1 $2
    ; A digit is the one character that reads back as itself as a number.
    IntOp $4 $3 + 0
    ${If} $4 S!= $3
      Goto done
    ${EndIf}
  ${Next}
  StrCpy $1 1
  done:
  Pop $4
  Pop $3
  Pop $2
  Pop $0
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
    FindFirst $2 $0 "$INSTDIR\Records\*"
    ${DoWhile} $0 != ""
      Push $0
      Call un.IsRecordingName
      ${If} $1 = 1
        Delete "$INSTDIR\Records\$0"
      ${EndIf}
      FindNext $2 $0
    ${Loop}
    FindClose $2
    ; Only when nothing else is left in it.
    RMDir "$INSTDIR\Records"
  keep_data:

  Delete "$INSTDIR\uninstall.exe"
  ; Removed only when empty: kept settings and recordings keep the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
