// Cutting paths into folder, name and extension and building paths from folder,
// sub-folder and name. Paths use '/' as separator; where noted the backslash is accepted
// as well.
//
// An extension is only ever looked for in the last component of a path, so a dot in a
// folder name (such as "~/.local/share") never cuts the path.
//
// Buffer forms take the size of the caller's buffer (default: the usual 256 bytes) and
// never write past it. A name that does not fit is cut; a folder or path that does not fit
// comes back empty, so a cut path can never name the wrong file.
#pragma once

#include <string>

#include "platform/strutil.h"

// The last component of `path` (after the last '/', or when there is none, after the last
// backslash) without its extension, at most 254 characters; empty when the path holds no
// separator at all.
void getFileNameNoExtension(const char* path, char* out, int outSize = kTextBufSize);
// The same; the extension is cut only when cutExtension is true.
void getFileNameOnly(const char* path, char* out, bool cutExtension, int outSize = kTextBufSize);
std::string getFileNameOnlyStr(const std::string& path, bool cutExtension);

// The text before the first '.' (the whole text when it has none). Meant for bare names:
// folders are not removed.
std::string getFileNameNoExtensionStr(const std::string& text);

// The folder of `path`: the text before its last '/' or backslash, without that separator;
// empty when there is no separator.
void getFileDriveDir(const char* path, char* out, int outSize = kTextBufSize);
std::string getFileDriveDirStr(const std::string& path);

// The sub-folder of `base` that holds the file `path`, without leading or trailing
// separator; empty when the file lies directly in base or path equals base.
std::string getFolderNameOnlyStr(const std::string& path, const std::string& base);

// dir + '/' (when missing) + sub + '/' (when missing; "Root Folder" or an empty sub stand
// for no sub-folder) + safeNameToSaveStr(name) + ext.
std::string getFullPathForFileNameStr(const std::string& dir, const std::string& sub,
                                      const std::string& name, const std::string& ext);
void getFullPathForFileNameStr(const char* dir, const char* sub, const char* name,
                               const char* ext, char* out, int outSize = kTextBufSize);
// The same without the name: the folder, ending in '/'.
std::string getFullPathForFolderStr(const std::string& dir, const std::string& sub);
void getFullPathForFolderStr(const char* dir, const char* sub, char* out,
                             int outSize = kTextBufSize);

// safeNameToSaveStr(name) followed by ext.
std::string getSaveName(const std::string& name, const std::string& ext);
void getSaveName(const char* name, const char* ext, char* out, int outSize = kTextBufSize);

// The extension of the last component, with its dot (".arp"); empty when it has none.
void getFileNameExtension(const char* path, char* out, int outSize = kTextBufSize);
std::string getFileNameExtensionsStr(const std::string& path);

// The path without the extension of its last component (folder and '/' kept).
void GetFilePathNoExtension(const char* path, char* out, int outSize = kTextBufSize);
std::string GetFilePathNoExtensionStr(const std::string& path);
// The path with the extension of its last component replaced by ext (ext holds the dot).
void replaceExtension(const char* path, char* out, const char* ext, int outSize = kTextBufSize);
std::string replaceExtension(const std::string& path, const std::string& ext);

// A name without its extension (the text before its last '.').
std::string getNameNoExtensionStr(const std::string& name);
void getNameNoExtensionStr(const char* name, char* out, int outSize = kTextBufSize);

// Drops one trailing '/'.
void removeEndSlash(char* path);
void removeEndSlash(std::string& path);
// Collapse runs of '.' (or '/') into one.
void removeDoubleDot(std::string& path);
void removeDoubleDot(char* path);
void removeDoubleSlash(std::string& path);
void removeDoubleSlash(char* path);

// "NNN name" with NNN = n + 1 as three digits with leading zeros (n = 0 gives "001 name").
void setThreeCharName(int n, const char* name, char* out, int outSize = kTextBufSize);
std::string setThreeCharName(int n, const std::string& name);
// The name of a "NNN name" text (the text unchanged when it has no such prefix).
std::string getThreeCharName(const std::string& text);

// `text` without its first length(prefix) + 1 characters (empty when it is not longer).
void removeSub(const char* prefix, const char* text, char* out, int outSize = kTextBufSize);
std::string removeSub(const std::string& prefix, const std::string& text);

// folder + '/' (when missing) + name.
std::string CombineName(const std::string& folder, const std::string& name);
void CombineName(const std::string& folder, const std::string& name, std::string& out);
void CombineName(const char* folder, const char* name, char* out, int outSize = kTextBufSize);
// The inverse: folder (without the last '/') and name; no '/' gives an empty folder.
void SplitName(const std::string& path, std::string& folder, std::string& name);
void SplitName(const char* path, char* folder, char* name, int outSize = kTextBufSize);
