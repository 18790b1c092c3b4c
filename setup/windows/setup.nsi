; The Windows setup of the level-set installer: shows what it does and its
; licence; puts levelset-installer.exe and the licence into the game's
; directory, beside the game, with Levels beside it; opens .qlm files with it
; for every user of the computer or just for the user running it; and
; registers an uninstaller that keeps the installed level sets.
;
; Two modes. For all users: elevated; only into a folder that nobody but
; administrators may change, on a fixed drive; the machine-wide file type
; (HKLM); Levels with an access list of its own that lets players who are
; not administrators install level sets. Just for me: not elevated; into any
; existing game folder the user may write; the file type for that user only
; (HKCU\Software\Classes) and their own entry in Programs and Features; no
; access list changed, nothing machine-wide. The setup asks for no rights
; (asInvoker): for all users it runs itself again as an administrator
; (ShellExecute's "runas", which asks through UAC) and waits for that run,
; ending with its status.
;
; Switches (any letter case): /S silent; /AllUsers or /CurrentUser the mode
; (silent without either: all users); /LOG=FILE receives the reason, in
; UTF-16LE, when nothing is installed (OpenLog: emptied at the start, never
; written through a link; written by the run started, never by its run as
; an administrator, which hands its reason back; started by hand with an
; administrator's rights, with those of the program that started it, or
; not at all); /D=DIR (last, not
; quoted) the game's directory.
;
; A folder that holds neither the game's program file (GAME_PROGRAM) nor
; Levels is asked about, No the default; silent, Setup installs there all
; the same (a game's own setup may run it before the game's files are in
; place), and says so in the details and the log.
;
; It moves an installation of the same mode from another folder. Exit
; status (facts.h): EXIT_INSTALLED; 1 cancelled on a page;
; EXIT_NOTHING_INSTALLED (the folder is missing, others may change it or a
; folder above it for all users, Levels is a link, a file could not be
; written, an administrator's rights were refused, or the switches
; contradict each other); EXIT_PROGRAM_OPEN (the installed program, or
; uninstaller, is open and was left as it was).
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
; Elevated only for all users, by running itself again (see above).
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
; The same setup from the same files, whenever it is made: no file times inside.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include FileFunc.nsh
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
; No InstallDir: $INSTDIR is empty unless /D= gave it, and is then taken
; from the chosen mode's installation, or, for all users, Program Files
; (UseMode).
!define DEFAULT_DIR "$PROGRAMFILES64\Quillomar"
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

Var Report    ; why the helper refused, for the user
Var Details   ; what the helper said after the words for the user, for the details
Var Previous  ; the folder of the installation that this one moves, or ""
Var AllUsers  ; 1 for all users, 0 just for me
Var ModeGiven ; 1 when /AllUsers or /CurrentUser chose the mode
Var DirGiven  ; 1 when /D= or the folder page chose the folder
Var Resumed   ; 1 in the run started as an administrator, past the pages
Var Elevated  ; 1 when running as an administrator
Var AsAdmin   ; 1 in the run that asked Windows for an administrator (/AsAdministrator)
Var LogFile   ; /LOG=, or ""
Var LogHandle ; the /LOG= file, open since the start, or ""
Var ReportPipe ; /ReportTo= of a run started as an administrator, or ""
Var FinishText
Var Case      ; what the setup did: installed, updated, reinstalled or moved
Var NotFound  ; what the details and the log say when Quillomar was not found, or ""
Var StayWhy   ; why the files stay for other players (FilesStayForOthers)
Var UninstallerSize ; the uninstaller's size in KB, once it is counted
Var OthersMine ; the words that others may change the folder chosen just for me, or ""
Var ForAll    ; the mode page's buttons
Var ForMe

!define MUI_ABORTWARNING
!define MUI_ABORTWARNING_TEXT "Quit Setup? Nothing has been installed yet."
!define MUI_ABORTWARNING_CANCEL_DEFAULT
!define MUI_UNABORTWARNING
!define MUI_UNABORTWARNING_TEXT "Quit uninstalling? Nothing has been taken away yet."
!define MUI_UNABORTWARNING_CANCEL_DEFAULT

!define MUI_WELCOMEPAGE_TITLE "Quillomar Level-Set Installer ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Setup puts the level-set installer into the folder in which Quillomar is installed, beside the game, and opens level sets (.qlm files) with it. Then a double-click on a level set installs it into the game's Levels folder.$\r$\n$\r$\nYou choose whether it does so for every user of this computer (an administrator installs it) or just for you. The game itself and its level sets are not changed."
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenResumed
!insertmacro MUI_PAGE_WELCOME

; The MIT licence asks for nothing to be accepted: the page shows it, and
; goes on with Next.
!define MUI_PAGE_HEADER_TEXT "Licence"
!define MUI_PAGE_HEADER_SUBTEXT "The level-set installer is free software under the MIT licence."
!define MUI_LICENSEPAGE_TEXT_TOP "Press Page Down to see the rest of the licence."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Setup puts this licence beside the level-set installer, as ${LICENSE_FILE}."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenResumed
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"

Page custom ModePage ModePageLeave

!define MUI_PAGE_HEADER_TEXT "Choose Quillomar's Folder"
!define MUI_PAGE_HEADER_SUBTEXT "The level-set installer goes beside the game."
!define MUI_DIRECTORYPAGE_TEXT_TOP " "
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Quillomar's folder"
!define MUI_PAGE_CUSTOMFUNCTION_PRE PreFolderPage
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowFolderPage
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckChosenFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "The Level-Set Installer Is Ready"
!define MUI_FINISHPAGE_TEXT "$FinishText"
!insertmacro MUI_PAGE_FINISH

; The confirm page says what this mode takes away (un.ShowConfirmPage).
!define MUI_UNCONFIRMPAGE_TEXT_TOP " "
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "Quillomar's folder"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ShowConfirmPage
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "The Level-Set Installer Is Uninstalled"
!define MUI_FINISHPAGE_TEXT "$FinishText"
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"
; Browse asks for the game's folder.
LangString ^DirBrowseText ${LANG_ENGLISH} "Choose the folder in which Quillomar is installed:"

; --- The helper, and files replaced whole -----------------------------------
; Both the setup and the uninstaller carry this.
!macro SETUP_FUNCTIONS UN
; Runs levelset-setup-helper.exe (unpacked into the setup's own temporary
; folder): $R8 the command, $R9 the folder, $R7 the other folder of
; "same-folder". $R0 is its exit status, $Report its reason when it refused.
Function ${UN}Helper
  ; The details list plain steps, not the helper's files and command lines.
  SetDetailsPrint none
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
  SetDetailsPrint both
  StrCpy $Details ""
  ${If} ${Errors}
    StrCpy $R0 ${HELPER_REFUSED}
  ${ElseIf} $R0 <> ${HELPER_DONE}
    Call ${UN}ReadReport
  ${EndIf}
  ${If} $R0 <> ${HELPER_DONE}
  ${AndIf} $Report == ""
    StrCpy $Report "Setup could not look at $R9 ($R0), so it changes nothing."
  ${EndIf}
FunctionEnd

; Reads $PLUGINSDIR\report.txt, if there: the words for the user into
; $Report, then, after a line "--", the details into $Details.
Function ${UN}ReadReport
    ClearErrors
    FileOpen $R6 "$PLUGINSDIR\report.txt" r
    ${IfNot} ${Errors}
      StrCpy $R5 0
      ${Do}
        ClearErrors
        FileReadUTF16LE $R6 $R4
        ${If} ${Errors}
          ${ExitDo}
        ${EndIf}
        ${Do}
          StrCpy $R3 $R4 1 -1
          ${If} $R3 != "$\n"
          ${AndIf} $R3 != "$\r"
            ${ExitDo}
          ${EndIf}
          StrCpy $R4 $R4 -1
        ${Loop}
        ${If} $R4 == "--"
          StrCpy $R5 1
        ${ElseIf} $R5 = 0
          ${If} $Report == ""
            StrCpy $Report $R4
          ${Else}
            StrCpy $Report "$Report$\r$\n$R4"
          ${EndIf}
        ${ElseIf} $Details == ""
          StrCpy $Details $R4
        ${Else}
          StrCpy $Details "$Details$\r$\n$R4"
        ${EndIf}
      ${Loop}
      FileClose $R6
    ${EndIf}
FunctionEnd

; Whether the level-set installer's files in the folder $R9 stay when an
; installation just for me leaves it: one for all users is there too, or
; other users may change the folder and may have installed it there for
; themselves, and their double-click keeps working. $R0: 1 when the files
; stay (the details say why), 0 when they may go.
Function ${UN}FilesStayForOthers
  ReadRegStr $R7 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $R7 != ""
    StrCpy $R8 same-folder
    Call ${UN}Helper
    ${If} $R0 = ${HELPER_DONE}
      StrCpy $StayWhy "it is installed there for every user of this computer too"
      DetailPrint "The level-set installer stays in $R9: $StayWhy."
      StrCpy $R0 1
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $R8 check
  Call ${UN}Helper
  ${If} $R0 <> ${HELPER_DONE}
    StrCpy $StayWhy "other players of this computer may change that folder, and may have installed it there for themselves. Once nobody uses them, delete them"
    DetailPrint "The level-set installer's files stay in $R9: $StayWhy."
    StrCpy $R0 1
    Return
  ${EndIf}
  StrCpy $R0 0
FunctionEnd

; Reads the switches: /AllUsers, /CurrentUser (any letter case), /LOG=FILE
; (opened here, OpenLog), and the setup's own /Resumed, /AsAdministrator
; and /ReportTo=; and whether this process runs as an administrator.
; Both modes at once: nothing is done (exit status EXIT_NOTHING_INSTALLED),
; and the log says why.
Function ${UN}ReadSwitches
  ${GetParameters} $R0
  StrCpy $AllUsers 1
  StrCpy $ModeGiven 0
  StrCpy $Resumed 0
  ; True only in a process with an administrator's rights in force (under
  ; UAC, a run as administrator).
  System::Call 'shell32::IsUserAnAdmin() i .R1'
  StrCpy $Elevated 0
  ${If} $R1 <> 0
    StrCpy $Elevated 1
  ${EndIf}
  StrCpy $AsAdmin 0
  ClearErrors
  ${GetOptions} $R0 "/AsAdministrator" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == ""
    StrCpy $AsAdmin 1
  ${EndIf}
  ; A run started as an administrator for another run never writes a file
  ; of a name given to it: its reason goes back to the run that started it.
  StrCpy $LogFile ""
  StrCpy $LogHandle ""
  StrCpy $ReportPipe ""
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 != ""
  ${AndIf} $AsAdmin = 0
    StrCpy $LogFile $R1
    Call ${UN}OpenLog
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/ReportTo=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $AsAdmin = 1
    StrCpy $ReportPipe $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == ""
    StrCpy $ModeGiven 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == ""
    ${If} $ModeGiven = 1
      StrCpy $Report "Setup was asked to install for all users (/AllUsers) and just for the current user (/CurrentUser) at once, so it does nothing: choose one of them."
      StrCpy $Details ""
      Call ${UN}WriteLog
      MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
      SetErrorLevel ${EXIT_NOTHING_INSTALLED}
      Quit
    ${EndIf}
    StrCpy $AllUsers 0
    StrCpy $ModeGiven 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/Resumed" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == ""
    StrCpy $Resumed 1
  ${EndIf}
