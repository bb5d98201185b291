; The Glimmerweave installer and its uninstaller (NSIS 3, Modern UI 2).
;
; The installer puts glimmerweave.scr into the 64-bit system folder, where the
; display control panel lists screen savers, and an uninstaller with the licence into
; "Program Files\Glimmerweave"; it registers the uninstaller in Add/Remove Programs and,
; when asked, makes Glimmerweave the screen saver of the user who runs it. The user's
; own settings (HKCU\Software\Glimmerweave) are the screen saver's business: the
; installer never touches them, and the uninstaller removes them only when asked.
;
; The build (packaging/CMakeLists.txt) compiles it with
;   makensis -DVERSION=1.2.3 -DVERSION_QUAD=1.2.3.0 -DSCREEN_SAVER=glimmerweave.scr
;            -DLICENSE_FILE=LICENSE.txt -DICON=glimmerweave.ico -DWIZARD_BITMAP=wizard.bmp
;            -DOUTFILE=setup.exe glimmerweave.nsi
; and optionally -DTARGET=x86-unicode for a 32-bit installer (the default is a 64-bit
; one: the screen saver runs only on 64-bit Windows anyway).
;
; Command line of the installer:
;   /S            silent: no pages; makes Glimmerweave the screen saver, never opens the
;                 screen-saver settings (that would put a window in front of the user)
;   /NOACTIVATE   leaves the chosen screen saver as it is (unticks the option)
;   /D=FOLDER     where the uninstaller goes (last on the line, not quoted)
; Command line of the uninstaller (uninstall.exe in that folder):
;   /S                silent
;   /REMOVESETTINGS   also removes the user's settings (ticks the option)
; Exit status: 0 done; 1 cancelled by the user; 2 stopped, for example because the
; screen saver's file was in use (the silent answer to "Retry or Cancel" is Cancel).

!ifndef TARGET
  !define TARGET amd64-unicode
!endif
Target ${TARGET}
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinMessages.nsh
!include x64.nsh

!define PRODUCT "Glimmerweave"
!define PUBLISHER "Glimmerweave developers"
!define SCREEN_SAVER_NAME "glimmerweave.scr"
!define UNINSTALLER_NAME "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimmerweave"
!define SETTINGS_KEY "Software\Glimmerweave"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An update puts its uninstaller where the installed one is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
; A file that cannot be written offers Retry or Cancel, never "skip it".
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show

; ---------------------------------------------------------------------------------------
; Pages

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION}, a screen saver that \
  weaves an ever-changing field of colour, on this computer.$\r$\n$\r$\nIf ${PRODUCT} is \
  running now, end it before you go on.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
Page custom OptionsPageShow OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} ${VERSION} is installed. The Screen Saver Settings \
  of Windows list it, and its Settings button there opens its own options.$\r$\n$\r$\n\
  Click Finish to close Setup."
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.OptionsPageShow un.OptionsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------------------------------
; Version information (the uninstaller carries the same)

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} screen saver setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (c) ${PUBLISHER}, MIT License"

; ---------------------------------------------------------------------------------------
; Shared by the installer and the uninstaller

Var ScreenSaverPath   ; $SYSDIR\glimmerweave.scr

; Ends Setup when the user is not an administrator: the system folder and the
; machine's list of programs need one.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed for the whole computer, which \
      needs administrator rights.$\r$\n$\r$\nRun this program as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

; Where things are, the same for both: the 64-bit system folder and registry view.
!macro SetUpPaths
  !if ${NSIS_PTR_SIZE} <= 4
    ; A 32-bit installer would see SysWOW64 as $SYSDIR, which the 64-bit control panel
    ; does not look into, and could only install on 64-bit Windows anyway.
    ${IfNot} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    ${DisableX64FSRedirection}
  !endif
  SetRegView 64
  StrCpy $ScreenSaverPath "$SYSDIR\${SCREEN_SAVER_NAME}"
!macroend

; Returns once the installed screen saver's file may be replaced or deleted: not while
; the screen saver runs (its image is mapped) or a program holds the file open. The user
; may end it and retry, or cancel; the silent answer is Cancel, which stops Setup (exit
; status 2) before it has changed anything. Uses $R0.
!macro WaitForFreeScreenSaverFile un
  Function ${un}WaitForFreeScreenSaverFile
    ${Do}
      ${IfNot} ${FileExists} "$ScreenSaverPath"
        Return
      ${EndIf}
      ClearErrors
      ; Opening for writing, without writing, fails while the file is in use.
      FileOpen $R0 "$ScreenSaverPath" a
      ${IfNot} ${Errors}
        FileClose $R0
        Return
      ${EndIf}
      DetailPrint "$ScreenSaverPath is in use."
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running, or its file is in \
        use:$\r$\n$\r$\n$ScreenSaverPath$\r$\n$\r$\nEnd the screen saver and close the Screen \
        Saver Settings, then choose Retry. Cancel stops without changing anything." \
        /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Abort "$ScreenSaverPath is in use; nothing was changed."
      retry:
    ${Loop}
  FunctionEnd
!macroend
!insertmacro WaitForFreeScreenSaverFile ""
!insertmacro WaitForFreeScreenSaverFile "un."

; ---------------------------------------------------------------------------------------
; Installer

Var Activate            ; ${BST_CHECKED}: make Glimmerweave the screen saver
Var OpenSettings        ; ${BST_CHECKED}: open the screen-saver settings at the end
Var ActivateCheckBox
Var OpenSettingsCheckBox

