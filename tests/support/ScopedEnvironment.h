#pragma once

// Environment variables set for one test and put back as they were at its end.

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace tarnwell::test {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved) apply(name, value ? value->c_str() : nullptr);
    }
    // value null: unset.
    void set(const std::string& name, const char* value) {
        if (!saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        apply(name, value);
    }

private:
    static void apply(const std::string& name, const char* value) {
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }
    std::map<std::string, std::optional<std::string>> saved;
};

}  // namespace tarnwell::test