FunctionEnd

; Opens the /LOG= file ($LogFile) at the start, for the whole run, and
; empties it: a file there already is replaced when it is a plain file with
; one name; made when missing, never through a link at its name. When it
; cannot be (its folder is missing, it is a link, a folder, a file with
; another name too, or in use; or, in a run with an administrator's
; rights, the rights of the program that started it cannot be taken on),
; nothing is done: the run ends with
; EXIT_NOTHING_INSTALLED, saying why in a box.
Function ${UN}OpenLog
  ; GENERIC_WRITE | FILE_READ_ATTRIBUTES, no sharing, OPEN_ALWAYS,
  ; FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT.
  ; With an administrator's rights, it is opened with the rights of the
  ; program that started this run, whose user named it (AsStarter).
  StrCpy $R7 0
  ${If} $Elevated = 1
    Call ${UN}AsStarter
    ${If} $R7 = 0
      StrCpy $Report "Setup, run with an administrator's rights, writes its log $LogFile only with the rights of the program that started it, and cannot take them on, so it does nothing. Start it without an administrator's rights: it asks for them itself."
      Goto refused
    ${EndIf}
  ${EndIf}
  System::Call 'kernel32::CreateFileW(w "$LogFile", i 0x40000080, i 0, p 0, i 4, i 0x00200080, p 0) p .R6 ?e'
  Pop $R5
  ${If} $R7 = 1
    System::Call 'advapi32::RevertToSelf() i'
  ${EndIf}
  ${If} $R6 == -1
  ${OrIf} $R6 == 0
    StrCpy $Report "Setup cannot write its log $LogFile (error $R5: its folder may not exist, or it is a folder or in use), so it does nothing."
    Goto refused
  ${EndIf}
  ; BY_HANDLE_FILE_INFORMATION: the attributes first, the number of names
  ; eleventh.
  System::Call '*(i, i, i, i, i, i, i, i, i, i, i, i, i) p .R4'
  System::Call 'kernel32::GetFileInformationByHandle(p R6, p R4) i .R3'
  System::Call '*$R4(i .R2, i, i, i, i, i, i, i, i, i, i .R1)'
  System::Free $R4
  ; FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT
  IntOp $R2 $R2 & 0x410
  ${If} $R3 = 0
  ${OrIf} $R2 <> 0
  ${OrIf} $R1 <> 1
    System::Call 'kernel32::CloseHandle(p R6)'
    StrCpy $Report "Setup does not write its log $LogFile: it is a link, or a file with another name too, so it does nothing."
    Goto refused
  ${EndIf}
  System::Call 'kernel32::SetEndOfFile(p R6) i'
  StrCpy $LogHandle $R6
  Return
