#include "SteadyScrollBar.h"

#include <QAbstractScrollArea>
#include <QStyle>
#include <QStyleOptionSlider>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void SteadyScrollBar::install(QAbstractScrollArea* view) {
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    QObject::disconnect(view->verticalScrollBar(), &QScrollBar::rangeChanged, view, nullptr);
}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    // Styles grey an arrow at its end of the range.
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() <= minimum(), value() >= maximum()};
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (change == SliderOrientationChange || !everPainted) {
        QScrollBar::sliderChange(change);
        return;
    }
    // Posted at normal priority, the check runs before the window's low-priority repaint.
    if (!checkPosted) {
        checkPosted = true;
        QMetaObject::invokeMethod(this, &SteadyScrollBar::check, Qt::QueuedConnection);
    }
}

void SteadyScrollBar::check() {
    checkPosted = false;
    if (look() != painted)
        update();
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    painted = look();
    everPainted = true;
    QScrollBar::paintEvent(event);
}
