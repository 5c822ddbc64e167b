#include "sdk/cocoa/NSBundle.h"

#include "sdk/cocoa/AUCocoaUIView.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

std::string canonical(const std::string& path) {
    std::error_code failed;
    std::filesystem::path resolved = std::filesystem::canonical(path, failed);
    return failed ? path : resolved.string();
}

struct Registry {
    std::mutex lock;
    std::vector<std::unique_ptr<tarnwell::cocoa::ClassEntry>> classes;
    std::map<std::string, NSBundle*> bundles;
};

// Never destroyed: classes and bundles are handed out for the life of the process.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

}  // namespace

namespace tarnwell::cocoa {

void registerClass(const char* name, NSObject* (*make)()) {
    Dl_info info{};
    const std::string image = dladdr(reinterpret_cast<void*>(make), &info) != 0 && info.dli_fname
                                  ? canonical(info.dli_fname)
                                  : std::string();
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (auto& entry : r.classes) {
        if (entry->name == name && entry->image == image) {
            entry->make = make;
            return;
        }
    }
    r.classes.push_back(std::make_unique<ClassEntry>(ClassEntry{name, make, image}));
}

}  // namespace tarnwell::cocoa

Class NSClassFromString(const std::string& name) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (auto& entry : r.classes)
        if (entry->name == name) return entry.get();
    return nullptr;
}

NSBundle* NSBundle::bundleWithPath(const std::string& path) {
    std::error_code failed;
    if (!std::filesystem::is_directory(path, failed)) return nullptr;
    const std::string key = canonical(path);
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    NSBundle*& bundle = r.bundles[key];
    if (bundle == nullptr) bundle = new NSBundle(key);
    return bundle;
}

std::string NSBundle::executablePath() const {
    const std::filesystem::path path(folder);
    return (path / "Contents" / "MacOS" / (path.stem().string() + ".so")).string();
}

bool NSBundle::load() {
    if (handle) return true;
    handle = dlopen(executablePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = why ? why : "cannot be loaded";
    }
    return handle != nullptr;
}

Class NSBundle::classNamed(const std::string& name) {
    if (!load()) return nullptr;
    const std::string image = canonical(executablePath());
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (auto& entry : r.classes)
        if (entry->name == name && entry->image == image) return entry.get();
    return nullptr;
}

AUCocoaUIBase::~AUCocoaUIBase() = default;