refused:
  MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
  SetErrorLevel ${EXIT_NOTHING_INSTALLED}
  Quit
FunctionEnd

; Takes on, for this thread, the rights of the program that started this
; run: a process begun before this one (not another that got its id
; since), whose access token this run may copy. $R7: 1 when it did, else 0.
Function ${UN}AsStarter
  StrCpy $R7 0
  ; PROCESS_BASIC_INFORMATION: the parent's id at offset 40.
  System::Call '*(l, l, l, l, l, l) p .R4'
  System::Call 'ntdll::NtQueryInformationProcess(p -1, i 0, p R4, i 48, p 0) i .R3'
  System::Call '*$R4(l, l, l, l, l, l .R2)'
  System::Free $R4
  ${If} $R3 <> 0
  ${OrIf} $R2 = 0
    Return
  ${EndIf}
  ; PROCESS_QUERY_LIMITED_INFORMATION
  System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i R2) p .R3'
  ${If} $R3 = 0
    Return
  ${EndIf}
  System::Call 'kernel32::GetProcessTimes(p R3, *l .R4, *l, *l, *l) i .R1'
  System::Call 'kernel32::GetProcessTimes(p -1, *l .R5, *l, *l, *l) i .R2'
  System::Call 'kernel32::CompareFileTime(*l R4, *l R5) i .R6'
  StrCpy $R5 0
  ${If} $R1 <> 0
  ${AndIf} $R2 <> 0
  ${AndIf} $R6 = -1
    ; TOKEN_DUPLICATE | TOKEN_QUERY
    System::Call 'advapi32::OpenProcessToken(p R3, i 0xA, *p .R4) i .R5'
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p R3) i'
  ${If} $R5 = 0
    Return
  ${EndIf}
  ; SecurityImpersonation
  System::Call 'advapi32::DuplicateToken(p R4, i 2, *p .R3) i .R5'
  System::Call 'kernel32::CloseHandle(p R4) i'
  ${If} $R5 = 0
    Return
  ${EndIf}
  System::Call 'advapi32::SetThreadToken(p 0, p R3) i .R5'
  System::Call 'kernel32::CloseHandle(p R3) i'
  ${If} $R5 <> 0
    StrCpy $R7 1
  ${EndIf}
FunctionEnd

; Writes $Report, then a line "--" and $Details, into the /LOG= file, or,
; in a run started as an administrator for another, hands them back to it.
Function ${UN}WriteLog
  ${If} $ReportPipe != ""
    Call ${UN}HandBack
    Return
  ${EndIf}
  ${If} $LogHandle == ""
    Return
  ${EndIf}
  FileWriteUTF16LE /BOM $LogHandle "$Report$\r$\n"
  ${If} $Details != ""
    FileWriteUTF16LE $LogHandle "--$\r$\n$Details$\r$\n"
  ${EndIf}
  FileClose $LogHandle
  StrCpy $LogHandle ""
FunctionEnd

; Hands $Report and $Details back through the pipe $ReportPipe, only when
; it is a pipe that the process which started this one serves (the helper's
; run-elevated, see RunAsAdministrator); never into a file, and never lets
; that process act as this one (anonymous to it).
Function ${UN}HandBack
  ; Only a name as the helper makes it: no ".." or "\" takes it elsewhere.
  StrCpy $R1 $ReportPipe 25
  StrCpy $R2 $ReportPipe "" 25
  StrLen $R3 $R2
  System::Call 'shlwapi::StrSpnW(w R2, w "0123456789abcdef-") i .R4'
  ${If} $R1 != "\\.\pipe\quillomar-setup-"
  ${OrIf} $R3 = 0
  ${OrIf} $R4 <> $R3
    Return
  ${EndIf}
  ; GENERIC_WRITE, no sharing, OPEN_EXISTING, SECURITY_SQOS_PRESENT with
  ; SECURITY_ANONYMOUS.
  System::Call 'kernel32::CreateFileW(w "$ReportPipe", i 0x40000000, i 0, p 0, i 3, i 0x00100000, p 0) p .R6'
  ${If} $R6 == -1
  ${OrIf} $R6 == 0
    Return
  ${EndIf}
  ; PROCESS_BASIC_INFORMATION: the parent's id at offset 40.
  System::Call '*(l, l, l, l, l, l) p .R4'
  System::Call 'ntdll::NtQueryInformationProcess(p -1, i 0, p R4, i 48, p 0) i .R3'
  System::Call '*$R4(l, l, l, l, l, l .R2)'
  System::Free $R4
  System::Call 'kernel32::GetFileType(p R6) i .R1'
  System::Call 'kernel32::GetNamedPipeServerProcessId(p R6, *i .R5) i .R4'
  ; FILE_TYPE_PIPE
  ${If} $R3 = 0
  ${AndIf} $R1 = 3
  ${AndIf} $R4 <> 0
  ${AndIf} $R5 = $R2
    FileWriteUTF16LE $R6 "$Report$\r$\n"
    ${If} $Details != ""
      FileWriteUTF16LE $R6 "--$\r$\n$Details$\r$\n"
    ${EndIf}
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p R6)'
FunctionEnd

