; The Windows setup of the level-set installer: shows its licence; puts
; levelset-installer.exe and the licence into the game's directory, beside
; the game, with Levels beside it; opens
; .qlm files with it for every user of the computer; lets players who are
; not administrators install level sets; and registers an uninstaller that
; keeps the installed level sets. /S runs it silently, /D=DIR (last, not
; quoted) chooses the game's directory.
;
; Built by the "setup" target (cmake/SetupWin32.cmake), which defines:
;   VERSION       the version, e.g. 1.0.0
;   VERSION_QUAD  the same in four numbers, e.g. 1.0.0.0
;   PROGRAM       the levelset-installer.exe to pack (already signed when signing)
;   LICENSE       the licence, with Windows line ends
;   ICON          the level-set icon (.ico), the setup's and the uninstaller's own
;   COPYRIGHT     the copyright line of the licence
;   OUTFILE       the setup to write
;   SIGN          a command that signs the file %1 in place (or does nothing)

Target amd64-unicode
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
; The same setup from the same files, whenever it is made: no file times inside.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh

!define NAME "Quillomar Level-Set Installer"
!define PUBLISHER "Morvalic"
!define PROGRAM_NAME "levelset-installer.exe"
!define UNINSTALLER "levelset-installer-uninstall.exe"
; The game's folder may have a LICENSE.txt of its own: ours has our name.
!define LICENSE_FILE "levelset-installer-LICENSE.txt"
!define PROGID "Quillomar.LevelSet"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillomarLevelSetInstaller"
; The built-in groups by their SIDs, which are the same in every language.
!define USERS_SID "S-1-5-32-545"
!define CREATOR_OWNER_SID "S-1-3-0"
; Read, list and traverse a directory, and add files to it.
!define ADD_FILES 0x001200AB
; Read, write, run and delete (what Windows calls "Modify").
!define MODIFY 0x001301BF
; What opening a .qlm file runs: "%1" is the opened file.
!define OPEN_COMMAND '"$INSTDIR\${PROGRAM_NAME}" "%1"'

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillomar"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"
!finalize '${SIGN}' = 0
!uninstfinalize '${SIGN}' = 0

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

; The MIT licence asks for nothing to be accepted: the page shows it, and
; goes on with Next.
!define MUI_PAGE_HEADER_TEXT "Licence"
!define MUI_PAGE_HEADER_SUBTEXT "The level-set installer is free software under the MIT licence."
!define MUI_LICENSEPAGE_TEXT_TOP "Press Page Down to see the rest of the licence."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Setup puts this licence beside the level-set installer, as ${LICENSE_FILE}."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"

!define MUI_PAGE_HEADER_TEXT "Choose Quillomar's Folder"
!define MUI_PAGE_HEADER_SUBTEXT "The level-set installer goes beside the game."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder in which Quillomar is installed. Setup puts the level-set installer into it and opens level sets (.qlm files) with it for every user of this computer; the level sets go into its Levels folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Quillomar's folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Lets every user add level sets to Levels, and change or remove only the
; ones they added, as the sticky shared directory of the Linux package does:
; the built-in Users group may add files to Levels itself, and whoever
; creates a file in it may modify that file (CREATOR OWNER, inherited by the
; files only). The two entries join those that Levels already has.
Function LetPlayersAddLevelSets
  StrCpy $0 "$INSTDIR\Levels"
  StrCpy $1 0
  StrCpy $2 0
  StrCpy $4 0
  StrCpy $6 0
  System::Call 'advapi32::ConvertStringSidToSidW(w "${USERS_SID}", *p .r1) i .R0'
  System::Call 'advapi32::ConvertStringSidToSidW(w "${CREATOR_OWNER_SID}", *p .r2) i .R1'
  ${If} $R0 = 0
  ${OrIf} $R1 = 0
    StrCpy $R0 "the built-in groups are unknown"
  ${Else}
    System::Call 'advapi32::GetNamedSecurityInfoW(w r0, i 1, i 4, p 0, p 0, *p .r3, p 0, *p .r4) i .R0'
  ${EndIf}
  ${If} $R0 = 0
    ; Two EXPLICIT_ACCESS_W (48 bytes each): rights, GRANT_ACCESS, inheritance,
    ; padding, then the trustee: no multiple trustee, TRUSTEE_IS_SID,
    ; TRUSTEE_IS_WELL_KNOWN_GROUP, padding, the SID.
    System::Call '*(i ${ADD_FILES}, i 1, i 0, i 0, p 0, i 0, i 0, i 5, i 0, p r1, \
                     i ${MODIFY}, i 1, i 9, i 0, p 0, i 0, i 0, i 5, i 0, p r2) p .r5'
    System::Call 'advapi32::SetEntriesInAclW(i 2, p r5, p r3, *p .r6) i .R0'
    System::Free $5
  ${EndIf}
  ${If} $R0 = 0
    System::Call 'advapi32::SetNamedSecurityInfoW(w r0, i 1, i 4, p 0, p 0, p r6, p 0) i .R0'
  ${EndIf}
  System::Call 'kernel32::LocalFree(p r6)'
  System::Call 'kernel32::LocalFree(p r4)'
  System::Call 'kernel32::LocalFree(p r2)'
  System::Call 'kernel32::LocalFree(p r1)'
  ${If} $R0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "Players who are not administrators cannot install level sets: the permissions of $0 could not be set ($R0)." \
      /SD IDOK
    SetErrorLevel 2
  ${EndIf}
FunctionEnd

; Adds the size in bytes of the file NAME in $INSTDIR to $1.
!macro AddSizeOf NAME
  StrCpy $2 0
  FileOpen $0 "$INSTDIR\${NAME}" r
  FileSeek $0 0 END $2
  FileClose $0
  IntOp $1 $1 + $2
!macroend

Section
  SetOutPath "$INSTDIR"
  File "${PROGRAM}"
  File "/oname=${LICENSE_FILE}" "${LICENSE}"
  CreateDirectory "$INSTDIR\Levels"
  Call LetPlayersAddLevelSets

  WriteRegStr HKLM "Software\Classes\.qlm" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\.qlm\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Quillomar Level Set"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "FriendlyTypeName" "Quillomar Level Set"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${PROGRAM_NAME},0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_NAME},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size of the files that the setup put there, in KB, rounded up.
  StrCpy $1 1023
  !insertmacro AddSizeOf "${PROGRAM_NAME}"
  !insertmacro AddSizeOf "${UNINSTALLER}"
  !insertmacro AddSizeOf "${LICENSE_FILE}"
  IntOp $1 $1 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; SHCNE_ASSOCCHANGED: Explorer reads the file types again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; Takes away the program, its file type and its uninstaller entry; keeps the
; level sets in Levels, and the game's directory with whatever else is in it.
Section "Uninstall"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegValue HKLM "Software\Classes\.qlm\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.qlm\OpenWithProgids"
  ; .qlm may have been given to another program since.
  ReadRegStr $0 HKLM "Software\Classes\.qlm" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKLM "Software\Classes\.qlm" ""
  ${EndIf}
  DeleteRegKey /ifempty HKLM "Software\Classes\.qlm"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  Delete "$INSTDIR\${PROGRAM_NAME}"
  Delete "$INSTDIR\${LICENSE_FILE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR\Levels"
  RMDir "$INSTDIR"
SectionEnd
