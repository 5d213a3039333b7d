#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <exception>

// Many reactions run "each step, failures skipped": a step that fails is abandoned without a message
// and the reaction goes on with its next step. A step fails by throwing; check() turns a false
// result into such a failure.
struct StepFailed : std::exception {
    const char *what() const noexcept override { return "step failed"; }
};

inline void check(bool ok) {
    if (!ok)
        throw StepFailed();
}

template <typename Action> void step(Action &&action) {
    try {
        action();
    } catch (...) {
        // The reaction goes on with its next step.
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
