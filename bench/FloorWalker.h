// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// The floor to measure the component against: one thread, openat relative to the parent, raw
// getdents64 with a large buffer, d_type, an ASCII case-insensitive suffix test, counting only.
std::uint64_t floorWalk(const std::string &root, const std::string &suffix);
