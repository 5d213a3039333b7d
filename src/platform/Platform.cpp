// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Platform.h"

#include "platform/ApplicationFolder.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Sockets.h"
#include "platform/Sound.h"
#include "platform/SystemFacts.h"
#include "platform/Volumes.h"

#include "platform/PathCodec.h"

namespace platform {

QString programFolder() {
    return decodePath(programFolderBytes());
}

Platform Platform::real() {
    Platform p;
    p.messageBox = std::make_shared<QtMessageBox>();
    p.clock = std::make_shared<SystemClock>();
    p.volumes = std::make_shared<MountedVolumes>();
    p.processes = std::make_shared<DetachedProcessStarter>();
    p.sound = std::make_shared<CanberraSoundPlayer>();
    p.desktop = std::make_shared<SessionDesktop>();
    const ApplicationFolders folders = applicationFolders();
    p.applicationFolder = folders.application;
    p.makeApplicationFolder = folders.madeWhenNeeded;
    p.ownFilesFolder = folders.ownFiles;
    p.componentFile = folders.ownFiles + QStringLiteral("/Lumsift.ocx");
    p.databaseHelper = folders.ownFiles + u'/' + platform::helperFileName;
    p.sockets = std::make_shared<SystemSockets>();
    p.systemFacts = std::make_shared<LocalSystemFacts>();
    return p;
}

} // namespace platform
