#pragma once

// Bundles and the classes they bring. A bundle is a folder NAME.EXT holding its library at
// Contents/MacOS/NAME.so. Loading it loads that library, whose code registers its classes
// (registerClass) when it is loaded or first used; classNamed then finds a class by name among
// those the bundle's library registered.

#include <string>

#include "sdk/cocoa/NSObject.h"

namespace tarnwell::cocoa {

struct ClassEntry {
    std::string name;
    NSObject* (*make)();  // a new instance, count one
    std::string image;    // the library that registered the class
};

// Registers a class of the calling library by name (again: replaced).
TARNWELL_COCOA_API void registerClass(const char* name, NSObject* (*make)());

template <typename T>
void registerClass(const char* name) {
    registerClass(name, []() -> NSObject* { return new T; });
}

}  // namespace tarnwell::cocoa

using Class = const tarnwell::cocoa::ClassEntry*;

// A registered class by name, from any library; null when none has it.
TARNWELL_COCOA_API Class NSClassFromString(const std::string& name);

class TARNWELL_COCOA_API NSBundle : public NSObject {
public:
    // The bundle at path (one object per folder, kept for the process); null when the folder
    // does not exist.
    static NSBundle* bundleWithPath(const std::string& path);

    const std::string& bundlePath() const { return folder; }
    std::string executablePath() const;
    // Loads the bundle's library (once); false, with loadError() saying why, when it cannot.
    bool load();
    bool isLoaded() const { return handle != nullptr; }
    const std::string& loadError() const { return error; }
    // A class the bundle's library registered; loads the bundle first. Null when it has none.
    Class classNamed(const std::string& name);

private:
    explicit NSBundle(std::string path) : folder(std::move(path)) {}
    ~NSBundle() override = default;

    std::string folder;
    void* handle = nullptr;
    std::string error;
};
