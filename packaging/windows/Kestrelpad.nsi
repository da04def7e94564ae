; The Windows setup program. Built by cmake/KestrelpadWindowsPackage.cmake with makensis:
;   makensis -DVERSION=1.2.3 -DSTAGE=<folder with the files> -DICON=<kestrelpad.ico>
;            -DSIDE=<164 x 314 bitmap of the last page> -DOUTFILE=<setup.exe>
;
; Run as it is, it installs for the user alone (into %LOCALAPPDATA%\Programs\Kestrelpad, keys
; under HKCU); run elevated, for all users (Program Files, keys under HKLM), unless
; /CURRENTUSER asks for the user alone. /S installs silently, /D=<folder> (last on the
; command line) chooses the folder.
;
; The uninstaller removes exactly what the installer put in. The settings file and the
; projects' #tarnel folders are the user's and stay.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Kestrelpad"
!define PUBLISHER "Tarnel Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrelpad"
; The context-menu verb, on files of every type, on folders and on an open folder's background.
!define VERB_NAME "Back up with Kestrelpad"
!define VERB_FILES "Software\Classes\*\shell\Kestrelpad"
!define VERB_FOLDERS "Software\Classes\Directory\shell\Kestrelpad"
!define VERB_BACKGROUND "Software\Classes\Directory\Background\shell\Kestrelpad"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
UninstallCaption "${PRODUCT} Uninstall"
OutFile "${OUTFILE}"
BrandingText " "
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SIDE}"
!define MUI_ABORTWARNING

!define MUI_DIRECTORYPAGE_TEXT_TOP "Kestrelpad will be installed in this folder."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Kestrelpad is installed"
!define MUI_FINISHPAGE_TEXT "To back up a folder or a file, right-click it in Explorer and choose $\"${VERB_NAME}$\"."
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Kestrelpad will be removed from this folder. Your settings and the #tarnel folders with your archives stay."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; All users when elevated, else the user alone: the shell folders and SHCTX follow.
Function .onInit
  UserInfo::GetAccountType
  Pop $0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/CURRENTUSER" $2
  ${IfNot} ${Errors}
    StrCpy $0 "User"
  ${EndIf}
  ${If} $0 == "Admin"
    SetShellVarContext all
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

!macro WriteVerb key argument
  WriteRegStr SHCTX "${key}" "" "${VERB_NAME}"
  WriteRegStr SHCTX "${key}" "Icon" "$INSTDIR\kestrelpad.exe"
  WriteRegStr SHCTX "${key}\command" "" '"$INSTDIR\kestrelpad.exe" "${argument}"'
!macroend

Section "Kestrelpad" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\kestrelpad.exe"
  File "${STAGE}\kpad.exe"
  File "${STAGE}\Kestrelpad.chm"
  File "${STAGE}\README.txt"
  File "${STAGE}\License.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  ; The menu's start has no project: the program lets the user choose one.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\kestrelpad.exe" "--choose"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} help.lnk" "$INSTDIR\Kestrelpad.chm"

  !insertmacro WriteVerb "${VERB_FILES}" "%1"
  !insertmacro WriteVerb "${VERB_FOLDERS}" "%1"
  !insertmacro WriteVerb "${VERB_BACKGROUND}" "%V"

  SectionGetSize ${SecMain} $0
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrelpad.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The installation's own scope: all users when the machine's Uninstall key names this folder.
Function un.onInit
  SetShellVarContext current
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Kestrelpad was installed for all users: run its uninstaller as administrator." /SD IDOK
      Abort
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Uninstall"
  DeleteRegKey SHCTX "${VERB_FILES}"
  DeleteRegKey SHCTX "${VERB_FOLDERS}"
  DeleteRegKey SHCTX "${VERB_BACKGROUND}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} help.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; File by file, and the folder only when empty: anything else in it is the user's.
  Delete "$INSTDIR\kestrelpad.exe"
  Delete "$INSTDIR\kpad.exe"
  Delete "$INSTDIR\Kestrelpad.chm"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\License.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
