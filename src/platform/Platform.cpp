#include "platform/Platform.h"

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Sockets.h"
#include "platform/Sound.h"
#include "platform/SystemFacts.h"
#include "platform/Volumes.h"

#include "platform/PathCodec.h"

#include <QCoreApplication>

#include <climits>
#include <unistd.h>

namespace platform {

QString programFolder() {
    // The link names the program's file by its bytes, whatever the folder's name is made of; Qt's own
    // answer is empty for a name that is not valid UTF-8.
    QByteArray program(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", program.data(), size_t(program.size()));
    if (length <= 0 || length >= program.size())
        return QCoreApplication::applicationDirPath();
    program.truncate(length);
    const qsizetype slash = program.lastIndexOf('/');
    return decodePath(slash <= 0 ? QByteArrayView("/") : QByteArrayView(program).first(slash));
}

Platform Platform::real() {
    Platform p;
    p.messageBox = std::make_shared<QtMessageBox>();
    p.clock = std::make_shared<SystemClock>();
    p.volumes = std::make_shared<MountedVolumes>();
    p.processes = std::make_shared<DetachedProcessStarter>();
    p.sound = std::make_shared<CanberraSoundPlayer>();
    p.desktop = std::make_shared<SessionDesktop>();
    p.applicationFolder = programFolder();
    p.componentFile = p.applicationFolder + QStringLiteral("/Lumsift.ocx");
    p.databaseHelper = p.applicationFolder + QStringLiteral("/lumsifter-dbhost");
    p.sockets = std::make_shared<SystemSockets>();
    p.systemFacts = std::make_shared<LocalSystemFacts>();
    return p;
}

} // namespace platform
