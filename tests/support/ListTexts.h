// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>
#include <QStringList>

// The texts of a list's entries, in order.
inline QStringList itemTexts(const QListWidget &list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

// Of any list that answers count() and itemText(): combo boxes, the report list.
template <class List>
requires requires(const List &list, int i) {
    list.itemText(i);
}
QStringList itemTexts(const List &list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.itemText(i);
    return out;
}
