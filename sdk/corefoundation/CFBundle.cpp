#include "sdk/corefoundation/CFBundle.h"

#include <memory>
#include <mutex>
#include <vector>

#include "sdk/corefoundation/CFObjects.h"

namespace tarnwell::cf {

class Bundle : public Object {
public:
    Bundle(const char* identifierText, std::string folder)
        : Object(kBundleType, true),
          identifier(identifierText != nullptr && isWellFormedUtf8(identifierText)
                         ? std::make_unique<String>(identifierText, true)
                         : nullptr),
          path(std::move(folder)) {}

    const std::unique_ptr<String> identifier;
    std::string path;  // guarded by the registry lock
};

namespace {

// Bundles are never freed: callers hold borrowed handles for as long as they like.
struct Registry {
    std::mutex lock;
    std::vector<std::unique_ptr<Bundle>> all;
    std::vector<Bundle*> registered;
    Bundle* main = nullptr;

    Bundle* make(const char* identifier, const char* path) {
        all.push_back(std::make_unique<Bundle>(identifier, path != nullptr ? path : ""));
        return all.back().get();
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

bool hasIdentifier(const Bundle* b, const std::string& identifier) {
    return b != nullptr && b->identifier && b->identifier->text == identifier;
}

Bundle* findLocked(Registry& r, const std::string& identifier) {
    for (Bundle* b : r.registered) {
        if (hasIdentifier(b, identifier)) return b;
    }
    return hasIdentifier(r.main, identifier) ? r.main : nullptr;
}

}  // namespace

CFBundleRef registerBundle(const char* identifier, const char* path) {
    if (identifier == nullptr || !isWellFormedUtf8(identifier)) return nullptr;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (Bundle* b : r.registered) {
        if (hasIdentifier(b, identifier)) {
            b->path = path != nullptr ? path : "";
            return b;
        }
    }
    r.registered.push_back(r.make(identifier, path));
    return r.registered.back();
}

void registerMainBundle(const char* identifier, const char* path) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.main = r.make(identifier, path);
}

std::string bundlePath(CFBundleRef bundle) {
    if (bundle == nullptr) return {};
    std::lock_guard guard(registry().lock);
    return bundle->path;
}

}  // namespace tarnwell::cf

using namespace tarnwell::cf;

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier) {
    if (identifier == nullptr) return nullptr;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    return findLocked(r, identifier->text);
}

CFBundleRef CFBundleGetMainBundle() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    if (r.main == nullptr) r.main = r.make(nullptr, nullptr);
    return r.main;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) {
    return bundle == nullptr ? nullptr : bundle->identifier.get();
}
