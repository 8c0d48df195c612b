#include "UI/FocusRing.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPointer>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "UI/Brand.h"

namespace {
// Whether the user last pressed a key or the pointer, watched for the whole application.
class LastInput : public QObject {
public:
    using QObject::QObject;
    static bool wasKey() {
        static QPointer<LastInput> watching;
        if (!watching && qApp) {
            watching = new LastInput(qApp);
            qApp->installEventFilter(watching);
        }
        return !watching || watching->key_;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress: key_ = true; break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin: key_ = false; break;
        default: break;
        }
        return false;
    }

private:
    bool key_ = true;
};
} // namespace

FocusRing::FocusRing(QWidget* control) : QObject(control), control_(control) {
    control->installEventFilter(this);
    LastInput::wasKey();  // watching from now on
}

bool FocusRing::isShown() const { return control_->hasFocus() && !byPointer_; }

void FocusRing::paint(QPainter& painter, const QRectF& rect, qreal radius, const QColor& ink) const {
    if (!isShown()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1);
    painter.setPen(QPen(ink.isValid() ? ink : Brand::accent().lighter(135), kWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kWidth / 2;
    const qreal r = std::max<qreal>(0, radius - inset);
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), r, r);
    painter.restore();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        if (event->type() == QEvent::FocusIn) {
            // Tab and a shortcut bring the keyboard, a click the pointer; the focus the program moves
            // (Send handing the keys to Cancel) follows what the user last did.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            const bool byKeys = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                reason == Qt::ShortcutFocusReason;
            byPointer_ = reason == Qt::MouseFocusReason || (!byKeys && !LastInput::wasKey());
        }
        control_->update();
    }
    return QObject::eventFilter(watched, event);
}
