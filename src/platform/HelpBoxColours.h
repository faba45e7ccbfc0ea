#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace platform {

// The help boxes' navy text, where it can be read: on a dark theme the box keeps the theme's own
// text colour instead.
inline void setHelpBoxColours(QWidget* box) {
    QPalette pal = box->palette();
    if (pal.color(QPalette::Base).lightness() >= 128)
        pal.setColor(QPalette::Text, QColor(0, 0, 128));
    box->setPalette(pal);
}

} // namespace platform
