// One-level listings of a folder's sub-folders or files, sorted the way the browser menus
// show them.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class FolderEntryKind { Folders, Files };

// The names (not paths) of the entries of `folder` of the given kind, one level deep,
// sorted with namesOrderedUpper. Names beginning with '.' or '~' (hidden, backups), names
// holding a line break, and entries whose kind cannot be read are skipped; a symbolic link
// counts as what it points to. Empty when the folder cannot be read.
std::vector<std::string> listFolderEntries(const std::string& folder, FolderEntryKind kind);

// The order of the listings: byte by byte after converting both names to upper case; on
// equal common parts the shorter name comes first.
bool namesOrderedUpper(const std::string& a, const std::string& b);

} // namespace platform
