#include "Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace platform {

void centreOnScreenOf(QWidget* dialog, const QWidget* reference) {
    if (!dialog)
        return;
    QScreen* screen = reference ? reference->window()->screen() : dialog->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    dialog->move(screen->availableGeometry().center() - dialog->rect().center());
}

} // namespace platform
