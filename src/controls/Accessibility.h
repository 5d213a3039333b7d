// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLabel;
class QWidget;

// What assistive tools and the keyboard need of a form.

namespace controls {

// Gives the control the name of the label beside it (its text, blanks collapsed) and makes the label
// its buddy, so that a screen reader announces the control as the label reads.
void nameAfterLabel(QWidget &control, QLabel &label);

// Chains the focus of the window's controls from top to bottom and, within a row, from left to right,
// whatever order they were created in. A panel is passed through as a whole where it lies: its own
// controls follow each other in the same order.
void orderTabsByPosition(QWidget &window);

} // namespace controls
