#pragma once
// Runs a piece of code when the scope it is declared in ends, however it ends (return, exception),
// unless dismissed first. The one scope guard of the code base; resources with a type of their own get
// an owner (common/win/UniqueResource.h and friends) instead.
//
//   ScopeExit restore{[&] { state = previous; }};
//   ...
//   restore.Dismiss(); // keep the new state after all
#include <type_traits>
#include <utility>

namespace mellodeck {

template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F code) noexcept(std::is_nothrow_move_constructible_v<F>) : FCode(std::move(code)) {}
    // The code runs from a destructor: it must not throw (an exception while unwinding ends the program).
    ~ScopeExit() {
        if (FActive)
            FCode();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ScopeExit(ScopeExit&&) = delete;
    ScopeExit& operator=(ScopeExit&&) = delete;

    // The code will not run.
    void Dismiss() noexcept { FActive = false; }

private:
    F FCode;
    bool FActive = true;
};

template <typename F> ScopeExit(F) -> ScopeExit<F>;

} // namespace mellodeck
