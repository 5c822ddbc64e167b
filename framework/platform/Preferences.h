#pragma once

// The user's settings, shared by every instance and kept between runs. No cache: every call
// goes to the store and every write is flushed before the call returns. Keys and texts are Mac
// Roman. Safe from any thread.

// Application domains: the main one, and a second one used only by the Kq integer pair.
extern char prefsPath[32];
extern char kqPath[32];

// Fills value (size bytes) with the text under key, or leaves it empty. A text missing or
// empty in the current user's domain is looked up for any user on this host and copied into
// the user's domain. A text that does not fit with its terminator, or has no Mac Roman form,
// is not delivered.
void loadStringFromPrefs(const char* key, char* value, int size);
void saveStringToPrefs(const char* key, const char* value);

// 0 when the key is missing or holds no number; the current user's domain only.
int loadIntFromPrefs(const char* key);
void saveIntToPrefs(const char* key, int value);

// "Y" gives true, "N" false, anything else (or nothing) def.
bool getRegistryIsOn(const char* key, bool def);

// The parameter bound to MIDI controller cc (key: cc in decimal), 0 when none; 0 unbinds.
int getMidiCC(int cc);
void setMidiCC(int cc, int param);

int loadIntFromKqPrefs(const char* key);
void saveIntToKqPrefs(const char* key, int value);
