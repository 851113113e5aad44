#include "platform/files/DiskReserve.h"

#include <gtest/gtest.h>

using dravelo::DiskReserve;

namespace {

constexpr qint64 gib = 1024LL * 1024 * 1024;

TEST(DiskReserve, KeepsTheLargerOfAShareAndAMinimumFree) {
    const DiskReserve reserve(0.05, gib);
    const struct {
        qint64 size;
        qint64 available;
        qint64 bytes;
        bool allowed;
    } cases[] = {
        // 5 % of 100 GiB is 5 GiB, more than the minimum; 5 % of 10 GiB is
        // less than the minimum of 1 GiB.
        {100 * gib, 6 * gib, gib, true},
        {100 * gib, 6 * gib, gib + 1, false},
        {10 * gib, 2 * gib, gib, true},
        {10 * gib, 2 * gib, gib + 1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reserve.allows(c.size, c.available, c.bytes), c.allowed)
            << c.size << " " << c.available << " " << c.bytes;
    }
}

} // namespace
