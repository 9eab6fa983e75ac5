; The Windows installer: puts Vellumine.scr into the system folder, makes it the screen saver of
; the user who runs the installer, puts the component layer's example programs (ModelViewer.exe,
; InputSoundDemo.exe) into the program's folder, and registers an uninstaller in Add/Remove
; Programs.
;
; Built by the win32 preset (target vellumine_installer):
;   makensis -DSCREEN_SAVER=path/Vellumine.scr -DMODEL_VIEWER=path/ModelViewer.exe
;            -DINPUT_SOUND_DEMO=path/InputSoundDemo.exe -DOUTPUT=path/Vellumine-Setup.exe Vellumine.nsi
;
; Who does what: the installer and the uninstaller start as the user who runs them, and do the
; per-user part (the screen-saver setting in HKEY_CURRENT_USER) themselves. The part for the
; whole machine (the system folder, the program's folder, the uninstall entry) needs an
; administrator: for it they start a second copy of themselves with /MACHINEPART through the
; "runas" verb, which asks for the administrator's approval, and wait for it. That copy touches
; no per-user setting: when a standard user approves with an administrator's account, it runs
; as that account, whose setting is not the one to change.
;
; Where the screen saver goes: the program is 32-bit, so on 64-bit Windows it belongs in
; SysWOW64, the system folder of 32-bit programs (that is where Windows' own screen-saver list
; finds 32-bit screen savers). This installer is 32-bit as well, and Windows shows it SysWOW64
; under the name System32. The screen saver itself is started by the 64-bit system, which
; takes the setting's path literally, so the setting must name SysWOW64: the path is therefore
; asked of Windows (GetSystemWow64Directory) instead of taken from $SYSDIR.

!ifndef SCREEN_SAVER
  !error "define SCREEN_SAVER, the path of the built Vellumine.scr"
!endif
!ifndef MODEL_VIEWER
  !error "define MODEL_VIEWER, the path of the built ModelViewer.exe"
!endif
!ifndef INPUT_SOUND_DEMO
  !error "define INPUT_SOUND_DEMO, the path of the built InputSoundDemo.exe"
!endif
!ifndef OUTPUT
  !error "define OUTPUT, the path of the installer to write"
!endif

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user  ; the machine-wide part asks for administrator rights on its own

!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh

!define PRODUCT "Vellumine"
!define MAKER "Quillory"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define DESKTOP_KEY "Control Panel\Desktop"
!define MACHINE_PART "/MACHINEPART"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_TELL 3  ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
!define SEE_MASK_NOCLOSEPROCESS_NOASYNC 0x140
!define ERROR_CANCELLED 1223

Name "${PRODUCT}"
OutFile "${OUTPUT}"
; Holds the example programs and the uninstaller: the screen saver itself lives in the system
; folder, which is no place for ordinary programs.
InstallDir "$PROGRAMFILES\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var MachinePartOnly  ; 1 in the elevated copy
Var SaverPath        ; the full path of the screen saver in the system folder of 32-bit programs
Var Failure          ; why a part failed; empty when it did not

!macro DEFINE_SHARED_FUNCTIONS UN
  Function ${UN}ReadSwitches
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "${MACHINE_PART}" $1
    ${IfNot} ${Errors}
      StrCpy $MachinePartOnly 1
    ${EndIf}
  FunctionEnd

  Function ${UN}ScreenSaverPath
    StrCpy $1 ""
    System::Call 'kernel32::GetSystemWow64DirectoryW(w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
    ; 0 on 32-bit Windows; "error" where the function does not exist (Windows 2000).
    ${If} $2 > 0
    ${AndIf} $1 != ""
      StrCpy $SaverPath "$1\${PRODUCT}.scr"
    ${Else}
      StrCpy $SaverPath "$SYSDIR\${PRODUCT}.scr"
    ${EndIf}
  FunctionEnd

  ; Runs the program $R0 with the parameters $R1 as an administrator and waits for it; sets
  ; $Failure when it could not be started or did not succeed. Windows before Vista has no
  ; elevation: there an administrator's program does the part itself ($R0 = "") and another
  ; user is offered Windows' "Run as" for an administrator's account.
  Function ${UN}RunElevated
    StrCpy $Failure ""
    System::Call 'shell32::IsUserAnAdmin() i .r0'
    ${IfNot} ${AtLeastWinVista}
    ${AndIf} $0 = 1
      StrCpy $R0 ""
      Return
    ${EndIf}
    System::Call '*(&w${NSIS_MAX_STRLEN} R0) p .r1'
    System::Call '*(&w${NSIS_MAX_STRLEN} R1) p .r2'
    System::Call '*(&w6 "runas") p .r3'
    ; SHELLEXECUTEINFOW; its last field receives the process.
    System::Call '*(&l4, i ${SEE_MASK_NOCLOSEPROCESS_NOASYNC}, p $HWNDPARENT, p r3, p r1, p r2, p 0, i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r4'
    System::Call 'shell32::ShellExecuteExW(p r4) i .r5 ?e'
    Pop $6
    System::Call '*$4(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r7)'
    ${If} $5 = 0
    ${OrIf} $7 = 0
      ${If} $6 = ${ERROR_CANCELLED}
        StrCpy $Failure "administrator rights were not given."
      ${Else}
        StrCpy $Failure "its part as administrator could not be started (error $6)."
      ${EndIf}
    ${Else}
      System::Call 'kernel32::WaitForSingleObject(p r7, i -1)'
      StrCpy $8 ""
      System::Call 'kernel32::GetExitCodeProcess(p r7, *i .r8)'
      System::Call 'kernel32::CloseHandle(p r7)'
      ${If} $8 != 0
        StrCpy $Failure "its part as administrator failed (exit status $8)."
      ${EndIf}
    ${EndIf}
    System::Free $4
    System::Free $3
    System::Free $2
    System::Free $1
  FunctionEnd
!macroend
!insertmacro DEFINE_SHARED_FUNCTIONS ""
!insertmacro DEFINE_SHARED_FUNCTIONS "un."

Function .onInit
  Call ReadSwitches
FunctionEnd

Function un.onInit
  Call un.ReadSwitches
FunctionEnd

; The system folder, the program's folder and the uninstall entry; nothing of the user's.
Function MachinePart
  StrCpy $Failure ""
  ClearErrors
  File /nonfatal "/oname=$SaverPath" "${SCREEN_SAVER}"
  ${If} ${Errors}
    StrCpy $Failure "$SaverPath could not be written (close the screen-saver settings if it is shown there)."
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  File /nonfatal "${MODEL_VIEWER}"
  File /nonfatal "${INPUT_SOUND_DEMO}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    StrCpy $Failure "the program's folder $INSTDIR or its uninstall entry could not be written."
  ${EndIf}
FunctionEnd

; Makes Vellumine the user's screen saver. Choosing "(None)" in Windows' screen-saver settings
; turns screen savers off by writing ScreenSaveActive "0": such a user is asked first, and a
; silent install leaves their setting as it is. Without the value screen savers are on, as in
; a new account.
Function UserPart
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
  ${If} $1 == "0"
    MessageBox MB_YESNO|MB_ICONQUESTION "Screen savers are turned off for you.$\r$\n$\r$\nTurn them on, with ${PRODUCT} as your screen saver?" /SD IDNO IDYES turn_on
    DetailPrint "Screen savers stay off: choose ${PRODUCT} in Windows' screen-saver settings to use it."
    Return
  ${EndIf}
turn_on:
  ; The full long path, as the screen-saver settings of Windows Vista and later write it.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SaverPath"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Tells the running session, which otherwise reads the change only at the next logon.
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_TELL}) i .r3'
FunctionEnd