; Runs this program again as an administrator (Windows asks for consent or
; an administrator's password) with the parameters $R9, through the
; helper's run-elevated, waits for it, and sets $R0 to its exit status, or
; to "" when it did not start; $Report and $Details to the reason that it
; handed back, if any. A run that was started so and still is no
; administrator's (UAC switched off, say) asks no more: $R0 is "".
Function ${UN}RunAsAdministrator
  StrCpy $R0 ""
  ${If} $AsAdmin = 1
    Return
  ${EndIf}
  InitPluginsDir
  ${IfNot} ${FileExists} "$PLUGINSDIR\${HELPER_NAME}"
    File "/oname=$PLUGINSDIR\${HELPER_NAME}" "${HELPER}"
  ${EndIf}
  Delete "$PLUGINSDIR\report.txt"
  StrCpy $Report ""
  StrCpy $Details ""
  ClearErrors
  SetDetailsPrint none
  ExecWait '"$PLUGINSDIR\${HELPER_NAME}" run-elevated "$EXEPATH" "$R9" "$PLUGINSDIR\report.txt" $HWNDPARENT' $R0
  SetDetailsPrint both
  ${If} ${Errors}
  ${OrIf} $R0 = ${HELPER_NOT_STARTED}
    StrCpy $R0 ""
  ${ElseIf} $R0 <> ${EXIT_INSTALLED}
    Call ${UN}ReadReport
  ${EndIf}
FunctionEnd

; Ends a run whose run as an administrator ended with the status $R0,
; writing the reason that it handed back into the /LOG= file.
Function ${UN}EndAsAdministratorEnded
  ${If} $R0 <> ${EXIT_INSTALLED}
    ${If} $Report == ""
      StrCpy $Report "The run as an administrator ended with status $R0 and said no more."
    ${EndIf}
    Call ${UN}WriteLog
  ${EndIf}
  SetErrorLevel $R0
  Quit
FunctionEnd
!macroend
!insertmacro SETUP_FUNCTIONS ""
!insertmacro SETUP_FUNCTIONS "un."

; The uninstaller's: deletes the file $R9 through the helper, which never
; deletes through a link; while it is open, asks to close it (silent: gives
; up). A file that is reached through a link is left, and said so in the
; details. $R0: 0 when it is gone or left, 1 when it is still open.
Function un.RemoveFile
  ${Do}
    StrCpy $R8 remove
    Call un.Helper
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
      SetDetailsPrint none
      Delete "$R8"
      SetDetailsPrint both
      StrCpy $R0 1
      Return
    ${EndIf}
  ${Loop}
FunctionEnd

; --- The mode and the pages ------------------------------------------------

; The mode's registry (SHCTX: HKLM for all users, HKCU just for me) and, when
; no folder was chosen, the folder of that mode's installation, else, for
; all users, Program Files (just for me, none: the player chooses it).
Function UseMode
  ${If} $AllUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} $DirGiven = 0
    ReadRegStr $INSTDIR SHCTX "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
    ${If} $INSTDIR == ""
    ${AndIf} $AllUsers = 1
      StrCpy $INSTDIR "${DEFAULT_DIR}"
    ${EndIf}
  ${EndIf}
FunctionEnd

; Runs the setup again as an administrator, with the mode, the log and the
; folder chosen ($R9: any other switches), and ends with its status. When
; Windows does not start it, $Report says so and this returns.
Function InstallAsAdministrator
  StrCpy $R9 "$R9/AllUsers /D=$INSTDIR"
  Call RunAsAdministrator
  ${If} $R0 != ""
    Call EndAsAdministratorEnded
  ${EndIf}
  StrCpy $Report "Installing for all users of this computer needs an administrator, and Windows did not run Setup as one, so Setup installs nothing. Install just for you instead, which needs no administrator."
  ${If} ${Silent}
    StrCpy $Report "$Report (/CurrentUser)"
  ${EndIf}
  StrCpy $Details ""
FunctionEnd

Function .onInit
  StrCpy $DirGiven 0
  ${If} $INSTDIR != ""
    StrCpy $DirGiven 1
  ${EndIf}
  Call ReadSwitches
  Call UseMode
  ; A silent run for all users that is not an administrator's asks for one
  ; at once; so does one given /AllUsers, which shows no mode page.
  ${If} $AllUsers = 1
  ${AndIf} $Elevated = 0
  ${If} ${Silent}
  ${OrIf} $ModeGiven = 1
    StrCpy $R9 ""
    ${If} ${Silent}
      StrCpy $R9 "/S "
    ${EndIf}
    Call InstallAsAdministrator
    Call WriteLog
    MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
    SetErrorLevel ${EXIT_NOTHING_INSTALLED}
    Quit
  ${EndIf}
  ${EndIf}
FunctionEnd

; The run that an administrator's consent started goes straight to work.
Function SkipWhenResumed
  ${If} $Resumed = 1
    Abort
  ${EndIf}
FunctionEnd

; Whom Setup installs for, unless a switch said so.
Function ModePage
  ${If} $Resumed = 1
  ${OrIf} $ModeGiven = 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Choose Whom It Is For" "Setup opens level sets with the level-set installer for every user of this computer, or just for you."
  nsDialogs::Create 1018
  Pop $R0
  ; The two buttons one group, made one after the other: Tab reaches the
  ; chosen one, the arrows choose, and Alt with F or J chooses either.
  ${NSD_CreateFirstRadioButton} 0 0 100% 12u "&For all users of this computer (an administrator installs it)"
  Pop $ForAll
  ${NSD_CreateRadioButton} 0 54u 100% 12u "&Just for me"
  Pop $ForMe
  ${NSD_CreateLabel} 12u 13u -12u 36u "Into a game folder that only administrators may change, such as one under Program Files. Windows asks for an administrator's consent."
  Pop $R0
  ${NSD_AddStyle} $R0 ${WS_GROUP}
  ${NSD_CreateLabel} 12u 67u -12u 48u "Into any game folder you may change, such as a Steam library, a folder on a second drive or C:\Games. Only your own double-clicks use it; no administrator is needed."
  Pop $R0
  ${If} $AllUsers = 1
    ${NSD_Check} $ForAll
  ${Else}
    ${NSD_Check} $ForMe
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ForAll $R0
  ${If} $R0 = ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call UseMode
FunctionEnd

