#pragma once

namespace platform {

// The process-wide pseudo-random generator. It is never seeded, so every run draws the
// same sequence: ids and names made from it repeat from start to start.
//
// 24-bit linear congruential generator: state starts at 0x50000,
// x = (x * 0x43FD43FD + 0xC39EC3) mod 2^24, value x / 2^24 (0 <= value < 1).
double rnd();

// Puts the generator back to its start state; only tests call it.
void resetRandomForTest();

}  // namespace platform