Function .onInit
  !insertmacro RequireAdministrator
  !insertmacro SetUpPaths
  StrCpy $Activate ${BST_CHECKED}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOACTIVATE" $1
  ${IfNot} ${Errors}
    StrCpy $Activate ${BST_UNCHECKED}
  ${EndIf}
  ${If} ${Silent}
    StrCpy $OpenSettings ${BST_UNCHECKED}
  ${Else}
    StrCpy $OpenSettings ${BST_CHECKED}
  ${EndIf}
FunctionEnd

Function OptionsPageShow
  !insertmacro MUI_HEADER_TEXT "Options" "Choose what Setup does besides installing ${PRODUCT}."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 30u "${PRODUCT} goes into the system folder ($SYSDIR), where \
    the Screen Saver Settings of Windows find it."
  Pop $0
  ${NSD_CreateCheckBox} 0 36u 100% 12u "&Make ${PRODUCT} my screen saver"
  Pop $ActivateCheckBox
  ${NSD_SetState} $ActivateCheckBox $Activate
  ${NSD_CreateCheckBox} 0 54u 100% 12u "&Open the screen-saver settings when done"
  Pop $OpenSettingsCheckBox
  ${NSD_SetState} $OpenSettingsCheckBox $OpenSettings
  ; The next page installs: say so on the button.
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^InstallBtn)"
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${NSD_GetState} $ActivateCheckBox $Activate
  ${NSD_GetState} $OpenSettingsCheckBox $OpenSettings
FunctionEnd

Section "-Glimmerweave"
  ; Nothing is changed until the screen saver's file can be replaced, and the file
  ; comes first: a Setup that stops there leaves the computer as it was.
  Call WaitForFreeScreenSaverFile
  SetOverwrite on
  SetOutPath "$SYSDIR"
  File "/oname=${SCREEN_SAVER_NAME}" "${SCREEN_SAVER}"

  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE_FILE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER_NAME}"

  ; Add/Remove Programs. EstimatedSize is in KiB.
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  ${GetSize} "$SYSDIR" "/M=${SCREEN_SAVER_NAME} /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$ScreenSaverPath"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER_NAME}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER_NAME}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; The screen saver of the user who runs Setup, as the control panel stores it.
  ${If} $Activate == ${BST_CHECKED}
    DetailPrint "Making ${PRODUCT} the screen saver"
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$ScreenSaverPath"
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ${EndIf}
SectionEnd

; After the finish page: the system's screen-saver page with Glimmerweave selected.
Function .onInstSuccess
  ${If} $OpenSettings == ${BST_CHECKED}
  ${AndIfNot} ${Silent}
    ; desk.cpl takes the rest of the line as the path, unquoted.
    Exec '"$SYSDIR\rundll32.exe" desk.cpl,InstallScreenSaver $ScreenSaverPath'
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------------
; Uninstaller

Var RemoveSettings      ; ${BST_CHECKED}: also delete HKCU\Software\Glimmerweave
Var RemoveSettingsCheckBox

Function un.onInit
  !insertmacro RequireAdministrator
  !insertmacro SetUpPaths
  StrCpy $RemoveSettings ${BST_UNCHECKED}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings ${BST_CHECKED}
  ${EndIf}
FunctionEnd

Function un.OptionsPageShow
  !insertmacro MUI_HEADER_TEXT "Uninstall ${PRODUCT}" "Remove ${PRODUCT} from this computer."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 48u "Setup will remove the screen saver \
    ($ScreenSaverPath) and its entry in the list of installed programs. If ${PRODUCT} is \
    your screen saver, you will have none afterwards.$\r$\n$\r$\nYour ${PRODUCT} settings \
    stay for a later installation, unless you tick the box below."
  Pop $0
  ${NSD_CreateCheckBox} 0 56u 100% 12u "Also remove my ${PRODUCT} &settings"
  Pop $RemoveSettingsCheckBox
  ${NSD_SetState} $RemoveSettingsCheckBox $RemoveSettings
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^UninstallBtn)"
  nsDialogs::Show
FunctionEnd

Function un.OptionsPageLeave
  ${NSD_GetState} $RemoveSettingsCheckBox $RemoveSettings
FunctionEnd

; Sets $R0 to 1 when the path in $R1 names the installed screen saver, else 0. The
; control panel writes the long or the 8.3 form, in any case; the short forms of the
; two (taken while the file is still there) agree however each is written. StrCmp,
; and so ==, ignores case.
Function un.NamesInstalledScreenSaver
  StrCpy $R0 0
  ${If} $R1 == ""
    Return
  ${EndIf}
  ${If} $R1 == $ScreenSaverPath
    StrCpy $R0 1
    Return
  ${EndIf}
  GetFullPathName /SHORT $R2 "$R1"
  GetFullPathName /SHORT $R3 "$ScreenSaverPath"
  ${If} $R2 != ""
  ${AndIf} $R2 == $R3
    StrCpy $R0 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.WaitForFreeScreenSaverFile
  ReadRegStr $R1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Call un.NamesInstalledScreenSaver

  ClearErrors
  Delete "$ScreenSaverPath"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Could not remove $ScreenSaverPath." /SD IDOK
    SetErrorLevel 2
    Abort "Could not remove $ScreenSaverPath."
  ${EndIf}
  ${If} $R0 == 1
    ; As the control panel does when the user chooses "(None)".
    DetailPrint "${PRODUCT} is no longer the screen saver"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}

  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\${UNINSTALLER_NAME}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} $RemoveSettings == ${BST_CHECKED}
    DetailPrint "Removing the ${PRODUCT} settings"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}
SectionEnd
