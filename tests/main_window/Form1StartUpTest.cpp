// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as it stands after loading: every control in its place with its caption.
#include "AppFixture.h"
#include "ListTexts.h"
#include "main_window/DesignLook.h"
#include "platform/Twips.h"
#include "result_actions/PictureViewer.h"
#include "saved_list/SavedListPanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

struct Expected {
    const char *name;
    const char *caption;
    int left, top, width, height;
};

// Captions and design geometry of the main window's controls, in twips.
const Expected mainControls[] = {
    {"lblTitle", "KORVA'S FILE MANAGER UTILITY", 120, 120, 4335, 375},
    {"Label28", "DURATION:", 5400, 120, 1095, 375},
    {"Label29", "00:00:00", 6600, 120, 2055, 495},
    {"Label21", "FOLDERS:", 7920, 120, 1095, 375},
    {"Label20", "0", 9120, 120, 975, 495},
    {"Label3", "RESULTS:", 10320, 120, 1095, 375},
    {"Label4", "0", 11520, 120, 1215, 495},
    {"Label9", "Input Selected Filename from above:", 240, 4080, 4695, 375},
    {"Label11", "Ex. tavrikel.jpg ", 1920, 4320, 3375, 375},
    {"Command10", "Copy Selected Filename", 5760, 4080, 1935, 495},
    {"Command9", "Search and Copy Lumsift.ocx", 7800, 4080, 2055, 495},
    {"Command13", "Open", 10080, 4080, 1095, 495},
    {"Command12", "Save ", 11280, 4080, 1095, 495},
    {"Label5", "Searching in:", 360, 4680, 1455, 495},
    {"Label2", "Select Drive", 360, 5520, 3375, 375},
    {"Label15", "Look in:", 3240, 5520, 1095, 375},
    {"Label1", " SEARCH:   Enter Filename and File Extension", 4440, 5520, 4335, 375},
    {"Command1", "Search", 8880, 5760, 1215, 375},
    {"Command11", "Search all Drives", 10320, 5760, 2175, 375},
    {"Label13", "drive(s) found", 1920, 6120, 1815, 375},
    {"Label8", "Ex. korva.jpg , or *.jpg", 6840, 6120, 3375, 375},
    {"Label14", "Maximum of 5 Drives", 10920, 6120, 1815, 375},
    {"Label16", "Click Here if you inserted a removable media to refresh this Application", 3000, 6360, 6615,
     255},
    {"Command4", "Play wav Sound", 360, 6720, 2055, 735},
    {"Command8", "Run (.exe .bat)", 2400, 6720, 2055, 735},
    {"Command5", "Picture Viewer", 4440, 6720, 1935, 735},
    {"Command17", "Open MDB", 6360, 6720, 2055, 735},
    {"Command22", "Delete File", 8400, 6720, 2055, 735},
    {"Command2", "Exit", 10440, 6720, 2055, 735},
    {"Command6", "About", 360, 7560, 1335, 495},
    {"Command7", "Help", 1800, 7560, 1455, 495},
    {"Label10", "Application Path:", 4560, 7800, 1935, 255},
    {"Label26", "Label26", 120, 0, 3615, 375},
    {"Label25", "Label25", 120, 0, 5055, 375},
    {"Label27", "Label27", 120, 0, 2895, 375},
};

const Expected viewerControls[] = {
    {"Label23", "Select File Path", 0, 0, 1455, 375},    {"Option1", "Portrait", 120, 360, 1455, 375},
    {"Option2", "Lanscape", 120, 720, 1455, 375},        {"Check1", "AutoPlay", 120, 1080, 1455, 375},
    {"Label7", "Select Interval", 120, 1560, 1455, 375}, {"Label19", "", 120, 2280, 1455, 375},
    {"Command15", "Command15", 1320, 2400, 255, 255},    {"Label22", "Find Filename", 120, 2760, 1455, 375},
    {"Label24", "Ex. home.jpg", 120, 3480, 1815, 375},   {"Command3", "Close", 240, 3720, 1095, 495},
};

const Expected savedListControls[] = {
    {"Label17", "Lines:", 240, 3720, 615, 375},
    {"Label18", "", 960, 3720, 1455, 375},
    {"Command16", "Delete", 10080, 3600, 1095, 495},
    {"Command14", "Close", 11280, 3600, 1095, 495},
};

QString captionOf(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    return {};
}

// The design's place, or for a label whose caption the font draws wider, the design's place widened
// about the side its text is aligned to.
bool standsAt(const QWidget &widget, const QRect &design) {
    const QRect place = widget.geometry();
    const auto *label = qobject_cast<const QLabel *>(&widget);
    if (place == design || !label || place.y() != design.y() || place.height() != design.height() ||
        place.width() < design.width())
        return place == design;
    if (label->alignment() & Qt::AlignHCenter)
        return std::abs(place.center().x() - design.center().x()) <= 1;
    return label->alignment() & Qt::AlignRight ? place.right() == design.right() : place.x() == design.x();
}

void expectControls(QWidget &root, const Expected *begin, const Expected *end) {
    for (const Expected *e = begin; e != end; ++e) {
        auto *widget = root.findChild<QWidget *>(QLatin1String(e->name));
        ASSERT_NE(widget, nullptr) << e->name;
        EXPECT_EQ(captionOf(widget), QString::fromUtf8(e->caption)) << e->name;
        EXPECT_TRUE(standsAt(*widget, twipsRect(e->left, e->top, e->width, e->height))) << e->name;
    }
}

} // namespace

