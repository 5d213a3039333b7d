// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppFixture.h"

#include "platform/Files.h"
#include "platform/PathCodec.h"

#include <QFile>

#include <QFileInfo>
#include <QWidget>

void FakeComponent::FindFiles(search_component::ResultSink &list, const QString &folder,
                              const QString &pattern, QWidget &form) {
    calls.push_back(Call{folder, pattern});
    for (const QString &caption : captions)
        form.setWindowTitle(caption);
    if (during)
        during();
    for (const QString &path : found[folder]) {
        const QFileInfo info(path);
        const std::uint32_t dir =
            list.addFolder(search_component::noFolder, platform::encodePath(info.path()).toStdString());
        const std::string name = platform::encodePath(info.fileName()).toStdString();
        const search_component::FoundName one{dir, 0, std::uint32_t(name.size())};
        list.appendFiles({&one, 1}, name);
    }
}

void AppFixture::SetUp() {
    ASSERT_TRUE(folder.isValid());
    if (startInSetUp)
        startProgram();
}

void AppFixture::startProgram() {
    platform::Platform p = fakes.platform(folder.path());
    p.component = component;
    if (adjustPlatform)
        adjustPlatform(p);
    app = std::make_unique<LumsifterApp>(p);
    app->start();
    app->statusWindow().stopTimers();
}

Form1Controls &AppFixture::c() {
    if (!controls_ || controlsOf_ != app->form1()) {
        controls_ = std::make_unique<Form1Controls>(*app->form1());
        controlsOf_ = app->form1();
    }
    return *controls_;
}

QByteArray AppFixture::file(const QByteArray &name, const QByteArray &content) {
    const QByteArray path = QFile::encodeName(appFolder()) + "/" + name;
    EXPECT_TRUE(platform::appendToFile(path, content));
    return path;
}

void AppFixture::listPaths(const std::vector<QByteArray> &paths) {
    c().List1->clear();
    for (const QByteArray &path : paths)
        c().List1->addItem(platform::decodePath(path));
}

void AppFixture::TearDown() {
    app.reset();
}