; The folder page shows the size of everything installed, the uninstaller
; included (written once into the setup's own folder, and counted).
Function PreFolderPage
  ${If} $Resumed = 1
    Abort
  ${EndIf}
  ${If} $UninstallerSize == ""
    InitPluginsDir
    SetDetailsPrint none
    WriteUninstaller "$PLUGINSDIR\${UNINSTALLER}"
    StrCpy $R3 0
    StrCpy $R9 "$PLUGINSDIR\${UNINSTALLER}"
    Call AddFileSize
    Delete "$PLUGINSDIR\${UNINSTALLER}"
    SetDetailsPrint both
    StrCpy $UninstallerSize $R3
    SectionGetSize 0 $R3
    IntOp $R3 $R3 + $UninstallerSize
    SectionSetSize 0 $R3
  ${EndIf}
FunctionEnd

; Adds the size of the file $R9, in KB rounded up, to $R3.
Function AddFileSize
  ClearErrors
  FileOpen $R4 "$R9" r
  ${IfNot} ${Errors}
    FileSeek $R4 0 END $R5
    FileClose $R4
    IntOp $R5 $R5 + 1023
    IntOp $R5 $R5 / 1024
    IntOp $R3 $R3 + $R5
  ${EndIf}
FunctionEnd

; Whether $INSTDIR is Quillomar's folder: the game's program file or a
; Levels folder is in it. $NotFound: what to say when it is not, or "".
Function FindQuillomar
  StrCpy $NotFound ""
  ${IfNot} ${FileExists} "$INSTDIR\${GAME_PROGRAM}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${LEVELS}\*.*"
    StrCpy $NotFound "Quillomar was not found in $INSTDIR."
  ${EndIf}
FunctionEnd

; What the folder page says: for whom, and, when this mode is installed
; already, that Setup updates it (there) or moves it (elsewhere).
Function ShowFolderPage
  ${If} $AllUsers = 1
    StrCpy $R0 "Choose the folder in which Quillomar is installed. Setup puts the level-set installer into it and opens level sets (.qlm files) with it for every user of this computer. The folder must exist, and only administrators may change it, as under Program Files."
  ${Else}
    StrCpy $R0 "Choose the folder in which Quillomar is installed, such as steamapps\common\Quillomar in a Steam library. Setup puts the level-set installer into it and opens level sets (.qlm files) with it for you."
  ${EndIf}
  ReadRegStr $R1 SHCTX "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ReadRegStr $R2 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $R1 != ""
    StrCpy $R0 "$R0$\r$\n$\r$\nVersion $R2 is installed in $R1: Setup updates it to version ${VERSION} there, or moves it to the folder you choose."
  ${EndIf}
  SendMessage $mui.DirectoryPage.Text ${WM_SETTEXT} 0 "STR:$R0"
FunctionEnd

; Refuses, in $Report, a folder just for me where an installation for all
; users already is: it opens the level sets of this user too.
Function RefuseWhereAllUsersHaveIt
  ReadRegStr $R7 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $R7 == ""
    Return
  ${EndIf}
  StrCpy $R8 same-folder
  StrCpy $R9 $INSTDIR
  Call Helper
  ${If} $R0 = ${HELPER_DONE}
    StrCpy $R0 ${HELPER_REFUSED}
    StrCpy $Report "The level-set installer is installed in $INSTDIR for every user of this computer, you included, so Setup installs nothing there just for you. An administrator updates it, with Setup for all users."
    StrCpy $Details ""
  ${Else}
    StrCpy $R0 ${HELPER_DONE}
  ${EndIf}
FunctionEnd

; Judges the chosen folder for the mode: $R0 as the helper's check.
Function CheckForMode
  ${If} $AllUsers = 1
    StrCpy $R8 check
  ${Else}
    StrCpy $R8 check-mine
  ${EndIf}
  StrCpy $R9 $INSTDIR
  Call Helper
  ${If} $R0 = ${HELPER_DONE}
  ${AndIf} $AllUsers = 0
    Call RefuseWhereAllUsersHaveIt
  ${EndIf}
FunctionEnd

; Just for me, into a folder that others may change: $OthersMine says so,
; in the offer's words for just for me (helper "others-mine"), or is "".
Function FindOthersMine
  StrCpy $OthersMine ""
  StrCpy $R8 others-mine
  StrCpy $R9 $INSTDIR
  Call Helper
  ${If} $R0 = ${HELPER_OTHERS_MAY_CHANGE}
    StrCpy $OthersMine $Report
  ${EndIf}
FunctionEnd

; The folder page stays until the folder is one Setup may install into. A
; folder that others may change is offered just for me, and, chosen just
; for me, said to be such. For all users, a setup that is not an
; administrator's now runs again as one.
Function CheckChosenFolder
  ; A folder that is there, but not the game's, is asked about first.
  ${If} ${FileExists} "$INSTDIR\*.*"
    Call FindQuillomar
    ${If} $NotFound != ""
      MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$NotFound$\r$\n$\r$\nThe game reads level sets only from the Levels folder beside it. Install the level-set installer in this folder anyway?" IDYES +2
      Abort
    ${EndIf}
  ${EndIf}
  Call CheckForMode
  ${If} $R0 = ${HELPER_DONE}
  ${AndIf} $AllUsers = 0
    Call FindOthersMine
    ${If} $OthersMine != ""
      MessageBox MB_YESNO|MB_ICONEXCLAMATION "$OthersMine$\r$\n$\r$\nInstall just for you in this folder? (No: choose another folder.)" IDYES +2
      Abort
    ${EndIf}
    StrCpy $R0 ${HELPER_DONE}
  ${EndIf}
  ${If} $R0 = ${HELPER_OTHERS_MAY_CHANGE}
    ${If} $Details != ""
      DetailPrint "$Details"
    ${EndIf}
    MessageBox MB_YESNO|MB_ICONEXCLAMATION "$Report$\r$\n$\r$\nInstall just for you in this folder? (No: choose another folder.)" IDYES +2
    Abort
    StrCpy $AllUsers 0
    StrCpy $DirGiven 1
    Call UseMode
    Call CheckForMode
  ${EndIf}
  ${If} $R0 <> ${HELPER_DONE}
    MessageBox MB_OK|MB_ICONSTOP "$Report"
    Abort
  ${EndIf}
  StrCpy $DirGiven 1
  ${If} $AllUsers = 1
  ${AndIf} $Elevated = 0
    HideWindow
    StrCpy $R9 "/Resumed "
    Call InstallAsAdministrator
    BringToFront
    MessageBox MB_OK|MB_ICONSTOP "$Report"
    Abort
  ${EndIf}
FunctionEnd

; Ends the installation with an exit status, having said why ($Report, in
; a box, the details and the log; the details the helper gave too).
!macro GIVE_UP STATUS
  ${If} $Details != ""
    DetailPrint "$Details"
  ${EndIf}
  Call WriteLog
  MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
  SetErrorLevel ${STATUS}
  Abort "$Report"
!macroend

; Deletes NAME.new, or NAME, in the chosen folder.
!macro DELETE_NEW NAME
  SetDetailsPrint none
  Delete "$INSTDIR\${NAME}${NEW_SUFFIX}"
  SetDetailsPrint both
!macroend
!macro DELETE_INSTALLED NAME
  SetDetailsPrint none
  Delete "$INSTDIR\${NAME}"
  SetDetailsPrint both
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
    StrCpy $Report "${FILE} is open, so Setup changed nothing. Close it and run Setup again."
    StrCpy $Details ""
    DetailPrint "$Report"
    Call WriteLog
    SetErrorLevel ${EXIT_PROGRAM_OPEN}
    ; The status line holds one short line.
    Abort "Close the level-set installer, then run Setup again."
  ${EndIf}
!macroend

; Puts NAME.new in the place of NAME in the chosen folder, or gives up.
; Adds the size of NAME in the chosen folder to $R3 (AddFileSize).
!macro ADD_INSTALLED_SIZE NAME
  StrCpy $R9 "$INSTDIR\${NAME}"
  Call AddFileSize
!macroend

!macro PUT_IN_PLACE NAME
  StrCpy $R8 "$INSTDIR\${NAME}${NEW_SUFFIX}"
  StrCpy $R9 "$INSTDIR\${NAME}"
  Call ReplaceFile
  !insertmacro OPEN_OR_GO_ON "$INSTDIR\${NAME}"
!macroend

Section
  ; Silent installs come here straight; an interactive one passed the same
  ; check on the directory page a moment ago.
  Call CheckForMode
  ${If} $R0 = ${HELPER_OTHERS_MAY_CHANGE}
  ${AndIf} ${Silent}
    StrCpy $Report "$Report (/CurrentUser)"
  ${EndIf}
  ${If} $R0 <> ${HELPER_DONE}
    !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
  ${EndIf}
  ${If} $AllUsers = 1
    DetailPrint "Installing for every user of this computer into $INSTDIR"
  ${Else}
    DetailPrint "Installing just for you into $INSTDIR"
    Call FindOthersMine
    ${If} $OthersMine != ""
      DetailPrint "$OthersMine"
    ${EndIf}
  ${EndIf}
  ; Not the game's folder: asked on the folder page; silent, installed all
  ; the same, and said.
  Call FindQuillomar
  ${If} $NotFound != ""
    StrCpy $NotFound "$NotFound Setup installed the level-set installer there all the same: the game reads level sets only from the Levels folder beside it."
    DetailPrint "$NotFound"
  ${EndIf}
  StrCpy $Case "installed"

  ; An installation in another folder moves here.
  ReadRegStr $Previous SHCTX "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ReadRegStr $R1 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $Previous != ""
    StrCpy $R8 same-folder
    StrCpy $R9 $Previous
    StrCpy $R7 $INSTDIR
    Call Helper
    ${If} $R0 = ${HELPER_DONE}
      StrCpy $Previous ""
      ${If} $R1 == "${VERSION}"
        StrCpy $Case "reinstalled"
        DetailPrint "Reinstalling version ${VERSION} in this folder"
      ${Else}
        StrCpy $Case "updated"
        DetailPrint "Updating version $R1 in this folder to version ${VERSION}"
      ${EndIf}
    ${Else}
      StrCpy $Case "moved"
      DetailPrint "Moving version $R1 from $Previous here, as version ${VERSION}"
    ${EndIf}
  ${EndIf}

  ; Levels first: one that is a link stops everything here. Just for me,
  ; it keeps what its folder hands down, as the game's own files do.
  ${If} $AllUsers = 1
    DetailPrint "Letting every user add level sets to Levels"
    StrCpy $R8 levels
    StrCpy $R9 $INSTDIR
    Call Helper
    ${If} $R0 <> ${HELPER_DONE}
      !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
    ${EndIf}
  ${Else}
    ClearErrors
    SetDetailsPrint none
    CreateDirectory "$INSTDIR\${LEVELS}"
    SetDetailsPrint both
    ${If} ${Errors}
      StrCpy $Report "Setup cannot make $INSTDIR\${LEVELS}, so it installs nothing."
      StrCpy $Details ""
      !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
    ${EndIf}
  ${EndIf}

  ; The program, the uninstaller and the licence are unpacked beside their
  ; places (so a new file, with the folder's access list, never an old file
  ; written through), then put there in one step each.
  DetailPrint "Putting the level-set installer, its uninstaller and its licence into the folder"
  SetDetailsPrint none
  SetOutPath "$INSTDIR"
  !insertmacro ForEachINSTALLED_FILES DELETE_NEW
  SetDetailsPrint none
  ClearErrors
  File "/oname=$INSTDIR\${PROGRAM_NAME}${NEW_SUFFIX}" "${PROGRAM}"
  !insertmacro WRITTEN_OR_GIVE_UP "$INSTDIR\${PROGRAM_NAME}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}${NEW_SUFFIX}"
  !insertmacro WRITTEN_OR_GIVE_UP "$INSTDIR\${UNINSTALLER}"
  File "/oname=$INSTDIR\${LICENSE_FILE}${NEW_SUFFIX}" "${LICENSE}"
  !insertmacro WRITTEN_OR_GIVE_UP "$INSTDIR\${LICENSE_FILE}"
  SetDetailsPrint both
  ; Each with an access list of its own: whatever the folder hands down,
  ; only administrators may change them. Just for me, they are the user's,
  ; in a folder the user may change, as the game is.
  ${If} $AllUsers = 1
    StrCpy $R8 files
    StrCpy $R9 $INSTDIR
    Call Helper
    ${If} $R0 <> ${HELPER_DONE}
      !insertmacro ForEachINSTALLED_FILES DELETE_NEW
      !insertmacro GIVE_UP ${EXIT_NOTHING_INSTALLED}
    ${EndIf}
  ${EndIf}
  !insertmacro ForEachINSTALLED_FILES PUT_IN_PLACE

  ; The uninstaller runs in place (_?=), so that whoever starts it waits for
  ; its true exit status, in the mode it was installed in.
  ${If} $AllUsers = 1
    StrCpy $R2 "/AllUsers"
    DetailPrint "Opening level sets with it for every user of this computer"
  ${Else}
    StrCpy $R2 "/CurrentUser"
    DetailPrint "Opening level sets with it for you"
  ${EndIf}

  ; Registered only now that everything is in place. Another program that
  ; opened .qlm is remembered, and stays under "Open with".
  ReadRegStr $R0 SHCTX "Software\Classes\.qlm" ""
  ${If} $R0 != ""
  ${AndIf} $R0 != "${PROGID}"
    WriteRegStr SHCTX "Software\Classes\${PROGID}" "${PREVIOUS_DEFAULT}" "$R0"
    WriteRegStr SHCTX "Software\Classes\.qlm\OpenWithProgids" "$R0" ""
  ${EndIf}
  WriteRegStr SHCTX "Software\Classes\.qlm" "" "${PROGID}"
  WriteRegStr SHCTX "Software\Classes\.qlm\OpenWithProgids" "${PROGID}" ""
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "Quillomar Level Set"
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "FriendlyTypeName" "Quillomar Level Set"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${PROGRAM_NAME},0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_NAME},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "${INSTALL_LOCATION}" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}" $R2 _?=$INSTDIR'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S $R2 _?=$INSTDIR'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size of everything installed, in KB, each file rounded up.
  StrCpy $R3 0
  !insertmacro ForEachINSTALLED_FILES ADD_INSTALLED_SIZE
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R3

  ; SHCNE_ASSOCCHANGED: Explorer reads the file types again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; The installation that moved here, now that nothing points at it any
  ; more: the helper judges its folder as it judged this one, and takes our
  ; files and the players' entries out of it (the level sets stay), or
  ; leaves it as it is, saying why in the details.
  ${If} $Previous != ""
    StrCpy $R9 $Previous
    StrCpy $R0 0
    StrCpy $R8 remove-old
    ; Just for me, the files may stay for others (FilesStayForOthers).
    ${If} $AllUsers = 0
      Call FilesStayForOthers
      StrCpy $R8 remove-old-mine
    ${EndIf}
    ${If} $R0 = 0
      DetailPrint "Taking the level-set installer out of $Previous"
      StrCpy $R9 $Previous
      Call Helper
      ${If} $R0 <> ${HELPER_DONE}
        DetailPrint "$Report"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Call SayFinished
  ${If} $NotFound != ""
    StrCpy $Report $NotFound
    StrCpy $Details ""
    Call WriteLog
  ${EndIf}
  ; The log of an installation just for me into a folder that others may
  ; change says so.
  ${If} $AllUsers = 0
  ${AndIf} $OthersMine != ""
    StrCpy $Report $OthersMine
    StrCpy $Details ""
    Call WriteLog
  ${EndIf}
