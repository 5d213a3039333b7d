// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/EnabledLook.h"

#include <QEvent>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

#include <optional>

namespace controls {

namespace {

// Disabled only because its window is: neither the control nor a panel it stands on was disabled on
// its own.
bool disabledByItsWindowAlone(const QWidget *widget) {
    if (!widget || widget->isEnabled() || widget->window()->isEnabled())
        return false;
    for (const QWidget *w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (w->testAttribute(Qt::WA_ForceDisabled))
            return false;
    }
    return true;
}

// The style draws such a control as enabled: the frames, faces and arrows that the style draws
// differently for disabled controls. The option is the caller's own, changed for the call only.
class EnabledLookStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override {
        AsEnabled asEnabled(option, widget);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override {
        AsEnabled asEnabled(option, widget);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override {
        AsEnabled asEnabled(option, widget);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

private:
    class AsEnabled {
    public:
        AsEnabled(const QStyleOption *option, const QWidget *widget)
            : option_(disabledByItsWindowAlone(widget) ? const_cast<QStyleOption *>(option) : nullptr) {
            if (!option_)
                return;
            state_ = option_->state;
            group_ = option_->palette.currentColorGroup();
            option_->state |= State_Enabled;
            option_->palette.setCurrentColorGroup(QPalette::Active);
        }
        ~AsEnabled() {
            if (!option_)
                return;
            option_->state = state_;
            option_->palette.setCurrentColorGroup(group_);
        }
        AsEnabled(const AsEnabled &) = delete;
        AsEnabled &operator=(const AsEnabled &) = delete;

    private:
        QStyleOption *option_;
        State state_;
        QPalette::ColorGroup group_ = QPalette::Active;
    };
};

// While the window is disabled, its palette's disabled colours are its active ones: its controls
// inherit them for every colour they do not set themselves (the texts that widgets draw without the
// style), and those they set apply to every state.
class EnabledPalette : public QObject {
public:
    explicit EnabledPalette(QWidget &window)
        : QObject(&window)
        , window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &window_ && event->type() == QEvent::EnabledChange)
            follow();
        return false;
    }

private:
    void follow() {
        if (!window_.isEnabled() && !enabledPalette_) {
            enabledPalette_ = window_.palette();
            QPalette look = *enabledPalette_;
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto r = QPalette::ColorRole(role);
                look.setBrush(QPalette::Disabled, r, look.brush(QPalette::Active, r));
            }
            window_.setPalette(look);
        } else if (window_.isEnabled() && enabledPalette_) {
            window_.setPalette(*enabledPalette_);
            enabledPalette_.reset();
        }
    }

    QWidget &window_;
    std::optional<QPalette> enabledPalette_;
};

} // namespace

void keepEnabledLook(QWidget &window) {
    // One style for every window that keeps its look; it lives as long as the program, as the
    // application's style does.
    static QStyle *const style = new EnabledLookStyle;
    window.setStyle(style);
    for (QWidget *control : window.findChildren<QWidget *>())
        control->setStyle(style);
    new EnabledPalette(window);
}

} // namespace controls
