; The Windows setup of the level-set installer: shows its licence; puts
; levelset-installer.exe and the licence into the game's directory, beside
; the game, with Levels beside it; opens
; .qlm files with it for every user of the computer; lets players who are
; not administrators install level sets; and registers an uninstaller that
; keeps the installed level sets. /S runs it silently, /D=DIR (last, not
; quoted) chooses the game's directory.
;
; It installs only into a game folder that already exists and that nobody
; but administrators may change, and moves an installation from another
; folder. Exit status (facts.h): EXIT_INSTALLED; 1 cancelled on a page;
; EXIT_NOTHING_INSTALLED (the folder is missing, others may change it or a
; folder above it, Levels is a link, or a file could not be written);
; EXIT_PROGRAM_OPEN (the installed program, or uninstaller, is open and was
; left as it was).
;
; Built by the "setup" target (Setup.cmake), which defines:
;   VERSION       the version, e.g. 1.0.0
;   VERSION_QUAD  the same in four numbers, e.g. 1.0.0.0
;   PROGRAM       the levelset-installer.exe to pack (already signed when signing)
;   HELPER        the levelset-setup-helper.exe to pack (likewise)
;   LICENSE       the licence, with Windows line ends
;   ICON          the level-set icon (.ico), the setup's and the uninstaller's own
;   COPYRIGHT     the copyright line of the licence
;   OUTFILE       the setup to write
;   SIGN          a command that signs the file %1 in place (or does nothing)
;   FACTS         setup_facts.nsh, made from facts.h: exit statuses, file and
;                 registry names

Target amd64-unicode
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
; The same setup from the same files, whenever it is made: no file times inside.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include "${FACTS}"

!define NAME "Quillomar Level-Set Installer"
!define PUBLISHER "Morvalic"
; What opening a .qlm file runs: "%1" is the opened file.
!define OPEN_COMMAND '"$INSTDIR\${PROGRAM_NAME}" "%1"'
!define OPEN_COMMAND_END '\${PROGRAM_NAME}" "%1"'
; MoveFileEx: replace the file there, and return once it is on the disk.
!define MOVEFILE_REPLACE_WRITE_THROUGH 9

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillomar"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
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
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder in which Quillomar is installed. Setup puts the level-set installer into it and opens level sets (.qlm files) with it for every user of this computer; the level sets go into its Levels folder. The folder must exist, and only administrators may change it, as under Program Files."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Quillomar's folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckChosenFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Report    ; why the helper refused, for the user
Var Previous  ; the folder of the installation that this one moves, or ""

; --- The helper, and files replaced whole -----------------------------------
; Both the setup and the uninstaller carry these.
!macro SETUP_FUNCTIONS UN
; Runs levelset-setup-helper.exe (unpacked into the setup's own temporary
; folder): $R8 the command, $R9 the folder, $R7 the other folder of
; "same-folder". $R0 is its exit status, $Report its reason when it refused.
Function ${UN}Helper
  InitPluginsDir
  ${IfNot} ${FileExists} "$PLUGINSDIR\${HELPER_NAME}"
    File "/oname=$PLUGINSDIR\${HELPER_NAME}" "${HELPER}"
  ${EndIf}
  Delete "$PLUGINSDIR\report.txt"
  StrCpy $Report ""
  ClearErrors
  ${If} $R8 == "same-folder"
    ExecWait '"$PLUGINSDIR\${HELPER_NAME}" same-folder "$R9" "$R7"' $R0
  ${Else}
    ExecWait '"$PLUGINSDIR\${HELPER_NAME}" $R8 "$R9" "$PLUGINSDIR\report.txt"' $R0
  ${EndIf}
  ${If} ${Errors}
    StrCpy $R0 ${HELPER_REFUSED}
  ${ElseIf} $R0 <> ${HELPER_DONE}
    ClearErrors
    FileOpen $R6 "$PLUGINSDIR\report.txt" r
    ${IfNot} ${Errors}
      FileReadUTF16LE $R6 $Report
      FileClose $R6
    ${EndIf}
  ${EndIf}
  ${If} $R0 <> ${HELPER_DONE}
  ${AndIf} $Report == ""
    StrCpy $Report "Setup could not look at $R9 ($R0), so it changes nothing."
  ${EndIf}
FunctionEnd

; Deletes the file $R9 through the helper, which never deletes through a
; link; while it is open, asks to close it (silent: gives up). A file that
; is reached through a link is left, and said so in the details. $R0: 0
; when it is gone or left, 1 when it is still open.
Function ${UN}RemoveFile
  ${Do}
    StrCpy $R8 remove
    Call ${UN}Helper
    ${If} $R0 <> ${HELPER_IN_USE}
      ${If} $R0 <> ${HELPER_DONE}
        DetailPrint "$Report"
      ${EndIf}
      StrCpy $R0 0
      Return
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R9 is open: a level set is being installed with it, or it is in use. Close it, then choose Retry. Cancel leaves everything as it was." /SD IDCANCEL IDRETRY`
      StrCpy $R0 1
      Return
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro SETUP_FUNCTIONS ""
!insertmacro SETUP_FUNCTIONS "un."

