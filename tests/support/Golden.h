// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Long exact texts, such as the database reports, are kept in golden files beside their tests and
// compared byte for byte (UTF-8, lines ended by '\n', trailing blanks kept). Run the test with
// LUMSIFTER_UPDATE_GOLDEN=1 to write the files from what the program produces instead, then review
// the change with git diff.
testing::AssertionResult matchesGolden(const QString &file, const QString &text);
// Lines each ended by '\n'.
testing::AssertionResult matchesGolden(const QString &file, const QStringList &lines);
// The lines of a golden file, to compare a part of a text with.
QStringList goldenLines(const QString &file);