using Form1StartUp = AppFixture;

TEST_F(Form1StartUp, ControlsStandInTheirPlacesWithTheirCaptions) {
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Not Set"));
    EXPECT_EQ(form().size(), QSize(851, 568));
    expectControls(form(), std::begin(mainControls), std::end(mainControls));
    expectControls(form().Picture1(), std::begin(viewerControls), std::end(viewerControls));
    expectControls(form().Picture2(), std::begin(savedListControls), std::end(savedListControls));
    EXPECT_EQ(c().List1->geometry(), twipsRect(360, 600, 12135, 2940));
    EXPECT_EQ(c().Text1->geometry(), twipsRect(4440, 5760, 4335, 360));
    EXPECT_EQ(c().Drive1->geometry(), twipsRect(360, 5760, 2655, 360));
    EXPECT_EQ(form().Picture1().geometry(), twipsRect(3240, 3840, 7455, 4335));
    EXPECT_EQ(form().Picture2().geometry(), twipsRect(0, 480, 12855, 4215));
}

TEST_F(Form1StartUp, StateAfterStartUp) {
    EXPECT_EQ(c().Text4->text(), appFolder());
    EXPECT_EQ(c().Drive1->drive(), QStringLiteral("c: [/]"));
    EXPECT_EQ(c().Label12->text(), QStringLiteral("1"));
    EXPECT_TRUE(app->hasStatusWindow());
    EXPECT_EQ(form().lngAlpha(), 0);
    EXPECT_DOUBLE_EQ(form().windowOpacity(), 0.0);
    EXPECT_TRUE(form().Timer2().isActive());
    EXPECT_EQ(c().Text1->currentText(), QString());
    EXPECT_TRUE(c().Text3->isReadOnly());
    EXPECT_TRUE(c().Text4->isReadOnly());
    EXPECT_TRUE(c().Text2->isReadOnly());
    EXPECT_FALSE(c().Label31->isVisibleTo(&form()));
    EXPECT_FALSE(form().Picture1().isVisibleTo(&form()));
    EXPECT_FALSE(form().Picture2().isVisibleTo(&form()));
}

TEST_F(Form1StartUp, ListHoldsTheTwelveInstructionLines) {
    ASSERT_EQ(c().List1->listCount(), 12);
    EXPECT_EQ(c().List1->itemText(0), QStringLiteral("WELCOME!"));
    EXPECT_EQ(c().List1->itemText(2), QStringLiteral("   Examples:"));
    EXPECT_EQ(c().List1->itemText(6), QStringLiteral("     F:/Lumsifter.exe"));
    EXPECT_EQ(c().List1->itemText(8),
              QStringLiteral("Make sure to copy ''Lumsift.ocx'' together with this application"));
    EXPECT_EQ(c().List1->itemText(9), QString());
    EXPECT_EQ(c().List1->listIndex(), -1);
}

TEST_F(Form1StartUp, PatternBoxAndIntervalBoxHoldTheirItems) {
    EXPECT_EQ(itemTexts(*c().Text1),
              QStringList({"*.bat", "*.bmp", "*.dll", "*.doc", "*.exe", "*.gif", "*.inf", "*.jpg", "*.mdb",
                           "*.png", "*.txt", "*.vbp", "*.vbs", "*.wav"}));
    const PictureViewerControls viewer(form().Picture1());
    EXPECT_EQ(itemTexts(*viewer.Combo1), QStringList({".1", ".3", ".5", ".7", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(viewer.Combo1->currentText(), QStringLiteral("3"));
    EXPECT_TRUE(viewer.Option2->isChecked());
    EXPECT_FALSE(viewer.Option1->isChecked());
    EXPECT_FALSE(viewer.Check1->isChecked());
    EXPECT_FALSE(viewer.Image1->isVisibleTo(&form().Picture1()));
    EXPECT_TRUE(viewer.Image2->isVisibleTo(&form().Picture1()));
    EXPECT_EQ(form().Picture1().Timer1().interval(), 3000);
    EXPECT_FALSE(form().Picture1().Timer1().isActive());
}

TEST_F(Form1StartUp, DesignFontsAndColours) {
    const QFont title = c().lblTitle->font();
    EXPECT_TRUE(title.bold());
    EXPECT_DOUBLE_EQ(title.pointSizeF(), 11.25);
    EXPECT_DOUBLE_EQ(form().font().pointSizeF(), 9.75);
    EXPECT_DOUBLE_EQ(c().Label8->font().pointSizeF(), 8.25);
    EXPECT_EQ(c().Label8->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    EXPECT_EQ(c().Label29->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(c().Command1->palette().color(QPalette::Button), QColor(192, 192, 192));
    EXPECT_EQ(c().Command2->palette().color(QPalette::Button), QColor(224, 224, 224));
    EXPECT_DOUBLE_EQ(c().Command2->font().pointSizeF(), 12.0);
    EXPECT_TRUE(c().Label16->autoFillBackground());
    EXPECT_EQ(form().palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(main_window::design::banner().size(), QSize(908, 29));
}

TEST_F(Form1StartUp, DriveSelectorListsEveryDrive) {
    app.reset();
    fakes.volumes->list = {{'C', "/"}, {'D', "/home"}, {'E', "/media/usb"}};
    startProgram();
    ASSERT_EQ(c().Drive1->count(), 3);
    EXPECT_EQ(c().Drive1->itemText(1), QStringLiteral("d: [/home]"));
    EXPECT_EQ(c().Label12->text(), QStringLiteral("3"));
}
