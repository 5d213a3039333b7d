#pragma once

#include <QPushButton>

// A command button whose caption wraps onto further lines when it is wider than the button, as the
// forms' long captions ("Search and Copy Lumsift.ocx") need.
class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};
