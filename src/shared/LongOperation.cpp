#include "LongOperation.h"

#include "KovComms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>

namespace {

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

LongOperation::LongOperation(TKovComms& comms, QWidget* window, QAbstractButton* cancel)
    : comms(comms), window(window), cancel(cancel) {
    comms.setReceiveHeld(true);
    if (cancel) {
        cancel->setVisible(true);
        cancel->setEnabled(true);
        connect(cancel, &QAbstractButton::clicked, this, &LongOperation::requestStop);
    }
    QCoreApplication::instance()->installEventFilter(this);
}

LongOperation::~LongOperation() {
    // Input that arrived during the last exchange is dropped here, not replayed once the filter goes.
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    if (cancel)
        cancel->setVisible(false);
    comms.setReceiveHeld(false);
}

bool LongOperation::stopRequested() {
    QCoreApplication::processEvents();
    return stopAsked;
}

bool LongOperation::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !window)
        return false;
    // A box opened by something else (the timed backup's error) stays usable.
    const bool ours = widget->window() == window || widget->window() == window->window() ||
                      (window->parentWidget() && widget->window() == window->parentWidget()->window());
    if (!ours)
        return false;
    if (type == QEvent::Close && widget->isWindow()) {
        requestStop();
        event->ignore();
        return true;
    }
    if (!isInput(type))
        return false;
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        requestStop();
        return true;
    }
    if (cancel && (widget == cancel || cancel->isAncestorOf(widget)))
        return false;
    return true;
}