SectionEnd

; The finish page's words: what Setup did ($Case), for whom, the folder on
; a line of its own, and, after a move, where the level sets installed
; before are (they stay there: one of them may have the name of one in the
; new Levels).
Function SayFinished
  ${If} $AllUsers = 1
    StrCpy $R0 "for every user of this computer"
  ${Else}
    StrCpy $R0 "for you"
  ${EndIf}
  ${If} $Case == "updated"
    StrCpy $R0 "Setup has updated the level-set installer to version ${VERSION} $R0, in this folder:"
  ${Else}
    StrCpy $R0 "Setup has $Case the level-set installer ${VERSION} $R0, in this folder:"
  ${EndIf}
  StrCpy $FinishText "$R0$\r$\n$INSTDIR$\r$\n$\r$\nDouble-click a level set (a .qlm file) to install it into Quillomar's Levels folder."
  ${If} $Case == "moved"
    ClearErrors
    FindFirst $R1 $R2 "$Previous\${LEVELS}\*.qlm"
    FindClose $R1
    ${If} $R2 != ""
      StrCpy $FinishText "$FinishText$\r$\n$\r$\nThe level sets installed before stay in:$\r$\n$Previous\${LEVELS}$\r$\nMove the ones you play into the new ${LEVELS} folder."
    ${EndIf}
  ${EndIf}
