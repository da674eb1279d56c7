#pragma once

// Facts about the keyboard that every layer counts with.

namespace brasslane {

// The keyboard's profiles, addressed 0..2 on the keyboard and shown as 1..3.
constexpr int kProfileCount = 3;

// Macro keys G1..G9 in each of the two banks.
constexpr int kGKeysPerBank = 9;

} // namespace brasslane
