// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace platform {

// Style values of a message box; they add up (36 = Yes/No with the question icon).
namespace Style {
constexpr int OkOnly = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Information = 64;
} // namespace Style

// Answers a message box returns.
namespace Answer {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace Answer

// The title a message box shows when its caller gives none.
inline const QString applicationTitle = QStringLiteral("TINDREL");

// A modal message box: prompt, style value and title in, the answer out.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual int show(const QString &prompt, int style, const QString &title) = 0;
};

// The real one, a QMessageBox over the active window.
class QtMessageBox : public MessageBox {
public:
    int show(const QString &prompt, int style, const QString &title) override;
};

} // namespace platform
