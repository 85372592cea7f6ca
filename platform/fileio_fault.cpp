// The fault seam of the file layer (declared in fileio.h): the counters and
// the one armed failure.
#include "platform/fileio.h"

#include <array>
#include <atomic>
#include <cstddef>

namespace kuv::fsio::fault {
namespace {

// Atomic, because the file layer is also called from worker threads (a
// search loading entries, an export) while the window's thread uses it.
struct State {
    std::array<std::atomic<int>, static_cast<std::size_t>(Op::Count_)> calls{};
    std::atomic<Op> armed = Op::Count_;
    std::atomic<int> nth = 0;
    std::atomic<bool> fired = false;
};

State& S() {
    static State s;
    return s;
}

}  // namespace

void FailNth(Op op, int nth) {
    Reset();
    S().nth = nth;
    S().armed = op;
}

void Reset() {
    State& s = S();
    s.armed = Op::Count_;
    for (auto& c : s.calls) c = 0;
    s.nth = 0;
    s.fired = false;
}

int Calls(Op op) {
    return S().calls[static_cast<std::size_t>(op)];
}

bool Fired() {
    return S().fired;
}

bool Hit(Op op) {
    State& s = S();
    int n = ++s.calls[static_cast<std::size_t>(op)];
    if (s.armed == op && n == s.nth) {
        s.fired = true;
        return true;
    }
    return false;
}

}  // namespace kuv::fsio::fault