Section "Install"
  Call ScreenSaverPath
  ${If} $MachinePartOnly == 1
    Call MachinePart
    ${If} $Failure != ""
      DetailPrint "${PRODUCT} was not installed: $Failure"
      SetErrorLevel 2
      Abort
    ${EndIf}
    Return
  ${EndIf}

  ; A copy in the temp folder, which the administrator's copy can open even when this one was
  ; started from a network drive that only this user has mapped.
  InitPluginsDir
  StrCpy $R0 "$PLUGINSDIR\${PRODUCT}-Setup.exe"
  CopyFiles /SILENT "$EXEPATH" "$R0"
  StrCpy $R1 "/S ${MACHINE_PART} /D=$INSTDIR"
  DetailPrint "Installing ${PRODUCT} into the system folder as administrator..."
  Call RunElevated
  ${If} $R0 == ""
    Call MachinePart
  ${EndIf}
  ${If} $Failure != ""
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} was not installed: $Failure" /SD IDOK
    SetErrorLevel 2
    Abort "${PRODUCT} was not installed: $Failure"
  ${EndIf}
  Call UserPart
SectionEnd

; $3 = 1 when the current screen saver is the one in $SaverPath, in whatever form Windows stored
; it (the same path in other letter case, or its short 8.3 form as older Windows write it).
Function un.SettingIsOurs
  StrCpy $3 0
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $1 == $SaverPath  ; LogicLib's == ignores letter case
    StrCpy $3 1
  ${ElseIf} $1 != ""
    GetFullPathName /SHORT $4 "$1"
    GetFullPathName /SHORT $5 "$SaverPath"
    ${If} $4 != ""
    ${AndIf} $4 == $5
      StrCpy $3 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.MachinePart
  StrCpy $Failure ""
  ; What is gone already (removed by hand, or by an uninstall that stopped) is no failure.
  ${If} ${FileExists} "$SaverPath"
    ClearErrors
    ; A screen saver running right now keeps its file until the next restart.
    Delete /REBOOTOK "$SaverPath"
    ${If} ${Errors}
      StrCpy $Failure "$SaverPath could not be removed."
      Return
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\ModelViewer.exe"
  Delete "$INSTDIR\InputSoundDemo.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ClearErrors
  EnumRegValue $1 HKLM "${UNINSTALL_KEY}" 0
  ${IfNot} ${Errors}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} ${Errors}
      StrCpy $Failure "its uninstall entry could not be removed."
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.ScreenSaverPath
  ${If} $MachinePartOnly == 1
    Call un.MachinePart
    ${If} $Failure != ""
      DetailPrint "${PRODUCT} was not uninstalled: $Failure"
      SetErrorLevel 2
      Abort
    ${EndIf}
    Return
  ${EndIf}

  ; Before the file goes: the short form of its path exists only while the file does.
  Call un.SettingIsOurs
  StrCpy $R2 $3
  ; This program already runs from a copy in the temp folder (the uninstaller's own doing).
  StrCpy $R0 "$EXEPATH"
  StrCpy $R1 "/S ${MACHINE_PART} _?=$INSTDIR"
  DetailPrint "Removing ${PRODUCT} from the system folder as administrator..."
  Call un.RunElevated
  ${If} $R0 == ""
    Call un.MachinePart
  ${EndIf}
  ${If} $Failure != ""
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} was not uninstalled: $Failure" /SD IDOK
    SetErrorLevel 2
    Abort "${PRODUCT} was not uninstalled: $Failure"
  ${EndIf}
  ; Only this user's setting, and only while it still names this screen saver.
  ${If} $R2 == 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "0"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_TELL}) i .r3'
  ${EndIf}
SectionEnd
