// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's look: every caption of the window and its panels shows whole at the fonts the
// forms name, and the window looks the same enabled and disabled as a whole.
#include "AppFixture.h"
#include "controls/CaptionButton.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>

using controls::CaptionButton;

namespace {

struct Fit {
    QSize needed;
    QSize room;
    bool fits() const { return needed.width() <= room.width() && needed.height() <= room.height(); }
};

QString plain(QString text) {
    return text.remove(u'&');
}

// As QLabel draws plain text: in its contents rectangle, wrapped at words when it wraps.
Fit labelFit(const QLabel &label) {
    const QRect room = label.contentsRect();
    const int flags = int(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
    return {label.fontMetrics().boundingRect(room, flags, label.text()).size(), room.size()};
}

// As CaptionButton draws its caption: centred and wrapped in the button's contents rectangle.
Fit captionButtonFit(CaptionButton &button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.features = QStyleOptionButton::None;
    const QRect room = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QRect needed =
        button.fontMetrics().boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, plain(button.text()));
    return {needed.size(), room.size()};
}

// Check boxes, option buttons and plain buttons lay their caption out on one line.
Fit oneLineButtonFit(const QAbstractButton &button) {
    return {button.sizeHint().boundedTo(QSize(QWIDGETSIZE_MAX, button.height())), button.size()};
}

std::optional<Fit> fitOf(QWidget &widget) {
    if (auto *label = qobject_cast<QLabel *>(&widget); label && !label->text().isEmpty())
        return labelFit(*label);
    if (auto *button = qobject_cast<CaptionButton *>(&widget); button && !button->text().isEmpty())
        return captionButtonFit(*button);
    if (auto *button = qobject_cast<QAbstractButton *>(&widget); button && !button->text().isEmpty())
        return oneLineButtonFit(*button);
    return std::nullopt;
}

} // namespace

using WindowLook = AppFixture;

TEST_F(WindowLook, EveryCaptionOfTheWindowAndItsPanelsShowsWhole) {
    QStringList cut;
    // The viewer's Command15 is a 17-pixel square by design: no caption could show in it.
    const QStringList tooSmallByDesign = {QStringLiteral("Command15")};
    for (QWidget *widget : form().findChildren<QWidget *>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")) || widget->isHidden() ||
            tooSmallByDesign.contains(name))
            continue;
        const std::optional<Fit> fit = fitOf(*widget);
        if (fit && !fit->fits())
            cut << QStringLiteral("%1 \"%2\": needs %3 x %4, has %5 x %6")
                       .arg(name, widget->property("text").toString())
                       .arg(fit->needed.width())
                       .arg(fit->needed.height())
                       .arg(fit->room.width())
                       .arg(fit->room.height());
    }
    EXPECT_TRUE(cut.isEmpty()) << "font " << c().Label16->font().family().toStdString() << ":\n"
                               << cut.join(u'\n').toStdString();
}

TEST_F(WindowLook, TheWindowDisabledAsAWholeKeepsItsColours) {
    const QImage enabled = form().grab().toImage();
    form().setEnabled(false);
    EXPECT_FALSE(c().Command1->isEnabled()) << "the controls are disabled, for input and assistive tools";
    EXPECT_TRUE(form().grab().toImage() == enabled);
    form().setEnabled(true);
    EXPECT_TRUE(form().grab().toImage() == enabled);
    // A control disabled on its own still looks disabled, which the comparison would see.
    c().Command1->setEnabled(false);
    EXPECT_FALSE(form().grab().toImage() == enabled);
}
