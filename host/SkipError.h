#pragma once
// "Errors skipped": runs one host call and swallows the host's error, so that
// code which the system describes as skipping failed host calls reads like
// its steps. Only HostError is swallowed; anything else still propagates.
//
// A lost host (errc::kDisconnected) is not the error of one call: every call
// after it fails too, and skipping them would make a drawing the host never
// worked on look unchanged. While a LostHostEndsWork scope is alive on this
// thread (a batch run), a lost host passes through skipError and ends the
// work on the drawing; outside one it is skipped like any other error.
#include <optional>
#include <type_traits>
#include <utility>

#include "HostError.h"

namespace host {

class LostHostEndsWork {
public:
    LostHostEndsWork() { ++depth(); }
    ~LostHostEndsWork() { --depth(); }
    LostHostEndsWork(const LostHostEndsWork&) = delete;
    LostHostEndsWork& operator=(const LostHostEndsWork&) = delete;
    static bool active() { return depth() > 0; }

private:
    static int& depth() {
        thread_local int n = 0;
        return n;
    }
};

// True when the error is a lost host that must not be skipped here.
inline bool mustPass(const HostError& e) { return e.number() == errc::kDisconnected && LostHostEndsWork::active(); }

// Runs f; true when it raised no host error.
template <class F>
bool skipError(F&& f) {
    try {
        std::forward<F>(f)();
        return true;
    } catch (const HostError& e) {
        if (mustPass(e)) throw;
        return false;
    }
}

// Runs f and returns its value, or nothing when it raised a host error.
template <class F>
auto skipErrorValue(F&& f) -> std::optional<std::decay_t<decltype(f())>> {
    try {
        return std::forward<F>(f)();
    } catch (const HostError& e) {
        if (mustPass(e)) throw;
        return std::nullopt;
    }
}

}  // namespace host
