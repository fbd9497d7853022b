#pragma once
#include <QString>

namespace vorda {
struct StartupState;
class UserInteraction;

// Moves the user directory to a folder the user chooses. When the folder
// does not hold the program's files yet (no "VORDAReadMe.txt"), the text,
// map and data files of the old user directory are copied into it; nothing
// is removed from the old one. The chosen folder then becomes the working
// directory and is recorded in "VORDAUD.txt" for the next start. Every stop
// is reported through ui; a stop leaves UserDir, the working directory and
// "VORDAUD.txt" as they were. Returns true when UserDir changed.
bool SelectUserDir(StartupState& state, UserInteraction& ui);

// Copies every file of folder Source whose name matches FileExtn (a pattern
// such as "*.map", matched without regard to case; hidden files included,
// folders not) into folder Target, replacing files of the same name. Both
// folder texts end with a separator. A file that cannot be copied is
// reported as "copy " + path + " failed" and the others still go.
void CopyFiles(const QString& Source, const QString& Target, const QString& FileExtn, UserInteraction& ui);

} // namespace vorda
