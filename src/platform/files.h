// File and folder operations on the local file system.
#pragma once

#include <string>

// Creates the folder and any missing parents (like mkdir -p). True when the folder
// exists afterwards.
bool makeDirectory(const std::string& path);
bool makeDirectory(const char* path);

// "Deleting" a file renames it to the same name with the extension ".~fx" (or the given
// extension, dot included), so that it can still be recovered. True on success.
bool deleteFile(const char* path);
bool deleteFile(const char* path, const char* ext);
bool deleteFileStr(const std::string& path);
bool deleteFileStr(const std::string& path, const std::string& ext);

// The system rename of a file or a folder. True on success.
bool renameFile(const char* from, const char* to);
bool renameFile(const std::string& from, const std::string& to);
bool renameFileFolder(const char* from, const char* to);
bool renameFileFolder(const std::string& from, const std::string& to);

// Copies a file byte for byte. The copy is written to a temporary file beside the
// target and renamed over it, so the target is either the old file or the whole copy.
bool fileCopy(const char* from, const char* to);
bool fileCopy(const std::string& from, const std::string& to);
bool CopyFileFromTo(const char* from, const char* to);
bool CopyFileFromTo(const std::string& from, const std::string& to);

namespace platform {

// True when path names an existing regular file (after following links).
bool fileExists(const std::string& path);
// True when path names an existing folder (after following links).
bool folderExists(const std::string& path);

// Writes `data` to `path` through a temporary file in the same folder that is flushed
// and then renamed over the target. On failure the target is unchanged and no temporary
// file is left behind.
bool writeFileAtomically(const std::string& path, const std::string& data);

} // namespace platform
