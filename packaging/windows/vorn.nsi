; VORN installer: VORN64.dll into the 64-bit VST folder and VORN.dll into the
; 32-bit one, both folders changeable and either module optional, and an
; uninstaller that removes exactly the files it installed (never the user's
; configuration, startup bank or program files).
;
; makensis -DVERSION=1.0.3 -DDIST=<dist folder> -DOUTFILE=<setup.exe>
;          [-DTARGET_AMD64] vorn.nsi
; The release installer is a 32-bit program, which runs on every Windows;
; TARGET_AMD64 builds the same installer as a 64-bit program (for test
; machines that run no 32-bit programs).
;
; Silent mode: setup.exe /S [/VST64=folder] [/VST32=folder] [/NO64] [/NO32]

Unicode true
!ifdef TARGET_AMD64
  Target amd64-unicode
!endif

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define PRODUCT "VORN"
!define VENDOR "Taskel Rorev"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VORN"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${VENDOR}\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

Var Vst64Dir
Var Vst32Dir

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "readme-license.txt"
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst64Page
!define MUI_DIRECTORYPAGE_VARIABLE $Vst64Dir
!define MUI_PAGE_HEADER_TEXT "64-bit VST folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 64-bit hosts look for VST plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "VORN64.dll will be installed into this folder."
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst32Page
!define MUI_DIRECTORYPAGE_VARIABLE $Vst32Dir
!define MUI_PAGE_HEADER_TEXT "32-bit VST folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 32-bit hosts look for VST plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "VORN.dll will be installed into this folder."
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "VST plug-in for 64-bit hosts (VORN64.dll)" SecVst64
  SetOutPath "$Vst64Dir"
  File "${DIST}\windows-x86_64\VORN64.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst64File" "$Vst64Dir\VORN64.dll"
SectionEnd

Section "VST plug-in for 32-bit hosts (VORN.dll)" SecVst32
  SetOutPath "$Vst32Dir"
  File "${DIST}\windows-x86\VORN.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst32File" "$Vst32Dir\VORN.dll"
SectionEnd

Section "-Uninstaller"
  SetOutPath "$INSTDIR"
  File "readme-license.txt"
  WriteUninstaller "$INSTDIR\Uninstall VORN.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall VORN.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall VORN.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function .onInit
  StrCpy $Vst64Dir "$PROGRAMFILES64\VSTPlugins"
  StrCpy $Vst32Dir "$PROGRAMFILES32\VSTPlugins"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/VST64=" $R1
  ${IfNot} ${Errors}
    StrCpy $Vst64Dir $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/VST32=" $R1
  ${IfNot} ${Errors}
    StrCpy $Vst32Dir $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NO64" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecVst64}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NO32" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecVst32}
  ${EndIf}
FunctionEnd

Function SkipVst64Page
  ${IfNot} ${SectionIsSelected} ${SecVst64}
    Abort
  ${EndIf}
FunctionEnd

Function SkipVst32Page
  ${IfNot} ${SectionIsSelected} ${SecVst32}
    Abort
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst64} "VORN64.dll, for 64-bit hosts."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst32} "VORN.dll, for 32-bit hosts."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Removes the modules recorded at installation, this uninstaller and the
; read-me; %LOCALAPPDATA%\TaskelRorev and every program or bank file stay.
Section "Uninstall"
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "Vst64File"
  ${If} $R0 != ""
    Delete "$R0"
  ${EndIf}
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "Vst32File"
  ${If} $R0 != ""
    Delete "$R0"
  ${EndIf}
  Delete "$INSTDIR\readme-license.txt"
  Delete "$INSTDIR\Uninstall VORN.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
