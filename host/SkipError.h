#pragma once
// "Errors skipped": runs one host call and swallows the host's error, so that
// code which the system describes as skipping failed host calls reads like
// its steps. Only HostError is swallowed; anything else still propagates.
#include <optional>
#include <type_traits>
#include <utility>

#include "HostError.h"

namespace host {

// Runs f; true when it raised no host error.
template <class F>
bool skipError(F&& f) {
    try {
        std::forward<F>(f)();
        return true;
    } catch (const HostError&) {
        return false;
    }
}

// Runs f and returns its value, or nothing when it raised a host error.
template <class F>
auto skipErrorValue(F&& f) -> std::optional<std::decay_t<decltype(f())>> {
    try {
        return std::forward<F>(f)();
    } catch (const HostError&) {
        return std::nullopt;
    }
}

}  // namespace host
