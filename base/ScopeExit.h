#pragma once
#include <functional>

namespace vorda {

// Runs a step however the scope ends, also when an error ends it half way.
class ScopeExit {
public:
    explicit ScopeExit(std::function<void()> step) : step_(std::move(step)) {}
    ~ScopeExit() { step_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    std::function<void()> step_;
};

} // namespace vorda
