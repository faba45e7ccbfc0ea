#include "ModalHelper.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace {

void pollFor(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> act, int timeoutMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    auto action = std::make_shared<std::function<void(QWidget*)>>(std::move(act));
    *poll = [matches = std::move(matches), action, clock, poll, timeoutMs]() {
        if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible() && matches(w)) {
            const auto run = action; // this lambda is released below; keep what it needs
            *poll = nullptr;         // break the cycle before acting: the action may queue the next one
            (*run)(w);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            qWarning("modal dialog not seen within %d ms", timeoutMs);
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll] {
            if (*poll)
                (*poll)();
        });
    };
    QTimer::singleShot(0, [poll] {
        if (*poll)
            (*poll)();
    });
}

} // namespace

void whenModal(std::function<void(QWidget*)> act, int timeoutMs) {
    pollFor([](QWidget*) { return true; }, std::move(act), timeoutMs);
}

void whenModalTitled(const QString& title, std::function<void(QWidget*)> act, int timeoutMs) {
    pollFor([title](QWidget* w) { return w->windowTitle() == title; }, std::move(act), timeoutMs);
}

void whenModalNamed(const QString& objectName, std::function<void(QWidget*)> act, int timeoutMs) {
    pollFor([objectName](QWidget* w) { return w->objectName() == objectName; }, std::move(act), timeoutMs);
}
