; The per-user installer of Morrowpad, built by scripts/package.sh:
;   makensis -DVERSION=1.2.3 -DSTAGE=<program folder> -DLISTS=<folder> -DOUTFILE=<setup.exe> -DICON=<ico>
; LISTS holds files.nsh, unfiles.nsh and undirs.nsh: what is installed and
; removed, written by package.sh from the program folder.
;
; Everything goes into the user's own folder (%LOCALAPPDATA%\Programs\Morrowpad
; by default) and the user's own registry: the settings files lie beside the
; executable and must stay writable, and no administrator is needed.
;
; The uninstaller removes every file it installed, the Start-menu shortcut and
; the registry keys, and asks before removing the settings files. Silent
; (/S) it keeps them unless /REMOVESETTINGS is given; /KEEPSETTINGS keeps
; them without asking. Files the user added (recorded macros, plug-ins) stay.

Unicode true
; Debian's makensis builds 32-bit installers unless told otherwise.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define APP "Morrowpad"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define VERB_KEY "Software\Classes\*\shell\${APP}"
!define APPLICATION_KEY "Software\Classes\Applications\${APP}.exe"

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "FileDescription" "${APP} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" ""

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${APP}.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The settings files: installed only where none exist yet (an update keeps
; the user's), removed only when the user agrees.
!macro SettingsFiles Op
  !insertmacro ${Op} "setting.ini"
  !insertmacro ${Op} "history.ini"
  !insertmacro ${Op} "key.ini"
  !insertmacro ${Op} "tools.ini"
  !insertmacro ${Op} "syntax.ini"
!macroend
!macro InstallSetting Name
  File "${STAGE}/${Name}"
!macroend
!macro RemoveSetting Name
  Delete "$INSTDIR\${Name}"
!macroend

; Writing over a running program fails half-way: ask the user to close it.
!macro WaitForClosedProgram
  ${Do}
    FindWindow $0 "${APP}"
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${APP} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY +2
    Abort
  ${Loop}
!macroend

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Install"
  !insertmacro WaitForClosedProgram
  SetOutPath "$INSTDIR"
  SetOverwrite on
  !include "${LISTS}/files.nsh"
  SetOutPath "$INSTDIR"
  SetOverwrite off
  !insertmacro SettingsFiles InstallSetting
  SetOverwrite on
  WriteUninstaller "$INSTDIR\uninst.exe"

  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${APP}.exe" "" "$INSTDIR\${APP}.exe" 0

  ; "Open with Morrowpad" on every file, for this user.
  WriteRegStr HKCU "${VERB_KEY}" "" "Open with ${APP}"
  WriteRegStr HKCU "${VERB_KEY}" "Icon" "$INSTDIR\${APP}.exe,0"
  WriteRegStr HKCU "${VERB_KEY}\command" "" '"$INSTDIR\${APP}.exe" "%1"'
  ; The program in the "Open with" list of every file type.
  WriteRegStr HKCU "${APPLICATION_KEY}" "FriendlyAppName" "${APP}"
  WriteRegStr HKCU "${APPLICATION_KEY}\DefaultIcon" "" "$INSTDIR\${APP}.exe,0"
  WriteRegStr HKCU "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\${APP}.exe" "%1"'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${APP}.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninst.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  !insertmacro WaitForClosedProgram

  !include "${LISTS}/unfiles.nsh"
  ; Written by the program itself when it crashes.
  Delete "$INSTDIR\${APP}.rpt"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $R2 "remove"
  ${Else}
    ClearErrors
    ${GetOptions} $R0 "/KEEPSETTINGS" $R1
    ${IfNot} ${Errors}
      StrCpy $R2 "keep"
    ${Else}
      StrCpy $R2 "keep"
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Remove your ${APP} settings too (options, key bindings, tools, recent files and search history)?$\n$\nChoose No to keep them for a later installation." \
        /SD IDNO IDNO +2
      StrCpy $R2 "remove"
    ${EndIf}
  ${EndIf}
  ${If} $R2 == "remove"
    !insertmacro SettingsFiles RemoveSetting
  ${EndIf}

  Delete "$SMPROGRAMS\${APP}.lnk"
  DeleteRegKey HKCU "${VERB_KEY}"
  DeleteRegKey HKCU "${APPLICATION_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  Delete "$INSTDIR\uninst.exe"
  ; Folders go only when empty: what the user put there stays.
  !include "${LISTS}/undirs.nsh"
  RMDir "$INSTDIR"
SectionEnd
