; The setup program: installs Veilgate.exe, Gatereset.exe and help.htm,
; registers the installation and its uninstaller. Built by the "installer"
; target, which passes the files and the version with /D:
;   VERSION (5.0.52), VERSION_SHORT (5.0), VEILGATE_EXE, GATERESET_EXE,
;   REMOVE_GRANT_EXE, SHELL_ACCOUNT_EXE, HELP_FILE, ICON_FILE, OUTFILE.
; Silent: "VeilgateSetup-<version>.exe /S [/D=folder]", "uninstall.exe /S".

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

!define PRODUCT "Veilgate"
!define PRODUCT_KEY "Software\Veilgate"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veilgate"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
; Gatereset's exit code when Firefox ran on a profile it put back: that
; profile's user.js holds the user's values until a restore made with
; Firefox closed.
!define FIREFOX_STILL_RUNNING 3
!define FIREFOX_RESTORE_FOLDER "$TEMP\VeilgateFirefoxRestore"
; A running Veilgate is found by its window title and ended through its tray
; menu's "EXIT", which also points the browsers back at a direct connection.
!define MAIN_WINDOW_TITLE "Veilgate v5.0 - Anonymity & Online Privacy"
!define EXIT_COMMAND 32772
!define STOP_WAIT_MS 20000
!define DATA_FOLDER_NAME "Veilgate"
!define START_MENU_FOLDER "$SMPROGRAMS\Veilgate"
; The browsers' documented machine policies that hold WebRTC to the proxy
; (Chrome 91 and later, Edge 77 and later), each with the name of the value
; under the uninstall entry that says setup wrote it.
!define WEBRTC_POLICY_VALUE "disable_non_proxied_udp"
!define CHROME_POLICY_KEY "Software\Policies\Google\Chrome"
!define CHROME_WEBRTC_POLICY "WebRtcIPHandling"
!define CHROME_WEBRTC_MARK "WroteChromeWebRtcPolicy"
!define EDGE_POLICY_KEY "Software\Policies\Microsoft\Edge"
!define EDGE_WEBRTC_POLICY "WebRtcLocalhostIpHandling"
!define EDGE_WEBRTC_MARK "WroteEdgeWebRtcPolicy"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Veilgate"
; An upgrade goes where the last installation went, as this program's own
; uninstall entry says: only administrators can write there (any user could
; once write the product key, so its AppPath is never trusted for this).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

; No copyright line: the version block names the product only.
!pragma warning disable 9100
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "Veilgate Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION_SHORT}"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Veilgate now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartVeilgateAsUser
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Ends a running Veilgate the way its own "EXIT" does and waits for the
; process to end, so that its files can be replaced and the browsers of the
; user who runs it are restored in that user's context. Never by a process
; search on the name: that would find this setup program too.
!macro STOP_VEILGATE un
Function ${un}StopVeilgate
  FindWindow $0 "" "${MAIN_WINDOW_TITLE}"
  ${If} $0 = 0
    Return
  ${EndIf}
  DetailPrint "Closing the running Veilgate, so that its files can be replaced and your browsers are set back to a direct connection..."
  ${IfNot} ${Silent}
    MessageBox MB_OK|MB_ICONINFORMATION "Veilgate is running. It will now be closed, so that its files can be changed; your browsers are set back to a direct connection first."
  ${EndIf}
  System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
  ; The window search sees this session's desktop only; the session is
  ; compared all the same, so that another user's Veilgate (fast user
  ; switching, Remote Desktop) is never ended from here.
  System::Call "kernel32::GetCurrentProcessId() i.r4"
  System::Call "kernel32::ProcessIdToSessionId(i r4, *i .r5) i.r6"
  System::Call "kernel32::ProcessIdToSessionId(i r1, *i .r7) i.r8"
  ${If} $6 = 0
  ${OrIf} $8 = 0
  ${OrIf} $5 <> $7
    Return
  ${EndIf}
  System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r1) p.r2"
  System::Call "user32::PostMessage(p r0, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)"
  ${If} $2 P<> 0
    System::Call "kernel32::WaitForSingleObject(p r2, i ${STOP_WAIT_MS}) i.r3"
    System::Call "kernel32::CloseHandle(p r2)"
  ${Else}
    Sleep 2000
  ${EndIf}
  FindWindow $0 "" "${MAIN_WINDOW_TITLE}"
  ${If} $0 <> 0
    DetailPrint "Veilgate did not close."
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONINFORMATION "Veilgate did not close. Please choose EXIT in its tray menu, then press OK."
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro STOP_VEILGATE ""
!insertmacro STOP_VEILGATE "un."

