#pragma once

// A structural check of a Standard MIDI File, byte by byte, before libsmf sees it: libsmf
// trusts chunk and event lengths and stops the whole program on some malformed files.

#include <string>
#include <vector>

// Empty when every chunk and every event lies inside the file and is well formed; otherwise
// what is wrong, for the user.
std::string midiFileProblem(const std::vector<unsigned char>& bytes);
