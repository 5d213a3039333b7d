// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// What assistive tools see of running programs: the AT-SPI tree the accessibility bridge exports, read
// over the accessibility bus of a session bus, as a screen reader reads it.
class AtSpi {
public:
    struct Object {
        QString service;
        QString path;
        QString role;
        QString name;
    };
    // AT-SPI's numbers of the states used here.
    enum State { Checked = 4, Focused = 12, Showing = 25, Visible = 30 };

    explicit AtSpi(const QString &sessionBusAddress);
    ~AtSpi();
    bool connected() const { return bus_.isConnected(); }

    // Every object of the application of that name, depth first; empty until it has registered.
    std::vector<Object> objectsOf(const QString &application);
    // The same, waited for until `found` holds for one of them or the time is up.
    std::vector<Object> waitFor(const QString &application, const std::function<bool(const Object &)> &found,
                                int timeoutMs = 10000);

    // The names of the objects that label this one (the "labelled by" relation).
    QStringList labelledBy(const Object &object);
    QSet<int> states(const Object &object);
    // Runs the object's action of that name ("Toggle", "Press", ...); false when it has none.
    bool doAction(const Object &object, const QString &action);

private:
    QString name(const QString &service, const QString &path);
    void collect(const QString &service, const QString &path, std::vector<Object> &into, int depth);

    QString connectionName_;
    QDBusConnection bus_;
};
