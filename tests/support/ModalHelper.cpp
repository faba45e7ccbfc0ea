#include "ModalHelper.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

void whenModal(std::function<void(QWidget*)> act, int timeoutMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act = std::move(act), clock, poll, timeoutMs]() {
        if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible()) {
            act(w);
            *poll = nullptr; // break the cycle
            return;
        }
        if (clock->elapsed() > timeoutMs) {
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
