#include "LongOperation.h"

#include "KovComms.h"

#include "QuitSignals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

// What the runs of this process share; the user-interface thread alone touches it.
struct Runs {
    int count = 0;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> deferred;
    std::function<void()> quit;
    bool ending = false;
};

Runs& runs() {
    static Runs r;
    return r;
}

void lastRunEnded() {
    Runs& r = runs();
    auto deferred = std::exchange(r.deferred, {});
    if (r.ending) {
        // From the event loop, so the run's caller has finished (and skipped its boxes) first.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [] {
                Runs& r = runs();
                if (auto quit = std::exchange(r.quit, {}))
                    quit();
                r.ending = false;
            },
            Qt::QueuedConnection);
        return;
    }
    for (auto& [context, task] : deferred)
        if (context)
            QTimer::singleShot(0, context, std::move(task));
}

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
    ++runs().count;
}

LongOperation::~LongOperation() {
    // Input that arrived during the last exchange is dropped here, not replayed once the filter goes.
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    if (cancel)
        cancel->setVisible(false);
    comms.setReceiveHeld(false);
    if (--runs().count == 0)
        lastRunEnded();
}

bool LongOperation::stopRequested() {
    QCoreApplication::processEvents();
    return stopAsked || runs().ending;
}

bool LongOperation::running() {
    return runs().count > 0;
}

bool LongOperation::deferWhileRunning(QObject* context, std::function<void()> task) {
    Runs& r = runs();
    if (r.count == 0)
        return false;
    if (r.ending)
        return true;
    for (auto& d : r.deferred) {
        if (d.first == context) {
            d.second = std::move(task);
            return true;
        }
    }
    r.deferred.emplace_back(context, std::move(task));
    return true;
}

void LongOperation::endProgram(std::function<void()> quit) {
    Runs& r = runs();
    r.ending = true;
    r.quit = std::move(quit);
    if (r.count > 0)
        return; // the last run to end calls it
    if (auto now = std::exchange(r.quit, {}))
        now();
    r.ending = false;
}

bool LongOperation::endingProgram() {
    return runs().ending;
}

void LongOperation::endProgramOnTerminationSignals(std::function<void()> quit) {
    platform::quitOnTerminationSignals([quit = std::move(quit)] { endProgram(quit); });
}

bool LongOperation::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !window)
        return false;
    // A box opened by something else stays usable.
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