FunctionEnd

; The uninstaller runs in place ("_?=FOLDER" last, as the registry's
; commands give it), so that whoever started it gets its true exit status:
; EXIT_INSTALLED (0) when it is done, EXIT_PROGRAM_OPEN while the program is
; open (nothing removed), EXIT_NOTHING_INSTALLED when it changed nothing
; (UninstallMode). /AllUsers or /CurrentUser says which installation it
; takes away, without either the registration that names its folder; for
; all users, not run as an administrator, it runs itself again as one and
; ends with that run's status.
Function un.onInit
  Call un.ReadSwitches
  Call un.UninstallMode
  ${If} $AllUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} $AllUsers = 1
  ${AndIf} $Elevated = 0
    StrCpy $R9 ""
    ${If} ${Silent}
      StrCpy $R9 "/S "
    ${EndIf}
    StrCpy $R9 "$R9/AllUsers _?=$INSTDIR"
    Call un.RunAsAdministrator
    ${If} $R0 != ""
      Call un.EndAsAdministratorEnded
    ${EndIf}
    StrCpy $Report "Taking away the installation for all users of this computer needs an administrator, and Windows did not run the uninstaller as one, so it changed nothing."
    Call un.WriteLog
    MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
    SetErrorLevel ${EXIT_NOTHING_INSTALLED}
    Quit
  ${EndIf}
  ; As an administrator, the folder is judged again, as one to install
  ; into for all users.
  ${If} $AllUsers = 1
    StrCpy $R8 check
    StrCpy $R9 $INSTDIR
    Call un.Helper
    ${If} $R0 <> ${HELPER_DONE}
      StrCpy $Details $Report
      StrCpy $Report "The uninstaller changes nothing in $INSTDIR: only administrators may change the folder of an installation for all users, reached through no link, and this one is not so."
      Call un.ChangeNothing
    ${EndIf}
  ${EndIf}
FunctionEnd

; Which installation the uninstaller takes away: the one of the mode that
; its switch gives, or, without one, the one whose registration (this
; user's first, then the machine's) names its folder, judged as the same
; folder, not the same text. Where that registration names another folder,
; or none names this one, it changes nothing (un.ChangeNothing).
Function un.UninstallMode
  StrCpy $R1 0
  StrCpy $R2 0
  StrCpy $R8 same-folder
  StrCpy $R9 $INSTDIR
  ReadRegStr $R7 HKCU "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $R7 != ""
    Call un.Helper
    ${If} $R0 = ${HELPER_DONE}
      StrCpy $R1 1
    ${EndIf}
  ${EndIf}
  ReadRegStr $R7 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $R7 != ""
    Call un.Helper
    ${If} $R0 = ${HELPER_DONE}
      StrCpy $R2 1
    ${EndIf}
  ${EndIf}
  StrCpy $Details ""
  ${If} $ModeGiven = 0
  ${AndIf} $R1 = 1
    StrCpy $AllUsers 0
  ${ElseIf} $ModeGiven = 0
  ${AndIf} $R2 = 1
    StrCpy $AllUsers 1
  ${ElseIf} $ModeGiven = 0
    StrCpy $Report "No installation of the level-set installer, for all users or for you, is registered in $INSTDIR, so the uninstaller removes nothing. Its files are in $INSTDIR: delete them there once nobody uses them."
    Call un.ChangeNothing
  ${ElseIf} $AllUsers = 1
  ${AndIf} $R2 = 0
    StrCpy $Report "The installation for all users of this computer is not registered in $INSTDIR, so the uninstaller changes nothing there."
    Call un.ChangeNothing
  ${ElseIf} $AllUsers = 0
  ${AndIf} $R1 = 0
    StrCpy $Report "Your own installation is not registered in $INSTDIR, so the uninstaller changes nothing there."
    Call un.ChangeNothing
  ${EndIf}
