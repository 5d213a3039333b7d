// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtSpi.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>
#include <QUuid>

namespace {

// An object reference as AT-SPI passes it: the bus name of its program and its path, (so).
struct Reference {
    QString service;
    QDBusObjectPath path;
};

QDBusArgument &operator<<(QDBusArgument &out, const Reference &r) {
    out.beginStructure();
    out << r.service << r.path;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, Reference &r) {
    in.beginStructure();
    in >> r.service >> r.path;
    in.endStructure();
    return in;
}

// One relation, (ua(so)).
struct Relation {
    uint type;
    QList<Reference> targets;
};

QDBusArgument &operator<<(QDBusArgument &out, const Relation &r) {
    out.beginStructure();
    out << r.type << r.targets;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, Relation &r) {
    in.beginStructure();
    in >> r.type >> r.targets;
    in.endStructure();
    return in;
}

// An action, (sss): its name, description and key binding.
struct Action {
    QString name, description, keys;
};

QDBusArgument &operator<<(QDBusArgument &out, const Action &a) {
    out.beginStructure();
    out << a.name << a.description << a.keys;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, Action &a) {
    in.beginStructure();
    in >> a.name >> a.description >> a.keys;
    in.endStructure();
    return in;
}

constexpr uint labelledByRelation = 2;
const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");

} // namespace

Q_DECLARE_METATYPE(Reference)
Q_DECLARE_METATYPE(Relation)
Q_DECLARE_METATYPE(Action)

namespace {

QString accessibilityBusOf(const QString &sessionBusAddress, const QString &connectionName) {
    QDBusConnection session = QDBusConnection::connectToBus(sessionBusAddress, connectionName + "-session");
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> reply = session.call(call, QDBus::Block, 10000);
    QDBusConnection::disconnectFromBus(connectionName + "-session");
    return reply.isValid() ? reply.value() : QString();
}

} // namespace

AtSpi::AtSpi(const QString &sessionBusAddress)
    : connectionName_(QStringLiteral("atspi-") + QUuid::createUuid().toString(QUuid::Id128))
    , bus_(QDBusConnection::connectToBus(accessibilityBusOf(sessionBusAddress, connectionName_),
                                         connectionName_)) {
    qDBusRegisterMetaType<Reference>();
    qDBusRegisterMetaType<QList<Reference>>();
    qDBusRegisterMetaType<Relation>();
    qDBusRegisterMetaType<QList<Relation>>();
    qDBusRegisterMetaType<Action>();
    qDBusRegisterMetaType<QList<Action>>();
}

AtSpi::~AtSpi() {
    QDBusConnection::disconnectFromBus(connectionName_);
}

QString AtSpi::name(const QString &service, const QString &path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << accessible << QStringLiteral("Name");
    const QDBusReply<QDBusVariant> reply = bus_.call(call, QDBus::Block, 5000);
    return reply.isValid() ? reply.value().variant().toString() : QString();
}

void AtSpi::collect(const QString &service, const QString &path, std::vector<Object> &into, int depth) {
    const QDBusReply<QString> role =
        bus_.call(QDBusMessage::createMethodCall(service, path, accessible, QStringLiteral("GetRoleName")),
                  QDBus::Block, 5000);
    into.push_back({service, path, role.isValid() ? role.value() : QString(), name(service, path)});
    if (depth > 30)
        return;
    const QDBusReply<QList<Reference>> children =
        bus_.call(QDBusMessage::createMethodCall(service, path, accessible, QStringLiteral("GetChildren")),
                  QDBus::Block, 5000);
    if (!children.isValid())
        return;
    for (const Reference &child : children.value())
        collect(child.service, child.path.path(), into, depth + 1);
}

std::vector<AtSpi::Object> AtSpi::objectsOf(const QString &application) {
    std::vector<Object> objects;
    const QDBusReply<QList<Reference>> programs =
        bus_.call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
                                                 QStringLiteral("/org/a11y/atspi/accessible/root"),
                                                 accessible, QStringLiteral("GetChildren")),
                  QDBus::Block, 5000);
    if (!programs.isValid())
        return objects;
    for (const Reference &program : programs.value())
        if (name(program.service, program.path.path()) == application)
            collect(program.service, program.path.path(), objects, 0);
    return objects;
}

std::vector<AtSpi::Object> AtSpi::waitFor(const QString &application,
                                          const std::function<bool(const Object &)> &found, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    std::vector<Object> objects;
    do {
        objects = objectsOf(application);
        if (std::any_of(objects.begin(), objects.end(), found))
            break;
        QThread::msleep(200);
    } while (clock.elapsed() < timeoutMs);
    return objects;
}

QStringList AtSpi::labelledBy(const Object &object) {
    QStringList names;
    const QDBusReply<QList<Relation>> relations =
        bus_.call(QDBusMessage::createMethodCall(object.service, object.path, accessible,
                                                 QStringLiteral("GetRelationSet")),
                  QDBus::Block, 5000);
    if (!relations.isValid())
        return names;
    for (const Relation &relation : relations.value())
        if (relation.type == labelledByRelation)
            for (const Reference &target : relation.targets)
                names << name(target.service, target.path.path());
    return names;
}

QSet<int> AtSpi::states(const Object &object) {
    QSet<int> set;
    const QDBusReply<QList<uint>> words = bus_.call(
        QDBusMessage::createMethodCall(object.service, object.path, accessible, QStringLiteral("GetState")),
        QDBus::Block, 5000);
    if (!words.isValid())
        return set;
    for (int word = 0; word < words.value().size(); ++word)
        for (int bit = 0; bit < 32; ++bit)
            if (words.value()[word] & (1u << bit))
                set.insert(word * 32 + bit);
    return set;
}

bool AtSpi::doAction(const Object &object, const QString &action) {
    const QString actions = QStringLiteral("org.a11y.atspi.Action");
    const QDBusReply<QList<Action>> names = bus_.call(
        QDBusMessage::createMethodCall(object.service, object.path, actions, QStringLiteral("GetActions")),
        QDBus::Block, 5000);
    if (!names.isValid())
        return false;
    for (int i = 0; i < names.value().size(); ++i) {
        if (names.value()[i].name != action)
            continue;
        QDBusMessage call =
            QDBusMessage::createMethodCall(object.service, object.path, actions, QStringLiteral("DoAction"));
        call << i;
        const QDBusReply<bool> done = bus_.call(call, QDBus::Block, 5000);
        return done.isValid() && done.value();
    }
    return false;
}
