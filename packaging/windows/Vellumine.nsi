; The Windows installer: puts Vellumine.scr into the system folder, makes it the current
; user's screen saver, puts the component layer's example programs (ModelViewer.exe,
; InputSoundDemo.exe) into the program's folder, and registers an uninstaller in Add/Remove
; Programs.
;
; Built by the win32 preset (target vellumine_installer):
;   makensis -DSCREEN_SAVER=path/Vellumine.scr -DMODEL_VIEWER=path/ModelViewer.exe
;            -DINPUT_SOUND_DEMO=path/InputSoundDemo.exe -DOUTPUT=path/Vellumine-Setup.exe Vellumine.nsi
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
RequestExecutionLevel admin  ; the system folder and the machine-wide uninstall entry

!include LogicLib.nsh

!define PRODUCT "Vellumine"
!define MAKER "Quillory"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_TELL 3  ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE

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

; $0 = the full path of the screen saver in the system folder of 32-bit programs.
!macro DEFINE_SCREEN_SAVER_PATH UN
  Function ${UN}ScreenSaverPath
    StrCpy $1 ""
    System::Call 'kernel32::GetSystemWow64DirectoryW(w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
    ; 0 on 32-bit Windows; "error" where the function does not exist (Windows 2000).
    ${If} $2 > 0
    ${AndIf} $1 != ""
      StrCpy $0 "$1\${PRODUCT}.scr"
    ${Else}
      StrCpy $0 "$SYSDIR\${PRODUCT}.scr"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro DEFINE_SCREEN_SAVER_PATH ""
!insertmacro DEFINE_SCREEN_SAVER_PATH "un."

Section "Install"
  Call ScreenSaverPath
  SetOutPath "$INSTDIR"
  File "/oname=$0" "${SCREEN_SAVER}"
  File "${MODEL_VIEWER}"
  File "${INPUT_SOUND_DEMO}"

  ; The full long path, as the screen-saver settings of Windows Vista and later write it.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Tells the running session, which otherwise reads the change only at the next logon.
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_TELL}) i .r3'

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; $3 = 1 when the current screen saver is the one in $0, in whatever form Windows stored it
; (the same path in other letter case, or its short 8.3 form as older Windows write it).
Function un.SettingIsOurs
  StrCpy $3 0
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $1 == $0  ; LogicLib's == ignores letter case
    StrCpy $3 1
  ${ElseIf} $1 != ""
    GetFullPathName /SHORT $4 "$1"
    GetFullPathName /SHORT $5 "$0"
    ${If} $4 != ""
    ${AndIf} $4 == $5
      StrCpy $3 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.ScreenSaverPath
  ; Before the file goes: the short form of its path exists only while the file does.
  Call un.SettingIsOurs
  ${If} $3 == 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "0"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_TELL}) i .r3'
  ${EndIf}
  ; A screen saver running right now keeps its file until the next restart.
  Delete /REBOOTOK "$0"

  Delete "$INSTDIR\ModelViewer.exe"
  Delete "$INSTDIR\InputSoundDemo.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