FunctionEnd

; Ends the uninstaller with nothing changed, saying why ($Report, in a box
; and the log).
Function un.ChangeNothing
  Call un.WriteLog
  MessageBox MB_OK|MB_ICONSTOP "$Report" /SD IDOK
  SetErrorLevel ${EXIT_NOTHING_INSTALLED}
  Quit
FunctionEnd

Var KeepFiles ; 1 when another installation may use the files of this folder

; What the confirm page says this mode takes away.
Function un.ShowConfirmPage
  ${If} $AllUsers = 1
    StrCpy $R0 "Setup takes the level-set installer out of the folder below for every user of this computer: level sets (.qlm files) are no longer opened with it, and players no longer add level sets to Levels. Quillomar and the level sets in its Levels folder stay."
  ${Else}
    StrCpy $R0 "Level sets (.qlm files) are no longer opened with the level-set installer for you. Its files leave the folder below unless other players of this computer may still use them. Quillomar and the level sets in its Levels folder stay."
  ${EndIf}
  SendMessage $mui.UnConfirmPage.Text ${WM_SETTEXT} 0 "STR:$R0"
FunctionEnd

; Takes away the program, its uninstaller, the players' entries in Levels,
; the file that kept Levels from being empty, and the file type and the
; uninstaller entry of this mode while they point at this folder; keeps the
; level sets in Levels, and the game's directory with whatever else is in
; it. A program that had .qlm before gets it back. Just for me, it never
; touches what is machine-wide, and keeps the files while an installation
; for all users, or another user's own, may use them.
Section "Uninstall"
  StrCpy $KeepFiles 0
  ${If} $AllUsers = 0
    StrCpy $R9 $INSTDIR
    Call un.FilesStayForOthers
    StrCpy $KeepFiles $R0
  ${EndIf}

  ; The program first: while it is open, nothing is removed.
  ${If} $KeepFiles = 0
    DetailPrint "Taking the level-set installer out of $INSTDIR"
    StrCpy $R9 "$INSTDIR\${PROGRAM_NAME}"
    Call un.RemoveFile
    ${If} $R0 <> 0
      StrCpy $Report "$R9 is open, so nothing was taken away. Close it and uninstall again."
      DetailPrint "$Report"
      Call un.WriteLog
      SetErrorLevel ${EXIT_PROGRAM_OPEN}
      Abort "Close the level-set installer, then uninstall again."
    ${EndIf}
  ${EndIf}

  ; The file type, when its command opens level sets with the program of
  ; this folder: '"<folder>\levelset-installer.exe" "%1"'.
  DetailPrint "No longer opening level sets with it"
  ReadRegStr $R1 SHCTX "Software\Classes\${PROGID}\shell\open\command" ""
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
    ReadRegStr $R0 SHCTX "Software\Classes\.qlm" ""
    ${If} $R0 == "${PROGID}"
      ReadRegStr $R1 SHCTX "Software\Classes\${PROGID}" "${PREVIOUS_DEFAULT}"
      ClearErrors
      ${If} $R1 != ""
        EnumRegKey $R2 HKCR "$R1" 0
      ${EndIf}
      ${If} $R1 != ""
      ${AndIfNot} ${Errors}
        WriteRegStr SHCTX "Software\Classes\.qlm" "" "$R1"
      ${Else}
        DeleteRegValue SHCTX "Software\Classes\.qlm" ""
      ${EndIf}
    ${EndIf}
    DeleteRegValue SHCTX "Software\Classes\.qlm\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty SHCTX "Software\Classes\.qlm\OpenWithProgids"
    DeleteRegKey /ifempty SHCTX "Software\Classes\.qlm"
    DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  ${EndIf}

  ; The entry in Programs and Features, when it is this folder's.
  ReadRegStr $R7 SHCTX "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
  ${If} $R7 != ""
    StrCpy $R8 same-folder
    StrCpy $R9 $INSTDIR
    Call un.Helper
    ${If} $R0 = ${HELPER_DONE}
      DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${EndIf}
  ${EndIf}
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ${If} $AllUsers = 1
    DetailPrint "Players no longer add level sets to Levels; the level sets stay"
    StrCpy $R8 release-levels
    StrCpy $R9 $INSTDIR
    Call un.Helper
    StrCpy $R8 remove
    StrCpy $R9 "$INSTDIR\${LEVELS}\${LEVELS_KEEPER}"
    Call un.Helper
  ${EndIf}
  ${If} $KeepFiles = 0
    StrCpy $R8 remove
    StrCpy $R9 "$INSTDIR\${LICENSE_FILE}"
    Call un.Helper
    SetDetailsPrint none
    RMDir "$INSTDIR\${LEVELS}"
    SetDetailsPrint both
    ; Running, the uninstaller cannot remove its own file: the helper does,
    ; once it has ended (and stays behind in the temporary folder).
    StrCpy $R9 "$INSTDIR\${UNINSTALLER}"
    System::Call 'kernel32::GetCurrentProcessId() i .R8'
    SetDetailsPrint none
    Exec '"$PLUGINSDIR\${HELPER_NAME}" remove-later "$R9" $R8'
    SetDetailsPrint both
  ${EndIf}
  ; The finish page: what was taken away, and what stays, with the folder
  ; on a line of its own.
  ${If} $KeepFiles = 1
    StrCpy $FinishText "Level sets (.qlm files) are no longer opened with the level-set installer for you.$\r$\n$\r$\nIts files stay in this folder:$\r$\n$INSTDIR$\r$\n$\r$\nThey stay because $StayWhy. Quillomar and its level sets stay too."
  ${ElseIf} $AllUsers = 1
    StrCpy $FinishText "The level-set installer is taken out of this folder for every user of this computer:$\r$\n$INSTDIR$\r$\n$\r$\nLevel sets (.qlm files) are no longer opened with it. Quillomar and its level sets stay."
  ${Else}
    StrCpy $FinishText "The level-set installer is taken out of this folder for you:$\r$\n$INSTDIR$\r$\n$\r$\nLevel sets (.qlm files) are no longer opened with it. Quillomar and its level sets stay."
  ${EndIf}
SectionEnd
