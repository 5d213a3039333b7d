// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Desktop.h"

#include "platform/FileUri.h"

// GIO names a member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>

#include <memory>

namespace platform {

namespace {

// A file manager may first have to be started by the bus; the folder is opened instead after this.
constexpr int fileManagerWaitMs = 10000;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using GFilePtr = std::unique_ptr<GFile, Unref>;
using GAppInfoPtr = std::unique_ptr<GAppInfo, Unref>;

DesktopOutcome failure(GError *error) {
    DesktopOutcome outcome{false, error ? QString::fromUtf8(error->message) : QString()};
    if (error)
        g_error_free(error);
    return outcome;
}

DesktopOutcome openWithDefaultApplication(const QByteArray &path) {
    const GFilePtr file(g_file_new_for_path(path.constData()));
    GError *error = nullptr;
    const GAppInfoPtr application(g_file_query_default_handler(file.get(), nullptr, &error));
    if (!application)
        return failure(error);
    GList files{file.get(), nullptr, nullptr};
    if (!g_app_info_launch(application.get(), &files, nullptr, &error))
        return failure(error);
    return {};
}

QByteArray folderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

} // namespace

DesktopOutcome SessionDesktop::open(const QByteArray &path) {
    return openWithDefaultApplication(path);
}

void SessionDesktop::showInFolder(const QByteArray &path, std::function<void(const QString &)> failed) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // The items and a start-up notification id, which this program does not have.
    call << QStringList{QString::fromLatin1(fileUri(path))} << QString();
    auto *watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, fileManagerWaitMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [path, failed](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (!w->isError())
            return;
        const DesktopOutcome opened = openWithDefaultApplication(folderOf(path));
        if (!opened.done && failed)
            failed(opened.reason);
    });
}

DesktopOutcome SessionDesktop::moveToTrash(const QByteArray &path) {
    const GFilePtr file(g_file_new_for_path(path.constData()));
    GError *error = nullptr;
    if (!g_file_trash(file.get(), nullptr, &error))
        return failure(error);
    return {};
}

} // namespace platform
