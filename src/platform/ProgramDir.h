#pragma once
// The program's directory and the paths of the files kept beside it.
// ProgramDir is set once at start-up and never ends in a separator.
#include <QString>

// Directory part of an executable path, following the Windows rules: the
// text before the last "\" or drive ":" (also "/"), keeping the separator only
// for a drive root, then one trailing "\" or "/" removed. So "C:\x.exe" gives
// "C:", "C:\Tools\x.exe" gives "C:\Tools" and "/usr/bin/x" gives "/usr/bin";
// "/x" gives "" (the root), so that ProgramDir + "/" + name is "/name".
QString DirectoryOfExecutable(const QString& exePath);

// Chooses the directory for the program's files: the executable's directory,
// or the per-user data directory for Tandexa (created on demand) when that
// directory cannot be written or the program is installed (its desktop entry
// is in ../share/applications/tandexa.desktop from the executable's folder).
QString ResolveProgramDir(const QString& exePath);

const QString& ProgramDir();
void SetProgramDir(const QString& dir);

// ProgramDir + separator + name.
QString ProgramFile(const QString& name);
