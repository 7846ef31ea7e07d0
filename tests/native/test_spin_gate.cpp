// Spinning before sleeping: the gate spins only while waits have been short, so a
// thread whose waits are long burns no time on them.
#include <gtest/gtest.h>

#include <chrono>

#include "core/SpinGate.hpp"

using tav::qel::embedded::SpinGate;
using namespace std::chrono_literals;

TEST(SpinGate, SpinsUntilReadyAndStopsSpinningAfterAWaitLongerThanItsLimit) {
    SpinGate gate(2ms);
    int looks = 0;
    EXPECT_TRUE(gate.spin([&] { return ++looks == 3; }));
    EXPECT_EQ(looks, 3);

    // Nothing comes within the limit: false, after spinning about that long.
    const auto began = SpinGate::Clock::now();
    EXPECT_FALSE(gate.spin([] { return false; }));
    EXPECT_GE(SpinGate::Clock::now() - began, 2ms);

    // The gate is closed now: no spinning, not even a look, and a long wait keeps it so.
    looks = 0;
    EXPECT_FALSE(gate.spin([&] { return ++looks > 0; }));
    EXPECT_EQ(looks, 0);
    gate.slept(50ms);
    EXPECT_FALSE(gate.spin([&] { return ++looks > 0; }));
    EXPECT_EQ(looks, 0);

    // A wait that ended within the limit opens it again.
    gate.slept(100us);
    EXPECT_TRUE(gate.spin([&] { return ++looks > 0; }));
    EXPECT_EQ(looks, 1);
}
