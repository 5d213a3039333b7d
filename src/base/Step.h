// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <exception>
#include <functional>
#include <stdexcept>

namespace base {

// Many reactions run "each step, failures skipped": a step that fails is abandoned without a message
// and the reaction goes on with its next step. A step fails by throwing; check() turns a false
// result into such a failure. So does an operation that fails as such (a std::runtime_error: a
// database error, a helper that died). Anything else (a logic error, an unknown exception) is a fault
// of the program, not of the step: it is still skipped, but reported, so that it cannot hide.
struct StepFailed : std::exception {
    const char *what() const noexcept override { return "step failed"; }
};

inline void check(bool ok) {
    if (!ok)
        throw StepFailed();
}

// Receives what a step threw that no step expects. By default debug builds print it; the tests
// install a handler that fails the running test.
using UnexpectedStepFailure = std::function<void(const char *what)>;
void setUnexpectedStepFailureHandler(UnexpectedStepFailure handler);
void reportUnexpectedStepFailure(const char *what);

template <typename Action> void step(Action &&action) {
    try {
        action();
    } catch (const StepFailed &) {
        // The reaction goes on with its next step.
    } catch (const std::runtime_error &) {
        // An operation failed: the same.
    } catch (const std::exception &e) {
        reportUnexpectedStepFailure(e.what());
    } catch (...) {
        reportUnexpectedStepFailure("an exception of unknown type");
    }
}

// A counter kept as text: empty or non-numeric text counts as 0.
inline int counterValue(const QString &text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

inline QString addToCounter(const QString &text, int amount) {
    return QString::number(counterValue(text) + amount);
}

// The free text every control carries, its Tag.
inline QString tagOf(const QObject *control) {
    return control->property("Tag").toString();
}

inline void setTag(QObject *control, const QString &text) {
    control->setProperty("Tag", text);
}

} // namespace base
