// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The windows' controls, found by their names: the windows keep their forms to themselves, and tests
// reach the controls the way a user sees them.
#include "controls/CaptionButton.h"
#include "controls/Clickable.h"
#include "main_window/DriveList.h"
#include "result_actions/PictureFrame.h"
#include "saved_list/SavedListView.h"
#include "search_component/ResultListView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

// The tests speak of the controls' kinds by their own names.
using controls::CaptionButton;
using controls::ClickableLabel;
using controls::ClickableLineEdit;
using main_window::DriveList;
using result_actions::PictureFrame;
using saved_list::SavedListView;
using search_component::ResultListView;

struct Form1Controls {
    explicit Form1Controls(QWidget &form);

    ResultListView *List1;
    DriveList *Drive1;
    QComboBox *Text1;
    ClickableLineEdit *Text2;
    QLineEdit *Text3, *Text4, *Text5;
    QLabel *Label1, *Label4, *Label6, *Label8, *Label12, *Label20, *Label25, *Label26, *Label27, *Label29,
        *Label31, *lblTitle;
    ClickableLabel *Label16;
    CaptionButton *Command1, *Command2, *Command4, *Command5, *Command6, *Command7, *Command8, *Command9,
        *Command10, *Command11, *Command12, *Command13, *Command17, *Command22;
};

struct PictureViewerControls {
    explicit PictureViewerControls(QWidget &panel);

    QRadioButton *Option1, *Option2;
    QCheckBox *Check1;
    QComboBox *Combo1;
    QLabel *Label19;
    QLineEdit *Text7;
    CaptionButton *Command3;
    PictureFrame *Image1, *Image2;
};

struct SavedListControls {
    explicit SavedListControls(QWidget &panel);

    SavedListView *lstEmployee;
    QLineEdit *Text6;
    QLabel *Label18;
    CaptionButton *Command14, *Command16;
};
