#pragma once

// Small file operations on paths and the bundle's resources folder.

// mkdir with permission bits 0777; the system's result (0 or -1).
int makeDirectory(char* path);
// rename; the system's result.
int renameFileFolder(const char* from, const char* to);
int renameFile(const char* from, const char* to);
// Nothing is deleted: the file is renamed with its extension replaced by ".~fx" (or ext).
void deleteFile(const char* path);
void deleteFile(const char* path, const char* ext);
// Copies the whole source over the target. A missing source or a target that is the source
// itself leaves the target untouched.
void CopyFileFromTo(const char* from, const char* to);
void fileCopy(const char* from, const char* to);
// The Resources folder of the component bundle, at most size bytes with the terminator;
// empty when it does not fit or the bundle is unknown.
void getResourcePath(char* out, int size);
// The folder of the application's own data (preset folders, manual), ending in '/':
// $XDG_DATA_HOME/Orvane/Tarnwell/, by default ~/.local/share/Orvane/Tarnwell/. At most size bytes
// with the terminator; empty when it does not fit or no home folder is known.
void getApplicationDataFolder(char* out, int size);
// Appends text and a line end to the diagnostics file; nothing when it cannot be opened.
void writeLog(const char* text);
