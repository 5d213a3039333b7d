// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LumsifterApp.h"

#include "main_window/DesignLook.h"
#include "main_window/Form1.h"
#include "status_window/Form2.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace app {

using main_window::Form1;
using status_window::Form2;

LumsifterApp::LumsifterApp(platform::Platform platform)
    : platform_(std::move(platform)) {
    main_window::design::registerFonts();
}

LumsifterApp::~LumsifterApp() {
    // The status window's ticks reach into the main window: stop them before either goes.
    if (form2_)
        form2_->stopTimers();
    form1_.reset();
    form2_.reset();
}

Form2 &LumsifterApp::statusWindow() {
    if (!form2_)
        form2_ = std::make_unique<Form2>(
            [this]() -> const Form2::MainWindowView * { return form1_ ? &form1_->statusView() : nullptr; },
            platform_);
    return *form2_;
}

void LumsifterApp::load() {
    form1_ = std::make_unique<Form1>(Form1::ApplicationView{[this]() -> Form2 & { return statusWindow(); },
                                                            [this] { refresh(); }, [this] { end(); }},
                                     platform_);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = form1_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form1_->move(frame.topLeft());
    }
    form1_->show();
}

void LumsifterApp::start() {
    load();
}

void LumsifterApp::refresh() {
    QTimer::singleShot(0, this, &LumsifterApp::reload);
}

void LumsifterApp::reload() {
    if (ended_)
        return;
    form1_.reset();
    load();
    form1_->rel();
    emit refreshed();
}

void LumsifterApp::end() {
    if (ended_)
        return;
    ended_ = true;
    if (form2_)
        form2_->stopTimers();
    if (form1_) {
        form1_->stopTimers();
        form1_->hide();
    }
    emit ended();
    QCoreApplication::exit(0);
}

} // namespace app
