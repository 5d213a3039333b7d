// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Controls.h"
#include "Fakes.h"
#include "TempFolder.h"
#include "app/LumsifterApp.h"
#include "main_window/Form1.h"
#include "search_component/SearchComponent.h"
#include "status_window/Form2.h"

#include <QPointer>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

// The window tests speak of the program's objects by their own names.
using app::LumsifterApp;
using main_window::Form1;
using status_window::Form2;

// A search component that appends the paths given per folder and records each call.
class FakeComponent : public search_component::SearchComponent {
public:
    struct Call {
        QString folder;
        QString pattern;
    };

    void FindFiles(search_component::ResultSink &list, const QString &folder, const QString &pattern,
                   QWidget &form) override;

    std::map<QString, QStringList> found; // folder -> full paths appended for it
    std::vector<Call> calls;
    QStringList captions;         // written into the form's caption during a call, in order
    std::function<void()> during; // runs inside each call
};

// The program on fakes: a temporary application folder, fake message boxes, clock and drives, and the
// windows loaded. The status window's timers are stopped, so that each test drives the ticks itself.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program; tests that change the fakes first call it themselves.
    void startProgram();

    Form1 &form() { return *app->form1(); }
    // The main window's controls; found again after a refresh has loaded a new window.
    Form1Controls &c();
    Form2 &status() { return app->statusWindow(); }
    QString appFolder() const { return folder.path(); }
    // The message boxes shown so far.
    const std::vector<FakeMessageBox::Shown> &boxes() const { return fakes.messages->shown; }
    const FakeMessageBox::Shown &lastBox() const { return boxes().back(); }
    // Writes a file in the program's folder and returns its raw path.
    QByteArray file(const QByteArray &name, const QByteArray &content);
    // Fills List1 with these paths, as a search would.
    void listPaths(const std::vector<QByteArray> &paths);

    FakePlatform fakes;
    std::shared_ptr<FakeComponent> component = std::make_shared<FakeComponent>();
    TempFolder folder;
    std::unique_ptr<LumsifterApp> app;
    bool startInSetUp = true;
    // Changes the platform before the program starts on it.
    std::function<void(platform::Platform &)> adjustPlatform;

private:
    std::unique_ptr<Form1Controls> controls_;
    QPointer<Form1> controlsOf_; // null once that window is gone
};
