// The installer's own logic: from the command-line tail to the exit status.
#ifndef LEVELSET_DIALOGUE_INSTALLER_H
#define LEVELSET_DIALOGUE_INSTALLER_H

// The whole run. tail may be null (no tail at all). Returns 1 when a level
// set has just been installed, 0 otherwise.
int RunInstaller(char* tail);

// The run from the level set's path on, for an entry that has the path
// without a command-line tail to take it from.
int RunInstallerOnSource(const char* source);

// The command line without the program's own name and the blanks after it.
// The result points into commandLine.
char* GetCommandLineTail(char* commandLine);

// The text between the first two double quotes, the second overwritten with
// the terminator; the whole text when it holds fewer than two.
char* StripQuotes(char* text);

#endif
