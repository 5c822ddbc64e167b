#pragma once

// Per-user preferences: one XML property list per application domain at
// $XDG_CONFIG_HOME/<domain>.plist (default ~/.config). The any-user scope is a read-only file of
// the same name under /etc/xdg, or under $TARNWELL_SYSTEM_PREFS_DIR when that is set. The host
// part of a scope is not modelled: both host constants name the same files.
//
// Values set are held in the process until the domain is synchronised. Synchronising re-reads
// the file under an advisory lock, applies the held changes and replaces the file atomically,
// so processes writing different keys lose nothing. A damaged file reads as empty and is moved
// aside to <domain>.plist.damaged at the next synchronise. Safe from any thread.

#include "sdk/corefoundation/CFBase.h"

extern const CFStringRef kCFPreferencesCurrentUser;
extern const CFStringRef kCFPreferencesAnyUser;
extern const CFStringRef kCFPreferencesCurrentHost;
extern const CFStringRef kCFPreferencesAnyHost;

// The current user's value (a new reference) or null.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
// The value in the given user scope (current or any user) or null.
CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID, CFStringRef userName,
                                         CFStringRef hostName);
// A null value removes the key. Written at the next synchronise.
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);
// Writes the held changes of the domain; false when the file could not be written (the
// changes stay held for the next attempt).
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);
