// What the Windows setup, its helper and the build agree on, written here
// only: the helper's and the setup's exit statuses, the names of the files
// it installs and the registry names it writes. The build reads this file:
// every "#define SETUP_NAME value" line becomes "!define NAME value" in
// setup_facts.nsh, which setup.nsi includes; a value that lists other names
// (A, B, C) becomes the macro ForEachNAME, which inserts a given macro once
// for each. Values are C literals: "\\" in a string is one backslash for
// NSIS. The same facts go, as SETUP_NAME shell variables (a list as an
// array), into setup_facts.sh in the build directory, which the setup's Wine
// scenarios read. Keep every such line on one line.
#ifndef LEVELSET_SETUP_WINDOWS_FACTS_H
#define LEVELSET_SETUP_WINDOWS_FACTS_H

// The helper's exit statuses. "same-folder" answers 0 or ANOTHER_FOLDER.
#define SETUP_HELPER_DONE 0
#define SETUP_HELPER_ANOTHER_FOLDER 1
#define SETUP_HELPER_REFUSED 2
#define SETUP_HELPER_IN_USE 3
// "check": others may change the folder or one above it (just for me may do).
#define SETUP_HELPER_OTHERS_MAY_CHANGE 4
// "run-elevated" ends with the status of the run it started, or this when
// Windows started none (an administrator's consent refused, say).
#define SETUP_HELPER_NOT_STARTED 65
#define SETUP_HELPER_USAGE 64

// The setup's own exit statuses (1 is NSIS's, cancelled on a page).
#define SETUP_EXIT_INSTALLED 0
#define SETUP_EXIT_NOTHING_INSTALLED 2
#define SETUP_EXIT_PROGRAM_OPEN 3

// The files the setup puts into the game's folder. The game's folder may
// have a LICENSE.txt of its own: ours has our name.
#define SETUP_PROGRAM_NAME "levelset-installer.exe"
#define SETUP_UNINSTALLER "levelset-installer-uninstall.exe"
#define SETUP_LICENSE_FILE "levelset-installer-LICENSE.txt"
#define SETUP_INSTALLED_FILES SETUP_PROGRAM_NAME, SETUP_UNINSTALLER, SETUP_LICENSE_FILE
// What the setup unpacks a file as, beside its place, before it is put there.
#define SETUP_NEW_SUFFIX ".new"
// The game's folder of level sets, beside its program.
#define SETUP_LEVELS "Levels"
// The file that keeps Levels from ever being empty; never a level set.
#define SETUP_LEVELS_KEEPER "levelset-installer-keep.txt"
// The game's program file, by which the setup knows Quillomar's folder (a
// folder with Levels in it counts too). The build option
// LEVELSET_GAME_PROGRAM replaces it.
#define SETUP_GAME_PROGRAM "Quillomar.exe"
// The helper, unpacked into the setup's own temporary folder.
#define SETUP_HELPER_NAME "levelset-setup-helper.exe"

// The registry: the file type, where the setup remembers the program that
// opened .qlm before it, and the entry in Programs and Features.
#define SETUP_PROGID "Quillomar.LevelSet"
#define SETUP_PREVIOUS_DEFAULT "PreviousDefault"
#define SETUP_UNINSTALL_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillomarLevelSetInstaller"
#define SETUP_INSTALL_LOCATION "InstallLocation"

#endif
