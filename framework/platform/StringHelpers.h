#pragma once

// Free helpers on zero-terminated texts and '/'-separated paths (some also accept '\\').
// Results that are paths are cut to PATH_BUFFER_SIZE - 1 bytes: callers pass 256-byte buffers.

#include <string>

inline constexpr int PATH_BUFFER_SIZE = 256;

// In place, ASCII letters only.
void upperCase(char* text);
void lowerCase(char* text);
// In place: at most 24 characters, ending before the first control character or byte >= 128.
void safename(char* text);
// In place: keeps the digits, '+', '-' and '.'.
void stripAllButNum(char* text);

// "%d" cut to maxLen characters (0 counts as 1, at most 255); out holds maxLen + 1 bytes.
void itoa(int value, char* out, int maxLen);

void getNameNoExtension(const char* name, char* out);
void getFileNameExtension(const char* path, char* out);
void getFileNameNoExtension(const char* path, char* out);
void getFileNameOnly(const char* path, char* out, bool noExtension);
void getFileDriveDir(const char* path, char* out);
void GetFilePathNoExtension(const char* path, char* out);
void replaceExtension(const char* path, char* out, const char* ext);
int removeEndSlash(char* path);
int removeSub(const char* prefix, const char* text, char* out);
void removeDoubleDot(char* text);
void ltrim(char* text);
void trim(char* text);
void setThreeCharName(int n, char* name, char* out);
void safenametosave(char* name);
// Valid until this thread's next call.
char* getSaveName(const char* name, const char* ext);
void getFullPathForFolder(char* out, const char* root, const char* folder);
void getFullPathForFileName(char* out, const char* root, const char* folder, const char* name,
                            const char* ext);
void getFullPathForFileName(char* out, const char* folder, const char* name);

bool issubstring(const char* text, const char* part);
int stringCompareIgnoreCase(const char* a, const char* b);
int stringCompareIgnoreCase(char* a, char* b);

void CombineName(std::string& out, const char* a, const char* b);
void CombineName(std::string& out, const std::string& a, const std::string& b);
// a receives the part before the first "||", b the part after it (empty without one).
void SplitName(std::string s, char* a, char* b);
