// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controls.h"

#include <gtest/gtest.h>

namespace {

// The child of the pointer's type and of the name given.
template <typename T> void find(QObject &root, T *&control, const char *name) {
    control = root.findChild<T *>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << "no control " << name;
}

} // namespace

#define FIND(root, control) find(root, control, #control)

Form1Controls::Form1Controls(QWidget &form) {
    FIND(form, List1);
    FIND(form, Drive1);
    FIND(form, Text1);
    FIND(form, Text2);
    FIND(form, Text3);
    FIND(form, Text4);
    FIND(form, Text5);
    FIND(form, Label1);
    FIND(form, Label4);
    FIND(form, Label6);
    FIND(form, Label8);
    FIND(form, Label12);
    FIND(form, Label20);
    FIND(form, Label25);
    FIND(form, Label26);
    FIND(form, Label27);
    FIND(form, Label29);
    FIND(form, Label31);
    FIND(form, lblTitle);
    FIND(form, Label16);
    FIND(form, Command1);
    FIND(form, Command2);
    FIND(form, Command4);
    FIND(form, Command5);
    FIND(form, Command6);
    FIND(form, Command7);
    FIND(form, Command8);
    FIND(form, Command9);
    FIND(form, Command10);
    FIND(form, Command11);
    FIND(form, Command12);
    FIND(form, Command13);
    FIND(form, Command17);
    FIND(form, Command22);
}

PictureViewerControls::PictureViewerControls(QWidget &panel) {
    FIND(panel, Option1);
    FIND(panel, Option2);
    FIND(panel, Check1);
    FIND(panel, Combo1);
    FIND(panel, Label19);
    FIND(panel, Text7);
    FIND(panel, Command3);
    FIND(panel, Image1);
    FIND(panel, Image2);
}

SavedListControls::SavedListControls(QWidget &panel) {
    FIND(panel, lstEmployee);
    FIND(panel, Text6);
    FIND(panel, Label18);
    FIND(panel, Command14);
    FIND(panel, Command16);
}
