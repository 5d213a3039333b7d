// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

namespace search_component {
class SearchComponent;
}

namespace platform {

class Clock;
class Desktop;
class MessageBox;
class ProcessStarter;
class SoundPlayer;
class Volumes;

class Sockets;
class SystemFacts;

// The operating-system seams the windows use. The program runs on the real ones; tests hand in fakes.
struct Platform {
    std::shared_ptr<MessageBox> messageBox;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<Volumes> volumes;
    std::shared_ptr<ProcessStarter> processes;
    std::shared_ptr<SoundPlayer> sound;
    std::shared_ptr<Desktop> desktop;

    // The application folder shown in Text4, where save.txt, Temp.txt and copies go: the folder of
    // the running program, or the user's data folder when the program's folder is not writable (see
    // chooseApplicationFolders). These paths are decoded with the path codec: encodePath gives back
    // their exact bytes.
    QString applicationFolder;
    // The application folder is the user's data folder, made the first time a file in it is used.
    bool makeApplicationFolder = false;
    // The folder the program's own files come from (ADODEMO.MDB): the folder of the running program.
    QString ownFilesFolder;
    // The search component's file; by default Lumsift.ocx beside the program.
    QString componentFile;
    // The helper process that reads Access databases; by default beside the program.
    QString databaseHelper;
    // A component to use instead of loading componentFile (tests).
    std::shared_ptr<search_component::SearchComponent> component;
    std::shared_ptr<Sockets> sockets;
    std::shared_ptr<SystemFacts> systemFacts;

    // The real seams of this machine.
    static Platform real();
};

// The folder that holds the running program, decoded with the path codec (encodePath gives its bytes
// back exactly).
QString programFolder();

} // namespace platform
