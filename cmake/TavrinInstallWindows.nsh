; The steps the Windows installer and uninstaller add to CPack's own (see the end of
; TavrinInstallWindows.cmake, which calls them from CPack's hooks).
;
; Windows does not let the image of a running program be replaced, and the client runs at log-on
; in every signed-in session. So before any file is touched the installer and the uninstaller end
; every running client, of every user (they run elevated). An upgrade first runs the uninstaller
; of the installed version, which removes the log-on entry; the installer notes beforehand which
; users have it and writes it back afterwards, pointing at the new program. The person who
; upgrades gets the client back in their session, started by their own desktop shell: it runs as
; them and unelevated, whoever the administrator was who elevated the installer. In the other
; sessions it starts again at the next log-on, through the log-on entry. The uninstaller removes
; the log-on entry of every user whose registry is loaded (HKEY_USERS holds the hives of the users
; signed in); users who are not signed in keep theirs, pointing at a program that is gone.
;
; Every step runs in a 64-bit installer: the registry and the system folder are the native ones.

!include LogicLib.nsh
!include FileFunc.nsh
!include TextFunc.nsh

!define TAVRIN_PROGRAM "tavrin-client.exe"
; As CPACK_PACKAGE_INSTALL_REGISTRY_KEY.
!define TAVRIN_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin Client"
; The program's own log-on entry (settings/qvpnautostart_win.cpp): the value is the quoted path
; of the program, in older versions alone, now followed by the log-on option.
!define TAVRIN_RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TAVRIN_RUN_VALUE "Tavrin Client"
!define TAVRIN_LOG_ON_OPTION "--autostart"
; sizeof(WTS_PROCESS_INFOW) in a 64-bit process: two DWORDs and two pointers.
!define TAVRIN_WTS_PROCESS_INFO_SIZE 24

; 1 when a client ran in the installer's own session before the installation.
Var TavrinRestartClient

; Ends every running client, in every session, and waits until none is left: taskkill exits with
; 128 once it finds none. After some five seconds it goes on regardless: the installer fails on
; the first file it cannot replace (AllowSkipFiles off), and tells so in its exit code.
!macro TavrinEndClientsFunction prefix
Function ${prefix}TavrinEndClients
    ${For} $R0 1 50
        nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM ${TAVRIN_PROGRAM}'
        Pop $R1
        ${If} $R1 == 128
            Return
        ${EndIf}
        Sleep 100
    ${Next}
    DetailPrint "Tavrin Client could not be ended everywhere"
FunctionEnd
!macroend
!insertmacro TavrinEndClientsFunction ""
!insertmacro TavrinEndClientsFunction "un."

; Sets $TavrinRestartClient to whether a client runs in the installer's own session.
Function TavrinNoteClientInThisSession
    StrCpy $TavrinRestartClient 0
    System::Call 'kernel32::GetCurrentProcessId()i.R0'
    System::Call 'kernel32::ProcessIdToSessionId(iR0, *i.R1)i.R0'
    System::Call 'wtsapi32::WTSEnumerateProcessesW(p0, i0, i1, *p.R2, *i.R3)i.R4'
    ${If} $R0 = 0
    ${OrIf} $R4 = 0
        Return
    ${EndIf}
    StrCpy $R4 $R2
    ${For} $R5 1 $R3
        ; SessionId, ProcessId, pProcessName
        System::Call '*$R4(i.R6, i, p.R7)'
        ${If} $R6 = $R1
        ${AndIf} $R7 P<> 0
            System::Call 'kernel32::lstrcmpiW(pR7, w "${TAVRIN_PROGRAM}")i.R8'
            ${IfThen} $R8 = 0 ${|} StrCpy $TavrinRestartClient 1 ${|}
        ${EndIf}
        IntPtrOp $R4 $R4 + ${TAVRIN_WTS_PROCESS_INFO_SIZE}
    ${Next}
    System::Call 'wtsapi32::WTSFreeMemory(pR2)'
FunctionEnd