; Adds the size in bytes of the file NAME in $INSTDIR to $1.
!macro AddSizeOf NAME
  StrCpy $2 0
  FileOpen $0 "$INSTDIR\${NAME}" r
  FileSeek $0 0 END $2
  FileClose $0
  IntOp $1 $1 + $2
!macroend

; Puts the new file $R8 in the place of $R9 in one step, without writing
; through the old one; while that is open, asks to close it (silent: gives
; up, and the new file goes). $R0: 0 when it is in place, 1 when not.
Function ReplaceFile
  ${Do}
    System::Call 'kernel32::MoveFileExW(w R8, w R9, i ${MOVEFILE_REPLACE_WRITE_THROUGH}) i .R0'
    ${If} $R0 <> 0
      StrCpy $R0 0
      Return
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R9 is open: a level set is being installed with it, or it is in use. Close it, then choose Retry. Cancel leaves the installation as it was." /SD IDCANCEL IDRETRY`
      Delete "$R8"
      StrCpy $R0 1
      Return
    ${EndIf}
  ${Loop}
FunctionEnd

; The directory page stays until the folder is one Setup may install into.
Function CheckChosenFolder
  StrCpy $R8 check
  StrCpy $R9 $INSTDIR
  Call Helper
  ${If} $R0 <> ${HELPER_DONE}
    MessageBox MB_OK|MB_ICONSTOP "$Report"
    Abort
  ${EndIf}
FunctionEnd

; Ends the installation with an exit status, having said why ($Report).
!macro GIVE_UP STATUS
  MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
  SetErrorLevel ${STATUS}
  Abort "$Report"
!macroend

; Deletes NAME.new, or NAME, in the chosen folder.
!macro DELETE_NEW NAME
  Delete "$INSTDIR\${NAME}.new"
!macroend
!macro DELETE_INSTALLED NAME
  Delete "$INSTDIR\${NAME}"
!macroend

; Gives up when a file that Setup unpacked could not be written.
!macro WRITTEN_OR_GIVE_UP FILE
  ${If} ${Errors}
    !insertmacro ForEachINSTALLED_FILES DELETE_NEW
    StrCpy $Report "Setup cannot write ${FILE}, so it installs nothing."
    !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
  ${EndIf}
!macroend

; Gives up when a program could not be replaced or removed because it is
; open (the user was asked to close it), removing what this run put into
; the chosen folder of a move.
!macro OPEN_OR_GO_ON FILE
  ${If} $R0 <> 0
    !insertmacro ForEachINSTALLED_FILES DELETE_NEW
    ${If} $Previous != ""
      !insertmacro ForEachINSTALLED_FILES DELETE_INSTALLED
    ${EndIf}
    SetErrorLevel ${EXIT_PROGRAM_OPEN}
    Abort "${FILE} is open, so Setup changed nothing. Close it and run Setup again."
  ${EndIf}
!macroend

; Puts NAME.new in the place of NAME in the chosen folder, or gives up.
!macro PUT_IN_PLACE NAME
  StrCpy $R8 "$INSTDIR\${NAME}.new"
  StrCpy $R9 "$INSTDIR\${NAME}"
  Call ReplaceFile
  !insertmacro OPEN_OR_GO_ON "$INSTDIR\${NAME}"
!macroend

Section
  ; Silent installs come here straight; an interactive one passed the same
  ; check on the directory page a moment ago.
  StrCpy $R8 check
  StrCpy $R9 $INSTDIR
  Call Helper
  ${If} $R0 <> ${HELPER_DONE}
    !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
  ${EndIf}

  ; An installation in another folder moves here.
  ReadRegStr $Previous HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $Previous != ""
    StrCpy $R8 same-folder
    StrCpy $R9 $Previous
    StrCpy $R7 $INSTDIR
    Call Helper
    ${If} $R0 = ${HELPER_DONE}
      StrCpy $Previous ""
    ${EndIf}
  ${EndIf}

  ; Levels first: one that is a link stops everything here.
  StrCpy $R8 levels
  StrCpy $R9 $INSTDIR
  Call Helper
  ${If} $R0 <> ${HELPER_DONE}
    !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
  ${EndIf}

  ; The program, the uninstaller and the licence are unpacked beside their
  ; places (so a new file, with the folder's access list, never an old file
  ; written through), then put there in one step each.
  SetOutPath "$INSTDIR"
  !insertmacro ForEachINSTALLED_FILES DELETE_NEW
  ClearErrors
  File "/oname=$INSTDIR\${PROGRAM_NAME}.new" "${PROGRAM}"
  !insertmacro WRITTEN_OR_GIVE_UP "$INSTDIR\${PROGRAM_NAME}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}.new"
  !insertmacro WRITTEN_OR_GIVE_UP "$INSTDIR\${UNINSTALLER}"
  File "/oname=$INSTDIR\${LICENSE_FILE}.new" "${LICENSE}"
  !insertmacro WRITTEN_OR_GIVE_UP "$INSTDIR\${LICENSE_FILE}"
  !insertmacro ForEachINSTALLED_FILES PUT_IN_PLACE
  ${If} $Previous != ""
    StrCpy $R9 "$Previous\${PROGRAM_NAME}"
    Call RemoveFile
    !insertmacro OPEN_OR_GO_ON "$Previous\${PROGRAM_NAME}"
  ${EndIf}

  ; Registered only now that everything is in place. Another program that
  ; opened .qlm is remembered, and stays under "Open with".
  ReadRegStr $R0 HKLM "Software\Classes\.qlm" ""
  ${If} $R0 != ""
  ${AndIf} $R0 != "${PROGID}"
    WriteRegStr HKLM "Software\Classes\${PROGID}" "${PREVIOUS_DEFAULT}" "$R0"
    WriteRegStr HKLM "Software\Classes\.qlm\OpenWithProgids" "$R0" ""
  ${EndIf}
  WriteRegStr HKLM "Software\Classes\.qlm" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\.qlm\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Quillomar Level Set"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "FriendlyTypeName" "Quillomar Level Set"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${PROGRAM_NAME},0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_NAME},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size of the files that the setup put there, in KB, rounded up.
  StrCpy $1 1023
  !insertmacro ForEachINSTALLED_FILES AddSizeOf
  IntOp $1 $1 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; SHCNE_ASSOCCHANGED: Explorer reads the file types again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; What is left of the installation that moved here: its uninstaller and
  ; licence, and the players' entries in its Levels (the level sets stay).
  ${If} $Previous != ""
    StrCpy $R9 "$Previous\${UNINSTALLER}"
    Call RemoveFile
    StrCpy $R9 "$Previous\${LICENSE_FILE}"
    Call RemoveFile
    StrCpy $R8 release-levels
    StrCpy $R9 $Previous
    Call Helper
    RMDir "$Previous\Levels"
    RMDir "$Previous"
  ${EndIf}
