#pragma once

#include <utility>

// Runs one step of a reaction whose failures are skipped: a step that fails is abandoned without a
// message, and the reaction goes on with its next step.
template <typename Work> void step(Work &&work) {
    try {
        std::forward<Work>(work)();
    } catch (...) {
    }
}
