// The fault seam of the file layer (declared in fileio.h): the counters and
// the one armed failure.
#include "platform/fileio.h"

#include <array>
#include <cstddef>

namespace kuv::fsio::fault {
namespace {

struct State {
    std::array<int, static_cast<std::size_t>(Op::Count_)> calls{};
    Op armed = Op::Count_;
    int nth = 0;
    bool fired = false;
};

State& S() {
    static State s;
    return s;
}

}  // namespace

void FailNth(Op op, int nth) {
    Reset();
    S().armed = op;
    S().nth = nth;
}

void Reset() {
    S() = State{};
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