; Notes, one a line, the users whose log-on entry exists: HKCU, then each loaded hive of HKU
; (HKCU is one of them too; writing its entry twice does no harm).
Function TavrinNoteLogOnUsers
    FileOpen $R9 "$PLUGINSDIR\log-on-users.txt" w
    ClearErrors
    ReadRegStr $R1 HKCU "${TAVRIN_RUN_KEY}" "${TAVRIN_RUN_VALUE}"
    ${IfNot} ${Errors}
        FileWrite $R9 "HKCU$\r$\n"
    ${EndIf}
    StrCpy $R0 0
    ${Do}
        EnumRegKey $R2 HKU "" $R0
        ${IfThen} $R2 == "" ${|} ${ExitDo} ${|}
        ClearErrors
        ReadRegStr $R1 HKU "$R2\${TAVRIN_RUN_KEY}" "${TAVRIN_RUN_VALUE}"
        ${IfNot} ${Errors}
            FileWrite $R9 "$R2$\r$\n"
        ${EndIf}
        IntOp $R0 $R0 + 1
    ${Loop}
    FileClose $R9
FunctionEnd

; Writes the log-on entry of every noted user, pointing at the program just installed.
Function TavrinRestoreLogOnUsers
    StrCpy $R3 '"$INSTDIR\${TAVRIN_PROGRAM}" ${TAVRIN_LOG_ON_OPTION}'
    ClearErrors
    FileOpen $R9 "$PLUGINSDIR\log-on-users.txt" r
    ${IfThen} ${Errors} ${|} Return ${|}
    ${Do}
        FileRead $R9 $R2
        ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
        ${TrimNewLines} $R2 $R2
        ${If} $R2 == "HKCU"
            WriteRegStr HKCU "${TAVRIN_RUN_KEY}" "${TAVRIN_RUN_VALUE}" $R3
        ${Else}
            WriteRegStr HKU "$R2\${TAVRIN_RUN_KEY}" "${TAVRIN_RUN_VALUE}" $R3
        ${EndIf}
    ${Loop}
    FileClose $R9
FunctionEnd

; Runs the uninstaller of the installed version, if any, in its own folder and waits for it.
Function TavrinRemoveInstalledVersion
    ReadRegStr $R0 HKLM "${TAVRIN_UNINSTALL_KEY}" "UninstallString"
    ; Written quoted.
    StrCpy $R1 $R0 1
    ${IfThen} $R1 == '"' ${|} StrCpy $R0 $R0 -1 1 ${|}
    ${If} $R0 == ""
    ${OrIfNot} ${FileExists} $R0
        Return
    ${EndIf}
    ${GetParent} $R0 $R1
    DetailPrint "Removing the installed version"
    ClearErrors
    ExecWait '"$R0" /S _?=$R1' $R2
    ${If} ${Errors}
    ${OrIf} $R2 <> 0
        Abort "The installed version of Tavrin Client could not be removed."
    ${EndIf}
FunctionEnd

; Before the files: the clients end, the log-on entries are noted, the installed version goes.
Function TavrinPrepareInstallation
    InitPluginsDir
    Call TavrinNoteClientInThisSession
    DetailPrint "Ending Tavrin Client"
    Call TavrinEndClients
    Call TavrinNoteLogOnUsers
    Call TavrinRemoveInstalledVersion
FunctionEnd

; One step of the walk below: calls a method of the interface in $R0 that hands the next one out
; in $R2, releases the former and keeps the next in $R0; a failure ends the walk.
!macro TavrinShellStep method
    StrCpy $R2 0
    System::Call '$R0->${method}i.R1'
    System::Call '$R0->2()'
    StrCpy $R0 $R2
    ${If} $R1 <> 0
    ${OrIf} $R0 P= 0
        Goto done
    ${EndIf}
!macroend

