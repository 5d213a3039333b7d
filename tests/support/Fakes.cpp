// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"

#include "platform/ApplicationFolder.h"

#include <QDir>

int FakeMessageBox::show(const QString &prompt, int style, const QString &title) {
    shown.push_back(Shown{prompt, style, title});
    if (whileOpen)
        whileOpen();
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return (style & 7) == platform::Style::YesNo ? platform::Answer::Yes : platform::Answer::Ok;
}

platform::Platform FakePlatform::platform(const QString &applicationFolder) const {
    platform::Platform p;
    p.messageBox = messages;
    p.clock = clock;
    p.volumes = volumes;
    p.processes = processes;
    p.sound = sound;
    p.desktop = desktop;
    p.applicationFolder = applicationFolder;
    p.ownFilesFolder = applicationFolder;
    p.componentFile = builtProgramFolder() + QStringLiteral("/Lumsift.ocx");
    p.databaseHelper = builtProgramFolder() + u'/' + platform::helperFileName;
    p.sockets = sockets;
    p.systemFacts = systemFacts;
    return p;
}

QString builtProgramFolder() {
    const QString fromCTest = qEnvironmentVariable("LUMSIFTER_BIN_DIR");
    return fromCTest.isEmpty() ? QStringLiteral(LUMSIFTER_BIN_DIR) : fromCTest;
}
