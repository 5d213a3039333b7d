// SPDX-License-Identifier: GPL-3.0-or-later
// A small window that takes any drop and records what was offered, for the end-to-end tests: started as
// `DropTarget LOG X Y WIDTH HEIGHT`, titled "Drop Target", it writes one line per drop and format,
// "<format> <data as hex>", then "action <number>", and accepts the drop as a copy.
#include "base/ToolArguments.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QWidget>

#include <cstdio>

class DropTarget : public QWidget {
public:
    explicit DropTarget(QString log)
        : log_(std::move(log)) {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("Drop Target"));
        setAutoFillBackground(true);
        setPalette(QPalette(Qt::darkGreen));
    }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent *event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent *event) override {
        QByteArray lines;
        for (const QString &format : event->mimeData()->formats())
            lines += format.toUtf8() + ' ' + event->mimeData()->data(format).toHex() + '\n';
        lines += "action " + QByteArray::number(int(event->proposedAction())) + '\n';
        event->acceptProposedAction();
        QFile log(log_);
        if (log.open(QIODevice::Append))
            log.write(lines);
    }

private:
    QString log_;
};

int main(int argc, char **argv) {
    const int refused =
        base::checkToolArguments(argc, argv, "e2e_drop_target LOG X Y WIDTH HEIGHT", {}, 5, 5);
    if (refused >= 0)
        return refused;
    QApplication app(argc, argv);
    DropTarget target(QString::fromLocal8Bit(argv[1]));
    target.setGeometry(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
    target.show();
    return app.exec();
}
