// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Platform.h"

#include <QObject>

#include <memory>

namespace main_window {
class Form1;
}
namespace status_window {
class Form2;
}

namespace app {

// The application object: it owns both windows. The main window is loaded at start and again on
// each refresh; the status window is created on first use and lives until the program ends.
class LumsifterApp : public QObject {
    Q_OBJECT
public:
    explicit LumsifterApp(platform::Platform platform);
    ~LumsifterApp() override;

    // Loads the main window (its start-up runs) and shows it, centred on the screen.
    void start();

    // The main window; null while it is unloaded.
    main_window::Form1 *form1() const { return form1_.get(); }
    // The status window, created if it does not exist yet.
    status_window::Form2 &statusWindow();
    bool hasStatusWindow() const { return form2_ != nullptr; }

    // Unloads the main window and loads it anew, shown at once without fading. Runs once the
    // reaction that asked for it has returned, since that reaction belongs to the window unloaded.
    void refresh();
    // Ends the program at once: every window closes and no further reaction runs.
    void end();
    bool hasEnded() const { return ended_; }

signals:
    void refreshed();
    void ended();

private:
    void reload();
    void load();

    platform::Platform platform_;
    std::unique_ptr<status_window::Form2> form2_;
    std::unique_ptr<main_window::Form1> form1_;
    bool ended_ = false;
};

} // namespace app