; Without elevation every write under HKEY_LOCAL_MACHINE and Program Files
; would fail, so stop before anything is half done.
!macro REQUIRE_ADMINISTRATOR
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONINFORMATION "Please run this program as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

; Writes a WebRTC policy only where the machine has none: a value that an
; administrator set, whatever it says, is theirs and stays as it is. What
; setup wrote is remembered, so that only that is ever taken back.
!macro WRITE_WEBRTC_POLICY KEY NAME MARK
  ClearErrors
  ReadRegStr $0 HKLM "${KEY}" "${NAME}"
  ; A value of another type also sets the error flag, but reads as text.
  ${If} ${Errors}
  ${AndIf} $0 == ""
    WriteRegStr HKLM "${KEY}" "${NAME}" "${WEBRTC_POLICY_VALUE}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${MARK}" 1
  ${EndIf}
!macroend

; Takes back a policy that setup wrote and nobody changed since.
!macro REMOVE_WEBRTC_POLICY KEY NAME MARK
  ClearErrors
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${MARK}"
  ${IfNot} ${Errors}
    ClearErrors
    ReadRegStr $0 HKLM "${KEY}" "${NAME}"
    ${IfNot} ${Errors}
    ${AndIf} $0 == "${WEBRTC_POLICY_VALUE}"
      DeleteRegValue HKLM "${KEY}" "${NAME}"
      DeleteRegKey /ifempty HKLM "${KEY}"
    ${EndIf}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "${MARK}"
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REQUIRE_ADMINISTRATOR
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; Started through the shell, so that Veilgate runs as the user and not with
; this program's elevation (and an unelevated Gatereset can stop it).
Function StartVeilgateAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Veilgate.exe"'
FunctionEnd

