// The one scope guard: a function run when the scope ends, on every way out,
// unless the guard is released because ownership was handed on. Platform-free.
#pragma once

#include <utility>

template <typename Fn>
class [[nodiscard]] Cleanup {
public:
    explicit Cleanup(Fn fn) : fn_(std::move(fn)) {}
    ~Cleanup() {
        if (armed_) fn_();
    }
    Cleanup(const Cleanup&) = delete;
    Cleanup& operator=(const Cleanup&) = delete;

    // The owner takes it from here: nothing is run.
    void release() { armed_ = false; }

private:
    Fn fn_;
    bool armed_ = true;
};
