#pragma once

#include <functional>
#include <string>

#include "host/HostError.h"

namespace tarnwell::test {

// The message of the HostError an action throws; empty when it throws none.
inline std::string errorMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const HostError& e) {
        return e.what();
    }
    return "";
}

}  // namespace tarnwell::test
