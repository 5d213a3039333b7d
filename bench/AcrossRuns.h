// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>

class QWidget;
namespace search_component {
class ResultListView;
}

// The first search of a new run, answered from the file the run before left, beside a fresh walk (as
// the walk is now, and with a thread per core only, as it was), fd with 2 and 16 threads and plocate:
// warm, then with the page cache dropped (only as root; said otherwise). Prints the figures and the
// goals; false when a goal was missed. `plocateDb` is empty without plocate.
bool benchAcrossRuns(const std::string &dir, const std::string &root, search_component::ResultListView &list,
                     QWidget &form, int rounds, bool haveFd, const QString &plocateDb);