Section "Veilgate (required)" SecProgram
  SectionIn RO
  Call StopVeilgate

  ; The programs run as the invoking user and keep settings and lists in
  ; that user's own key and folder. Earlier versions let every user change
  ; the machine's settings key and data folder: take that back, before
  ; anything is installed. While any user may still write the key's AppPath
  ; and the folder's lists, no installation is safe, so setup stops there.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\RemoveUsersGrant.exe" "${REMOVE_GRANT_EXE}"
  ClearErrors
  ExecWait '"$PLUGINSDIR\RemoveUsersGrant.exe" "$APPDATA\${DATA_FOLDER_NAME}"' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    DetailPrint "Could not take back the rights earlier versions gave every user (code $0)."
    MessageBox MB_OK|MB_ICONSTOP "Setup could not take back the rights that earlier versions of ${PRODUCT} gave every user on HKEY_LOCAL_MACHINE\${PRODUCT_KEY} and $APPDATA\${DATA_FOLDER_NAME} (code $0). While any user may change them, ${PRODUCT} is not installed. Run setup again as an administrator, or have an administrator remove the Users group's entries on both." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=Veilgate.exe" "${VEILGATE_EXE}"
  File "/oname=Gatereset.exe" "${GATERESET_EXE}"
  File "/oname=help.htm" "${HELP_FILE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Under that grant any user could write these machine values, which each
  ; new user's first run used to copy: the last site visited, the proxy in
  ; use and the dialogs' hand-over values are no machine's settings.
  DeleteRegValue HKLM "${PRODUCT_KEY}" "LastDomain"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "UseProxy"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "ProxyName"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "TMPProxy"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "TMPResponseTime"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "TMPDownloadSpeed"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "TMPAnonymity"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "FAIL"
  ; A copy that ran from this folder before kept its list beside itself;
  ; each user's first run takes a copy of it from the data folder.
  ${If} ${FileExists} "$INSTDIR\MyProxies.txt"
  ${AndIfNot} ${FileExists} "$APPDATA\${DATA_FOLDER_NAME}\MyProxies.txt"
    CreateDirectory "$APPDATA\${DATA_FOLDER_NAME}"
    Rename "$INSTDIR\MyProxies.txt" "$APPDATA\${DATA_FOLDER_NAME}\MyProxies.txt"
  ${EndIf}

  WriteRegStr HKLM "${PRODUCT_KEY}" "AppPath" "$INSTDIR\"
  WriteRegStr HKLM "${PRODUCT_KEY}" "AppFullPath" "$INSTDIR\Veilgate.exe"

  CreateDirectory "${START_MENU_FOLDER}"
  CreateShortCut "${START_MENU_FOLDER}\Veilgate.lnk" "$INSTDIR\Veilgate.exe"
  CreateShortCut "${START_MENU_FOLDER}\Restore browser settings (Gatereset).lnk" "$INSTDIR\Gatereset.exe"
  CreateShortCut "${START_MENU_FOLDER}\Veilgate Help.lnk" "$INSTDIR\help.htm"
  CreateShortCut "${START_MENU_FOLDER}\Uninstall Veilgate.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Veilgate.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Desktop shortcut" SecDesktop
  CreateShortCut "$DESKTOP\Veilgate.lnk" "$INSTDIR\Veilgate.exe"
SectionEnd

; Chrome and Edge follow the system's proxy for web traffic, but WebRTC
; would still reach peers over UDP from the user's own address.
Section "Stop Chrome and Edge from showing my address through WebRTC" SecWebRtc
  !insertmacro WRITE_WEBRTC_POLICY "${CHROME_POLICY_KEY}" "${CHROME_WEBRTC_POLICY}" "${CHROME_WEBRTC_MARK}"
  !insertmacro WRITE_WEBRTC_POLICY "${EDGE_POLICY_KEY}" "${EDGE_WEBRTC_POLICY}" "${EDGE_WEBRTC_MARK}"
SectionEnd

; An upgrade without the option takes back what an earlier setup wrote.
Section "-WebRtcUnticked"
  ${IfNot} ${SectionIsSelected} ${SecWebRtc}
    !insertmacro REMOVE_WEBRTC_POLICY "${CHROME_POLICY_KEY}" "${CHROME_WEBRTC_POLICY}" "${CHROME_WEBRTC_MARK}"
    !insertmacro REMOVE_WEBRTC_POLICY "${EDGE_POLICY_KEY}" "${EDGE_WEBRTC_POLICY}" "${EDGE_WEBRTC_MARK}"
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "Veilgate, Gatereset (restores the browser settings) and the help page."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A Veilgate icon on the desktop."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecWebRtc} "Sets the machine policy of Chrome and Edge that sends WebRTC only through the proxy, where no policy is set already."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
  !insertmacro REQUIRE_ADMINISTRATOR
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; A silent uninstall cannot wait for Firefox to be closed: a copy of
; Gatereset in this user's temporary folder finishes the restore at the next
; log-on, when Veilgate is no longer installed, and the folder goes after it.
; Gatereset rather than a script: it is the same tested code that did the
; rest of the restore (the records in the registry, user.js put back byte for
; byte), where a script would repeat that logic in a language that Windows
; may not run at log-on (PowerShell's execution policy, the scripting hosts
; that Windows is retiring).
Function un.FinishFirefoxRestoreAtLogOn
  CreateDirectory "${FIREFOX_RESTORE_FOLDER}"
  CopyFiles /SILENT "$INSTDIR\Gatereset.exe" "${FIREFOX_RESTORE_FOLDER}\Gatereset.exe"
  ${If} ${FileExists} "${FIREFOX_RESTORE_FOLDER}\Gatereset.exe"
    WriteRegStr HKCU "${RUN_ONCE_KEY}" "VeilgateFirefoxRestore" '"$SYSDIR\cmd.exe" /c ""${FIREFOX_RESTORE_FOLDER}\Gatereset.exe" /restoreonly & rd /s /q "${FIREFOX_RESTORE_FOLDER}""'
    DetailPrint "Firefox is running: its proxy settings are put back at your next log-on."
  ${EndIf}
