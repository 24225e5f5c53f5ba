; Installer and uninstaller of the Zavora News Agent.
; Built by the normal build with makensis; the build passes these defines:
;   CONTRACT     path of the agent's generated agent_contract.nsh: its version, names,
;                registry keys, hidden window title and command ids
;   AGENT_EXE    path of the built ZavoraAgent.exe
;   AGENT_ICON   path of the application icon (.ico)
;   OUTFILE      path of the installer to write
;   X64          defined for the x64 installer of the 64-bit agent: a 64-bit program itself,
;                which 32-bit Windows refuses to start
; Command line: /S silent; /AllUsers or /CurrentUser chooses the install mode;
; the uninstaller's /PURGE removes the settings and the cached news in silent mode too.
; Both installers install into the same folder (Program Files, not Program Files (x86)) with
; the same registration in the 64-bit registry, so either replaces the other. The values an
; administrator sets by policy are never touched.

!ifdef X64
Target amd64-unicode
!else
Unicode true
!endif
SetCompressor /SOLID lzma

!include "${CONTRACT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZavoraNewsAgent"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT_NAME}"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include x64.nsh

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT_NAME} ${VERSION}"
!define MUI_ICON "${AGENT_ICON}"
!define MUI_UNICON "${AGENT_ICON}"
!define MUI_ABORTWARNING

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${COMPANY}"

!define MUI_FINISHPAGE_RUN "$INSTDIR\ZavoraAgent.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT_NAME} now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a running agent the way the user's Exit does, so it saves its settings, its news
; list and its unseen-news flag and removes its tray icon, then waits for it to be gone.
; A poll in progress ends within its own time limits (at most about a minute).
!macro StopRunningAgent un
Function ${un}StopRunningAgent
    FindWindow $0 "#32770" "${HIDDEN_TITLE}"
    ${If} $0 == 0
        Return
    ${EndIf}
    DetailPrint "Stopping the running ${PRODUCT_NAME}..."
    SendMessage $0 ${WM_COMMAND} ${ID_TASKBAR_EXIT} 0 /TIMEOUT=5000
    StrCpy $1 0
    ${Do}
        Sleep 250
        FindWindow $0 "#32770" "${HIDDEN_TITLE}"
        ${If} $0 == 0
            ; The window goes first; give the process a moment to finish its exit.
            Sleep 500
            Return
        ${EndIf}
        IntOp $1 $1 + 1
    ${LoopUntil} $1 >= 320
    DetailPrint "${PRODUCT_NAME} did not stop; files in use are removed at the next restart."
FunctionEnd
!macroend
!insertmacro StopRunningAgent ""
!insertmacro StopRunningAgent "un."

; The 32-bit installer of earlier versions put the agent into Program Files (x86) on 64-bit
; Windows and registered it in the 32-bit registry. Such an install elsewhere is removed
; when this one is made, so that one agent stays, registered once.
Var OldInstallDir

Function FindOldInstall
    !ifndef X64
    ${IfNot} ${RunningX64}
        Return
    ${EndIf}
    !endif
    SetRegView 32
    ReadRegStr $OldInstallDir SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    SetRegView 64
FunctionEnd

Function RemoveOldInstall
    ${If} $OldInstallDir == ""
    ${OrIf} $OldInstallDir == $INSTDIR
        Return
    ${EndIf}
    DetailPrint "Removing ${PRODUCT_NAME} from $OldInstallDir..."
    Delete /REBOOTOK "$OldInstallDir\ZavoraAgent.exe"
    Delete "$OldInstallDir\Uninstall.exe"
    RMDir /REBOOTOK "$OldInstallDir"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT_NAME}"
    SetRegView 32
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    SetRegView 64
FunctionEnd

Section "!${PRODUCT_NAME}" SecAgent
    SectionIn RO
    Call StopRunningAgent
    Call RemoveOldInstall
    SetOutPath "$INSTDIR"
    File "/oname=ZavoraAgent.exe" "${AGENT_EXE}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\ZavoraAgent.exe" "" \
        "$INSTDIR\ZavoraAgent.exe" 0

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ZavoraAgent.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
        '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\Uninstall.exe" /S /$MultiUser.InstallMode'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start ${PRODUCT_NAME} with Windows" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT_NAME}" '"$INSTDIR\ZavoraAgent.exe"'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecAgent} "The agent program and its Start menu shortcut."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} \
        "Start the agent when you log on, so it watches the news site from the start."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; On 64-bit Windows both installers and their uninstallers keep the registration in the
; 64-bit registry (a 32-bit installer would otherwise be shown its own copy of it).
!macro UseTheNativeRegistry
    !ifdef X64
        SetRegView 64
    !else
        ${If} ${RunningX64}
            SetRegView 64
        ${EndIf}
    !endif
!macroend

Function .onInit
    !insertmacro UseTheNativeRegistry
    !insertmacro MULTIUSER_INIT
    Call FindOldInstall
FunctionEnd

Function un.onInit
    !insertmacro UseTheNativeRegistry
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Uninstall"
    Call un.StopRunningAgent

    Delete /REBOOTOK "$INSTDIR\ZavoraAgent.exe"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT_NAME}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"

    ; The settings and the cached news are the user's: kept unless the user says otherwise
    ; (in silent mode, only with /PURGE).
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PURGE" $1
    ${IfNot} ${Errors}
        Call un.RemoveUserData
    ${ElseIfNot} ${Silent}
        MessageBox MB_YESNO|MB_ICONQUESTION \
            "Keep your ${PRODUCT_NAME} settings and the list of latest articles?" \
            /SD IDYES IDYES keep
        Call un.RemoveUserData
        keep:
    ${EndIf}
SectionEnd

Function un.RemoveUserData
    DeleteRegKey HKCU "${REG_PRODUCT_KEY}"
    DeleteRegKey /ifempty HKCU "${REG_COMPANY_KEY}"
FunctionEnd
