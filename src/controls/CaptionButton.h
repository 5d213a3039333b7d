// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>

namespace controls {

// A command button whose caption wraps onto further lines when it is wider than the button, as the
// forms' long captions ("Search and Copy Lumsift.ocx") need.
class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

    // Whether the caption, wrapped, shows whole in the button at its font.
    bool captionShowsWhole() const;
    // Makes the font smaller, half a point at a time, until the caption shows whole: for a font that
    // draws wider than the form's own. A caption that shows whole keeps its font.
    void shrinkFontToShowCaption();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect captionArea() const;
};

} // namespace controls
