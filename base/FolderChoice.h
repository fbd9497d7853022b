#pragma once
#include <QString>

namespace vorda {
class UserInteraction;

// The question the folder chooser asks about a typed folder that is missing.
inline constexpr char kCreateFolderQuestion[] = "The specified directory does not exist. Create it?";

// Settles the folder a folder chooser was given, typed or picked: the path
// made absolute and clean, without a final separator (the root keeps its
// "/"). A folder that does not exist yet is created, with any missing folders
// above it, once the user agrees to kCreateFolderQuestion. Returns an empty
// text when the user declines or the folder cannot be had; a failure to
// create it, or a path that names a file, is shown first.
QString SettleChosenFolder(const QString& path, UserInteraction& ui);

} // namespace vorda
