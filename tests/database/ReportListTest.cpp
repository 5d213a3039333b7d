// SPDX-License-Identifier: GPL-3.0-or-later
// The report list's compact store: every text back exactly, and a list box's horizontal scrolling.
#include "database/ReportList.h"

#include <QApplication>
#include <QScrollBar>

#include <gtest/gtest.h>

using database::ReportListView;

TEST(ReportList, KeepsEveryTextExactly) {
    const QString loneSurrogate(QChar(0xd800));
    const QStringList texts = {QStringLiteral("\tplain | Åsa | 1931"), QString(), QStringLiteral("ÿ\u00a0"),
                               QStringLiteral("Jürgen € 😀"), QStringLiteral("a") + loneSurrogate + u'b'};
    ReportListView list;
    for (const QString &t : texts)
        list.addItem(t);
    ASSERT_EQ(list.count(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(list.itemText(i), texts[i]) << i;
        EXPECT_EQ(list.model()->index(i, 0).data().toString(), texts[i]) << i;
    }
    EXPECT_EQ(list.itemText(texts.size()), QString()) << "past the end";
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.model()->rowCount(), 0);
}

TEST(ReportList, ScrollsSidewaysToTheEndOfItsLongestLine) {
    ReportListView list;
    list.resize(200, 120);
    list.show();
    for (const QString &line : {QStringLiteral("short"), QString(300, u'x'), QStringLiteral("last")})
        list.addItem(line);
    QApplication::processEvents();
    EXPECT_GT(list.horizontalScrollBar()->maximum(), 1000) << "the long line is not the last one";
    list.clear();
    list.addItem(QStringLiteral("short"));
    QApplication::processEvents();
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0);
}
