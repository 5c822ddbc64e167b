#include "sdk/corefoundation/CFPreferences.h"

#include <map>
#include <mutex>
#include <optional>

#include "sdk/corefoundation/CFObjects.h"
#include "sdk/corefoundation/PreferencesFile.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace tarnwell::cf {
namespace {

String currentUser("kCFPreferencesCurrentUser", true);
String anyUser("kCFPreferencesAnyUser", true);
String currentHost("kCFPreferencesCurrentHost", true);
String anyHost("kCFPreferencesAnyHost", true);

// Values set but not yet synchronised, per domain and key; a null value removes the key.
class Pending {
public:
    ~Pending() {
        for (auto& [domain, changes] : domains) {
            for (auto& [key, value] : changes) CFRelease(value);
        }
    }
    std::mutex lock;  // also serialises this process's file updates
    std::map<std::string, std::map<std::string, CFTypeRef>> domains;
};

Pending& pending() {
    static Pending p;
    return p;
}

std::optional<Scope> userScope(CFStringRef user) {
    if (user == nullptr) return std::nullopt;
    if (user == &currentUser || user->text == currentUser.text) return Scope::CurrentUser;
    if (user == &anyUser || user->text == anyUser.text) return Scope::AnyUser;
    return std::nullopt;
}

CFPropertyListRef copyFromFile(const std::string& key, const std::string& domain, Scope scope) {
    Owned dictionary(readPreferences(preferencesFile(domain, scope)));
    if (dictionary.get() == nullptr) return nullptr;
    return CFRetain(static_cast<CFDictionaryRef>(dictionary.get())->get(key));
}

}  // namespace
}  // namespace tarnwell::cf

using namespace tarnwell::cf;

const CFStringRef kCFPreferencesCurrentUser = &currentUser;
const CFStringRef kCFPreferencesAnyUser = &anyUser;
const CFStringRef kCFPreferencesCurrentHost = &currentHost;
const CFStringRef kCFPreferencesAnyHost = &anyHost;

CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID, CFStringRef userName,
                                         CFStringRef) {
    const auto scope = userScope(userName);
    if (key == nullptr || applicationID == nullptr || !scope) return nullptr;
    if (*scope == Scope::CurrentUser) {
        Pending& p = pending();
        std::lock_guard guard(p.lock);
        auto domain = p.domains.find(applicationID->text);
        if (domain != p.domains.end()) {
            auto change = domain->second.find(key->text);
            if (change != domain->second.end()) return CFRetain(change->second);
        }
    }
    return copyFromFile(key->text, applicationID->text, *scope);
}

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
    return CFPreferencesCopyValue(key, applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID) {
    if (key == nullptr || applicationID == nullptr) return;
    // Only property lists can be stored; anything else would block every later write.
    if (value != nullptr && toXml(value).empty()) return;
    Pending& p = pending();
    std::lock_guard guard(p.lock);
    CFTypeRef& slot = p.domains[applicationID->text][key->text];
    CFRetain(value);
    CFRelease(slot);
    slot = value;
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID) {
    if (applicationID == nullptr) return false;
    Pending& p = pending();
    std::lock_guard guard(p.lock);
    auto domain = p.domains.find(applicationID->text);
    if (domain == p.domains.end() || domain->second.empty()) return true;
    const auto& changes = domain->second;
    const bool written = updatePreferences(
        preferencesFile(applicationID->text, Scope::CurrentUser), [&](CFMutableDictionaryRef dictionary) {
            for (const auto& [key, value] : changes) {
                if (value == nullptr) {
                    dictionary->remove(key);
                } else {
                    Owned keyString(new String(key));
                    dictionary->set(static_cast<CFStringRef>(keyString.get()), value);
                }
            }
        });
    if (!written) return false;
    for (auto& [key, value] : domain->second) CFRelease(value);
    p.domains.erase(domain);
    return true;
}