SectionEnd

; Takes away the program, its uninstaller and the players' entries in Levels,
; and the file type and the uninstaller entry while they point at this
; folder; keeps the level sets in Levels, and the game's directory with
; whatever else is in it. A program that had .qlm before gets it back.
Section "Uninstall"
  ; The program first: while it is open, nothing is removed.
  StrCpy $R9 "$INSTDIR\${PROGRAM_NAME}"
  Call un.RemoveFile
  ${If} $R0 <> 0
    SetErrorLevel ${EXIT_PROGRAM_OPEN}
    Abort "$R9 is open."
  ${EndIf}

  ; The file type, when its command opens level sets with the program of
  ; this folder: '"<folder>\levelset-installer.exe" "%1"'.
  ReadRegStr $R1 HKLM "Software\Classes\${PROGID}\shell\open\command" ""
  StrLen $R2 $R1
  StrLen $R3 '${OPEN_COMMAND_END}'
  StrCpy $R4 $R1 "" -$R3
  StrCpy $R5 $R1 1
  IntOp $R2 $R2 - $R3
  IntOp $R2 $R2 - 1
  StrCpy $R7 ""
  ${If} $R5 == '"'
  ${AndIf} $R4 == '${OPEN_COMMAND_END}'
  ${AndIf} $R2 > 0
    StrCpy $R7 $R1 $R2 1
  ${EndIf}
  StrCpy $R8 same-folder
  StrCpy $R9 $INSTDIR
  Call un.Helper
  ${If} $R7 != ""
  ${AndIf} $R0 = ${HELPER_DONE}
    ReadRegStr $R0 HKLM "Software\Classes\.qlm" ""
    ${If} $R0 == "${PROGID}"
      ReadRegStr $R1 HKLM "Software\Classes\${PROGID}" "${PREVIOUS_DEFAULT}"
      ClearErrors
      ${If} $R1 != ""
        EnumRegKey $R2 HKCR "$R1" 0
      ${EndIf}
      ${If} $R1 != ""
      ${AndIfNot} ${Errors}
        WriteRegStr HKLM "Software\Classes\.qlm" "" "$R1"
      ${Else}
        DeleteRegValue HKLM "Software\Classes\.qlm" ""
      ${EndIf}
    ${EndIf}
    DeleteRegValue HKLM "Software\Classes\.qlm\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKLM "Software\Classes\.qlm\OpenWithProgids"
    DeleteRegKey /ifempty HKLM "Software\Classes\.qlm"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
  ${EndIf}

  ; The entry in Programs and Features, when it is this folder's.
  ReadRegStr $R7 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $R7 != ""
    StrCpy $R8 same-folder
    StrCpy $R9 $INSTDIR
    Call un.Helper
    ${If} $R0 = ${HELPER_DONE}
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
  ${EndIf}
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  StrCpy $R8 release-levels
  StrCpy $R9 $INSTDIR
  Call un.Helper
  StrCpy $R8 remove
  StrCpy $R9 "$INSTDIR\${LICENSE_FILE}"
  Call un.Helper
  ; Run in place (_?=), the uninstaller cannot remove itself.
  StrCpy $R8 remove
  StrCpy $R9 "$INSTDIR\${UNINSTALLER}"
  Call un.Helper
  RMDir "$INSTDIR\Levels"
  RMDir "$INSTDIR"
SectionEnd
