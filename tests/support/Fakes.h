// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/Processes.h"
#include "platform/Sound.h"
#include "platform/Volumes.h"

#include "SystemFakes.h"

#include <QString>
#include <QStringList>
#include <QTime>

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

// A message box that records every box shown and answers from a script (OK, or Yes for a Yes/No box,
// when the script is empty).
class FakeMessageBox : public platform::MessageBox {
public:
    struct Shown {
        QString prompt;
        int style;
        QString title;
    };

    int show(const QString &prompt, int style, const QString &title) override;

    std::vector<Shown> shown;
    std::deque<int> answers;
    // Called while a box is "open", to act during it (as timers do while a real box is modal).
    std::function<void()> whileOpen;
};

class FakeClock : public platform::Clock {
public:
    QTime currentTime() const override { return now; }
    QTime now{10, 0, 0};
};

class FakeVolumes : public platform::Volumes {
public:
    std::vector<platform::Drive> drives() const override { return list; }
    std::vector<platform::Drive> list{platform::Drive{'C', "/"}};
};

class FakeProcesses : public platform::ProcessStarter {
public:
    bool start(const QString &commandLine) override {
        started.push_back(commandLine);
        return !commandLine.isEmpty();
    }
    QStringList started;
};

class FakeSound : public platform::SoundPlayer {
public:
    void play(const QByteArray &name) override { played.push_back(name); }
    std::vector<QByteArray> played;
};

// A desktop that records what it was asked to do, by the raw paths, and answers as told.
class FakeDesktop : public platform::Desktop {
public:
    platform::DesktopOutcome open(const QByteArray &path) override {
        opened.push_back(path);
        return outcome;
    }
    void showInFolder(const QByteArray &path, std::function<void(const QString &)> failed) override {
        shown.push_back(path);
        if (!outcome.done && failed)
            failed(outcome.reason);
    }
    platform::DesktopOutcome moveToTrash(const QByteArray &path) override {
        trashed.push_back(path);
        return outcome;
    }

    std::vector<QByteArray> opened, shown, trashed;
    platform::DesktopOutcome outcome;
};

// A Platform of fakes; the application folder is given by the test and holds the program's own files
// (ADODEMO.MDB) as well; the component and the helper are the built ones.
struct FakePlatform {
    std::shared_ptr<FakeMessageBox> messages = std::make_shared<FakeMessageBox>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeVolumes> volumes = std::make_shared<FakeVolumes>();
    std::shared_ptr<FakeProcesses> processes = std::make_shared<FakeProcesses>();
    std::shared_ptr<FakeSound> sound = std::make_shared<FakeSound>();
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<FakeSockets> sockets = std::make_shared<FakeSockets>();
    std::shared_ptr<FakeSystemFacts> systemFacts = std::make_shared<FakeSystemFacts>();

    platform::Platform platform(const QString &applicationFolder) const;
};

// The folder of the built program (build/bin), where Lumsift.ocx and the helpers lie.
QString builtProgramFolder();
