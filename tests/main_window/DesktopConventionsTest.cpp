// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as assistive tools and the keyboard see it: accessible names, the tab order, the
// window's keys, and the viewer's frame options set by other means than a click.
#include "AppFixture.h"
#include "database/DatabasePanel.h"
#include "result_actions/PictureViewer.h"
#include "saved_list/SavedListPanel.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using app::LumsifterApp;

namespace {

class DesktopConventions : public AppFixture {
protected:
    static QString accessibleName(QWidget *widget) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QStringLiteral("<none>");
    }
    // The text of the label that labels the control, as the accessibility bridge relates them.
    static QString labelOf(QWidget *widget) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        const auto labels = face->relations(QAccessible::Label);
        return labels.isEmpty() ? QStringLiteral("<none>") : labels.first().first->text(QAccessible::Name);
    }
    // The named controls in the order Tab visits those that can take the focus now.
    QStringList tabOrder() {
        QStringList names;
        QWidget *first = c().List1;
        QWidget *widget = first;
        do {
            const bool counted = widget->isVisibleTo(&form()) && widget->isEnabled() &&
                                 (widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
                                 !widget->objectName().startsWith(QStringLiteral("qt_"));
            if (counted && !names.contains(widget->objectName()))
                names << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != first);
        return names;
    }
    // Activates the window, so that its keys are live, as they are for a user.
    void activate() {
        form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    }
};

} // namespace

TEST_F(DesktopConventions, EveryControlIsNamedAfterTheLabelBesideIt) {
    EXPECT_EQ(accessibleName(c().Text5), QStringLiteral("Input Selected Filename from above:"));
    EXPECT_EQ(accessibleName(c().Text2), QStringLiteral("Look in:"));
    EXPECT_EQ(accessibleName(c().Text4), QStringLiteral("Application Path:"));
    EXPECT_EQ(accessibleName(c().Text3), QStringLiteral("Selected file path"));
    EXPECT_EQ(accessibleName(c().List1), QStringLiteral("Search results"));
    EXPECT_EQ(accessibleName(c().Command10), QStringLiteral("Copy Selected Filename"));
    const PictureViewerControls viewer(form().Picture1());
    EXPECT_EQ(accessibleName(viewer.Text7), QStringLiteral("Find Filename"));
    EXPECT_EQ(accessibleName(viewer.Option2), QStringLiteral("Lanscape"));
    EXPECT_EQ(accessibleName(viewer.Image1), QStringLiteral("Portrait"));
    EXPECT_EQ(accessibleName(viewer.Image2), QStringLiteral("Lanscape"));
    const SavedListControls saved(form().Picture2());
    EXPECT_EQ(accessibleName(saved.lstEmployee), QStringLiteral("Saved list"));
    EXPECT_EQ(accessibleName(saved.Text6), QStringLiteral("Selected saved path"));
    EXPECT_EQ(accessibleName(form().Picture6().List3()), QStringLiteral("DESCRIPTION:"));
    EXPECT_EQ(accessibleName(form().Picture6().List2()), QStringLiteral("TABLES:"));
    // Here a combo box is named by its current value and labelled by the label that names it as its
    // buddy, the "labelled by" relation an assistive tool reads out with the box.
    EXPECT_EQ(labelOf(c().Drive1), QStringLiteral("Select Drive"));
    EXPECT_EQ(labelOf(c().Text1), QStringLiteral(" SEARCH:   Enter Filename and File Extension"));
    EXPECT_EQ(labelOf(viewer.Combo1), QStringLiteral("Select Interval"));
    EXPECT_EQ(c().Drive1->accessibleName(), QStringLiteral("Select Drive"));
    EXPECT_EQ(accessibleName(c().Text1),
              QStringLiteral("SEARCH: Enter Filename and File Extension")); // empty
    // The labels keep their texts; the names did not change them.
    EXPECT_EQ(c().Label1->text(), QStringLiteral(" SEARCH:   Enter Filename and File Extension"));
}

TEST_F(DesktopConventions, TabGoesTopToBottomAndLeftToRightThroughPanelsWhereTheyLie) {
    const QStringList window = {"List1",     "Text3",    "Text5",    "Command10", "Command9",  "Command13",
                                "Command12", "Drive1",   "Text2",    "Text1",     "Command1",  "Command11",
                                "Command4",  "Command8", "Command5", "Command17", "Command22", "Command2",
                                "Command6",  "Command7", "Text4"};
    EXPECT_EQ(tabOrder(), window);

    c().Command5->click(); // the picture viewer lies below the selected path box
    const QStringList withViewer = window.mid(0, 2) + QStringList{"Option1",   "Option2", "Check1",  "Combo1",
                                                                  "Command15", "Text7",   "Command3"} +
                                   window.mid(2);
    EXPECT_EQ(tabOrder(), withViewer);
    form().Picture1().on_Command3_clicked();

    c().Command17->click(); // the database panel
    const QStringList withDatabase =
        window.mid(0, 2) + QStringList{"List3", "List2", "Command18", "Command20", "Command21", "Command19"} +
        window.mid(2);
    EXPECT_EQ(tabOrder(), withDatabase);
}

TEST_F(DesktopConventions, TheWindowsKeys) {
    activate();
    c().List1->setFocus();
    QTest::keyClick(c().List1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(c().Text1->hasFocus());

    QTest::keyClick(c().Text1, Qt::Key_F1);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(lastBox().title, QStringLiteral("HELP"));

    fakes.messages->answers = {platform::Answer::No};
    QTest::keyClick(c().Text1, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Exit now?"));
    EXPECT_FALSE(app->hasEnded());

    QSignalSpy refreshed(app.get(), &LumsifterApp::refreshed);
    c().List1->clear();
    QTest::keyClick(c().Text1, Qt::Key_F5);
    ASSERT_TRUE(refreshed.wait(2000));
    EXPECT_EQ(c().List1->listCount(), 12);
}

TEST_F(DesktopConventions, EnterInThePatternBoxStillSearches) {
    activate();
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    c().Text1->setFocus();
    QTest::keyClick(c().Text1, Qt::Key_Return);
    ASSERT_EQ(boxes().size(), 1u); // the search ran to its overview
    EXPECT_EQ(lastBox().title, QStringLiteral("Search Result"));
}

TEST_F(DesktopConventions, TheFrameOptionsSwitchWhenCheckedByAnyMeans) {
    const PictureViewerControls viewer(form().Picture1());
    c().Command5->click();
    viewer.Option1->setChecked(true); // as the keyboard or an assistive tool checks it
    EXPECT_TRUE(viewer.Image1->isVisibleTo(&form().Picture1()));
    EXPECT_FALSE(viewer.Image2->isVisibleTo(&form().Picture1()));

    QAccessibleInterface *landscape = QAccessible::queryAccessibleInterface(viewer.Option2);
    ASSERT_NE(landscape->actionInterface(), nullptr);
    landscape->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(viewer.Option2->isChecked());
    EXPECT_FALSE(viewer.Image1->isVisibleTo(&form().Picture1()));
    EXPECT_TRUE(viewer.Image2->isVisibleTo(&form().Picture1()));
}