FunctionEnd

; The quiet restore: what Veilgate's records hold and what points at
; Veilgate is put back, and nothing else is touched (not Gatereset's reset,
; which would set every connection to Windows' default). While Firefox runs
; it cannot be finished: the usual uninstaller question, Retry or Cancel.
Function un.RestoreBrowsers
  retry:
  ExecWait '"$INSTDIR\Gatereset.exe" /restoreonly' $1
  ${If} $1 = ${FIREFOX_STILL_RUNNING}
    ${If} ${Silent}
      Call un.FinishFirefoxRestoreAtLogOn
    ${Else}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Close Firefox so that its proxy settings can be put back." IDRETRY retry
      DetailPrint "Uninstall cancelled while Firefox was running; Veilgate stays installed."
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Run elevated with another account's credentials (a standard user asking
  ; an administrator), this program's HKEY_CURRENT_USER and folders are that
  ; administrator's own: then none of them is removed.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\ShellAccountCheck.exe" "${SHELL_ACCOUNT_EXE}"
  ExecWait '"$PLUGINSDIR\ShellAccountCheck.exe"' $R8
  ${If} $R8 <> 0
    DetailPrint "Run with another account than the desktop's: no user's own settings or lists are removed."
  ${EndIf}

  ; First put back what Veilgate pointed at itself: Veilgate ended, then the
  ; quiet restore, without the poll.
  Call un.StopVeilgate
  ${If} ${FileExists} "$INSTDIR\Gatereset.exe"
    Call un.RestoreBrowsers
  ${EndIf}

  ; The list of tested proxies and the settings are the user's: kept unless
  ; the user says otherwise (and always on a silent uninstall, and when the
  ; account is not the desktop user's). Each user keeps their own; only this
  ; user's and the machine's can be reached here (the help page says how
  ; each user removes theirs).
  StrCpy $0 "keep"
  ${IfNot} ${Silent}
  ${AndIf} $R8 = 0
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 "Do you want to keep your list of tested proxies and your Veilgate settings, for a later installation?" IDYES +2
    StrCpy $0 "remove"
  ${EndIf}
  ${If} $0 == "remove"
    RMDir /r "$APPDATA\${DATA_FOLDER_NAME}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    SetShellVarContext current
    RMDir /r "$LOCALAPPDATA\${DATA_FOLDER_NAME}"
    SetShellVarContext all
    DeleteRegKey HKCU "${PRODUCT_KEY}"
  ${Else}
    ; These two describe the installation, which is gone.
    DeleteRegValue HKLM "${PRODUCT_KEY}" "AppPath"
    DeleteRegValue HKLM "${PRODUCT_KEY}" "AppFullPath"
  ${EndIf}

  Delete "$INSTDIR\Veilgate.exe"
  Delete "$INSTDIR\Gatereset.exe"
  Delete "$INSTDIR\help.htm"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  RMDir /r "${START_MENU_FOLDER}"
  Delete "$DESKTOP\Veilgate.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "Veilgate"
  DeleteRegValue HKCU "${RUN_KEY}" "Veilgate"
  !insertmacro REMOVE_WEBRTC_POLICY "${CHROME_POLICY_KEY}" "${CHROME_WEBRTC_POLICY}" "${CHROME_WEBRTC_MARK}"
  !insertmacro REMOVE_WEBRTC_POLICY "${EDGE_POLICY_KEY}" "${EDGE_WEBRTC_POLICY}" "${EDGE_WEBRTC_MARK}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
