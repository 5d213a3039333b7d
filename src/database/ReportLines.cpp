#include "database/ReportLines.h"

#include <QListWidget>

void ListWidgetLines::clear() {
    list_.clear();
}

void ListWidgetLines::addItem(const QString &line) {
    list_.addItem(line);
}
