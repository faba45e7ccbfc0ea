#pragma once

class QWidget;

namespace platform {

// Centres a dialog on the screen that shows the reference window (the main window), not on that
// window itself. Without a reference the dialog's own screen is used. Call it from the dialog's
// show handler, after the dialog has its size.
void centreOnScreenOf(QWidget* dialog, const QWidget* reference);

} // namespace platform
