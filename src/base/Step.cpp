// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Step.h"

#include <QtGlobal>

#include <utility>

namespace base {

namespace {

UnexpectedStepFailure &handler() {
    static UnexpectedStepFailure current = [](const char *what) {
#ifndef NDEBUG
        qCritical("A step failed in an unexpected way: %s", what);
#else
        Q_UNUSED(what);
#endif
    };
    return current;
}

} // namespace

void setUnexpectedStepFailureHandler(UnexpectedStepFailure newHandler) {
    handler() = std::move(newHandler);
}

void reportUnexpectedStepFailure(const char *what) {
    if (handler())
        handler()(what);
}

} // namespace base
