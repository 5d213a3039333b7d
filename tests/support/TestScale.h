// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The sanitizer build runs several times slower: a test of many randomised rounds runs a tenth of
// them there (from the same seed, so the same first rounds), within the tests' time limit.
constexpr int scaledRounds(int ordinary) {
#ifdef LUMSIFTER_SANITIZED
    return ordinary / 10 > 0 ? ordinary / 10 : 1;
#else
    return ordinary;
#endif
}
