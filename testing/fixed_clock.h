// A clock that always tells the same time, for the tests of what is named after the time.
#pragma once

#include "platform/clock.h"

namespace lz::test_support {

struct FixedClock final : clock::Clock {
    clock::LocalTime time{2026, 12, 9, 8, 7, 6};
    clock::LocalTime now() override { return time; }
};

}  // namespace lz::test_support