; Starts the installed program as the person signed in to this session: the desktop's shell
; (Explorer) starts it, asked through the automation object of its desktop window. Without a
; shell nothing is started; the log-on entry or the Start menu starts it later.
Function TavrinStartClientThroughShell
    ; COINIT_APARTMENTTHREADED; S_FALSE when the thread has it already, which counts as well.
    System::Call 'ole32::CoInitializeEx(p0, i2)i.r6'
    ; VARIANTs of 24 bytes, zeroed (VT_EMPTY): the desktop as VT_I4 CSIDL_DESKTOP (0), an empty
    ; one, the program's folder as VT_BSTR.
    System::Alloc 24
    Pop $1
    System::Call '*$1(&i2 3)'
    System::Alloc 24
    Pop $2
    System::Alloc 24
    Pop $3
    System::Call 'oleaut32::SysAllocString(w "$INSTDIR")p.r4'
    System::Call '*$3(&i2 8, &i2 0, &i2 0, &i2 0, p r4)'
    System::Call 'oleaut32::SysAllocString(w "$INSTDIR\${TAVRIN_PROGRAM}")p.r5'
    ; CLSID_ShellWindows, IID_IShellWindows
    StrCpy $R0 0
    System::Call 'ole32::CoCreateInstance(g "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}", p0, \
        i 0x4, g "{85CB6900-4D95-11CF-960C-0080C7F4EE85}", *p.R0)i.R1'
    ${IfThen} $R1 <> 0 ${|} Goto done ${|}
    ; IShellWindows::FindWindowSW(desktop, empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, &window)
    !insertmacro TavrinShellStep '15(p r1, p r2, i 8, *i.r0, i 1, *p.R2)'
    ; IServiceProvider, its QueryService(SID_STopLevelBrowser, IID_IShellBrowser)
    !insertmacro TavrinShellStep '0(g "{6D5140C1-7436-11CE-8034-00AA006009FA}", *p.R2)'
    !insertmacro TavrinShellStep '3(g "{4C96BE40-915C-11CF-99D3-00AA004AE837}", \
        g "{000214E2-0000-0000-C000-000000000046}", *p.R2)'
    ; IShellBrowser::QueryActiveShellView, IShellView::GetItemObject(SVGIO_BACKGROUND, IDispatch)
    !insertmacro TavrinShellStep '15(*p.R2)'
    !insertmacro TavrinShellStep '15(i 0, g "{00020400-0000-0000-C000-000000000046}", *p.R2)'
    ; IShellFolderViewDual2, its Application, IShellDispatch2
    !insertmacro TavrinShellStep '0(g "{31C147B6-0ADE-4A3C-B514-DDF932EF6D17}", *p.R2)'
    !insertmacro TavrinShellStep '7(*p.R2)'
    !insertmacro TavrinShellStep '0(g "{A4C6892C-3BA9-11D2-9DEA-00C04FB16162}", *p.R2)'
    ; IShellDispatch2::ShellExecute(program, arguments, folder, operation, show); on x64 the
    ; VARIANTs passed by value travel as pointers to them.
    System::Call '$R0->31(p r5, p r2, p r3, p r2, p r2)i.R1'
    ${If} $R1 = 0
        DetailPrint "Started Tavrin Client"
    ${EndIf}
    System::Call '$R0->2()'
done:
    System::Call 'oleaut32::SysFreeString(p r5)'
    System::Call 'oleaut32::SysFreeString(p r4)'
    System::Free $3
    System::Free $2
    System::Free $1
    ${If} $6 = 0
    ${OrIf} $6 = 1
        System::Call 'ole32::CoUninitialize()'
    ${EndIf}
FunctionEnd

; After the files: the log-on entries come back, and so does the client of this session.
Function TavrinFinishInstallation
    Call TavrinRestoreLogOnUsers
    ${If} $TavrinRestartClient == 1
        Call TavrinStartClientThroughShell
    ${EndIf}
FunctionEnd

; Before the files go: the clients end and every reachable log-on entry is removed. The user's
; settings (HKCU\Software\Tavrin) stay.
Function un.TavrinPrepareRemoval
    DetailPrint "Ending Tavrin Client"
    Call un.TavrinEndClients
    DeleteRegValue HKCU "${TAVRIN_RUN_KEY}" "${TAVRIN_RUN_VALUE}"
    StrCpy $R0 0
    ${Do}
        EnumRegKey $R1 HKU "" $R0
        ${IfThen} $R1 == "" ${|} ${ExitDo} ${|}
        DeleteRegValue HKU "$R1\${TAVRIN_RUN_KEY}" "${TAVRIN_RUN_VALUE}"
        IntOp $R0 $R0 + 1
    ${Loop}
FunctionEnd
