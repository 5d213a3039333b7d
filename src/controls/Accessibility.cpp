// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Accessibility.h"

#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace controls {

void nameAfterLabel(QWidget &control, QLabel &label) {
    control.setAccessibleName(label.text().simplified());
    label.setBuddy(&control);
}

namespace {

bool takesTab(const QWidget &widget) {
    return (widget.focusPolicy() & Qt::TabFocus) != 0;
}

bool holdsControls(const QWidget &widget) {
    const QList<QWidget *> inside = widget.findChildren<QWidget *>();
    return std::any_of(inside.begin(), inside.end(), [](const QWidget *w) { return takesTab(*w); });
}

// The controls of the container in order; a panel among them is one item at its own place, its
// controls following each other; the parts of a control (the text field of a combo box) are left to it.
void appendInOrder(const QWidget &container, std::vector<QWidget *> &order) {
    struct Item {
        QPoint at;
        QWidget *widget;
        bool control;
    };
    std::vector<Item> items;
    for (QWidget *child : container.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        if (takesTab(*child))
            items.push_back({child->pos(), child, true});
        else if (holdsControls(*child))
            items.push_back({child->pos(), child, false});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return a.at.y() != b.at.y() ? a.at.y() < b.at.y() : a.at.x() < b.at.x();
    });
    for (const Item &item : items) {
        if (item.control)
            order.push_back(item.widget);
        else
            appendInOrder(*item.widget, order);
    }
}

} // namespace

void orderTabsByPosition(QWidget &window) {
    std::vector<QWidget *> order;
    appendInOrder(window, order);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace controls
