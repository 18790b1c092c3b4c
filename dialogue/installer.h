// The installer's own logic: from the command line to the exit status.
#ifndef LEVELSET_DIALOGUE_INSTALLER_H
#define LEVELSET_DIALOGUE_INSTALLER_H

// The whole run, from the command-line tail of a system that keeps one
// command line. tail may be null (no tail at all). inexact, where given,
// marks each of tail's bytes that stands for a character with no exact
// form (PlatformCommandLine): a name that holds one names no file, since
// with "?" in its place it would match others as a wildcard. Returns 1
// when a level set has just been installed, 0 otherwise.
int RunInstaller(char* tail, const bool* inexact = nullptr);

// The whole run, from the arguments of a system that hands a program its
// arguments (count of them, the program's own name not among them). One
// argument is the level set's path as it is, double quotes and all, as a
// file manager passes it. Several are the words of one path that a shell
// split at its blanks, joined again with one blank each, and otherwise
// taken as they are: quotes are never read, so the path is spelled out
// whole by what was passed. None, or one empty, ends the run silently.
int RunInstallerOnArguments(int count, char** arguments);

// The command line without the program's own name and the blanks after it.
// The result points into commandLine.
char* GetCommandLineTail(char* commandLine);

// The text between the first two double quotes, the second overwritten with
// the terminator; the whole text when it holds fewer than two.
char* StripQuotes(char* text);

#endif
