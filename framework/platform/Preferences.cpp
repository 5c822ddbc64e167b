#include "framework/platform/Preferences.h"

#include <cstdio>
#include <cstring>

#include "sdk/corefoundation/CoreFoundation.h"

char prefsPath[32] = "com.Zelk.Tarnwell";
char kqPath[32] = "com.Zelk.Tarnwell.kq";

namespace {

// Releases a Create/Copy result at the end of the scope.
class CFHold {
public:
    explicit CFHold(CFTypeRef held) : ref(held) {}
    ~CFHold() {
        if (ref != nullptr) CFRelease(ref);
    }
    CFHold(const CFHold&) = delete;
    CFHold& operator=(const CFHold&) = delete;
    CFTypeRef get() const { return ref; }

private:
    CFTypeRef ref;
};

CFStringRef macRoman(const char* text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
}

CFStringRef asString(const CFHold& value) {
    return CFGetTypeID(value.get()) == CFStringGetTypeID() ? static_cast<CFStringRef>(value.get()) : nullptr;
}

// Copies a text value into value; on failure value stays empty.
bool deliver(CFStringRef text, char* value, int size) {
    if (text != nullptr && CFStringGetCString(text, value, size, kCFStringEncodingMacRoman)) return true;
    value[0] = '\0';
    return false;
}

void store(const char* domain, const char* key, CFPropertyListRef value) {
    CFHold domainName(macRoman(domain));
    CFHold keyName(macRoman(key));
    if (domainName.get() == nullptr || keyName.get() == nullptr || value == nullptr) return;
    const auto app = static_cast<CFStringRef>(domainName.get());
    CFPreferencesSetAppValue(static_cast<CFStringRef>(keyName.get()), value, app);
    CFPreferencesAppSynchronize(app);
}

int loadInt(const char* domain, const char* key) {
    CFHold domainName(macRoman(domain));
    CFHold keyName(macRoman(key));
    if (domainName.get() == nullptr || keyName.get() == nullptr) return 0;
    CFHold value(CFPreferencesCopyAppValue(static_cast<CFStringRef>(keyName.get()),
                                           static_cast<CFStringRef>(domainName.get())));
    SInt32 number = 0;
    if (CFGetTypeID(value.get()) != CFNumberGetTypeID()) return 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value.get()), kCFNumberSInt32Type, &number);
    return number;
}

void saveInt(const char* domain, const char* key, int value) {
    const SInt32 number = value;
    CFHold stored(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &number));
    store(domain, key, stored.get());
}

}  // namespace

void loadStringFromPrefs(const char* key, char* value, int size) {
    if (value == nullptr || size <= 0) return;
    value[0] = '\0';
    CFHold domainName(macRoman(prefsPath));
    CFHold keyName(macRoman(key));
    if (domainName.get() == nullptr || keyName.get() == nullptr) return;
    const auto app = static_cast<CFStringRef>(domainName.get());
    const auto name = static_cast<CFStringRef>(keyName.get());

    CFHold user(CFPreferencesCopyAppValue(name, app));
    if (deliver(asString(user), value, size) && value[0] != '\0') return;

    CFHold system(CFPreferencesCopyValue(name, app, kCFPreferencesAnyUser, kCFPreferencesCurrentHost));
    const CFStringRef fallback = asString(system);
    if (fallback == nullptr) return;
    deliver(fallback, value, size);
    // Migrate only into an empty slot: a user's own text that merely did not fit this buffer
    // must not be replaced by the system-wide one.
    char probe[2];
    const CFStringRef userText = asString(user);
    const bool userSlotEmpty =
        user.get() == nullptr ||
        (userText != nullptr && CFStringGetCString(userText, probe, 1, kCFStringEncodingUTF8));
    if (userSlotEmpty) {
        CFPreferencesSetAppValue(name, fallback, app);
        CFPreferencesAppSynchronize(app);
    }
}

void saveStringToPrefs(const char* key, const char* value) {
    CFHold text(macRoman(value));
    store(prefsPath, key, text.get());
}

int loadIntFromPrefs(const char* key) {
    return loadInt(prefsPath, key);
}

void saveIntToPrefs(const char* key, int value) {
    saveInt(prefsPath, key, value);
}

bool getRegistryIsOn(const char* key, bool def) {
    char text[127];
    loadStringFromPrefs(key, text, sizeof text);
    if (std::strcmp(text, "Y") == 0) return true;
    if (std::strcmp(text, "N") == 0) return false;
    return def;
}

int getMidiCC(int cc) {
    char key[16];
    std::snprintf(key, sizeof key, "%d", cc);
    return loadIntFromPrefs(key);
}

void setMidiCC(int cc, int param) {
    char key[16];
    std::snprintf(key, sizeof key, "%d", cc);
    saveIntToPrefs(key, param);
}

int loadIntFromKqPrefs(const char* key) {
    return loadInt(kqPath, key);
}

void saveIntToKqPrefs(const char* key, int value) {
    saveInt(kqPath, key, value);
}
