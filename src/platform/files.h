// File and folder operations on the local file system.
#pragma once

#include <cstddef>
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
// and then renamed over the target. The new file keeps the mode of the regular file it
// replaces (0644 for a new one). A link that cannot be resolved (a loop) is refused. On
// failure the target is unchanged and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, const std::string& data);

// How reading a whole file went.
enum class FileRead { ok, missing, notRegular, tooLarge, failed };

// The limit for the small text files the plug-in reads (presets, maps, tunings).
constexpr std::size_t kMaxTextFileSize = 4u << 20;

// Reads the whole file into `out` when it is a regular file (after following links) of at
// most maxBytes. The file is opened without blocking and examined before it is read, so a
// FIFO or a device in a file's place is refused at once instead of hanging the caller.
// Anything but ok leaves `out` empty; `error` (when given) receives the system's error
// number for missing and failed. A path that names nothing (or runs through something
// that is not a folder) is missing.
FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out,
                         int* error = nullptr);

// True when the path opens for reading as a regular file; never blocks.
bool canReadRegularFile(const std::string& path);

// Where a rename meant to replace `path` has to happen: the file a symbolic link (or a
// chain of them) finally names, so that the link stays a link. `path` itself when it is
// no link.
std::string linkTarget(const std::string& path);

} // namespace platform
