#include "HexView.h"

#include "ReceiveWindow.h"
#include "SteadyScrollBar.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    SteadyScrollBar::install(this);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    frame.setSingleShot(true);
    sinceFlush.start();
    connect(&frame, &QTimer::timeout, this, &HexView::flush);
}

int HexView::rowHeight() const {
    return fontMetrics().lineSpacing();
}

void HexView::append(const char* data, qint64 size) {
    bytes.append(data, size);
    // Hidden, it only keeps the bytes; shown, it follows the stream a frame at a time, shown by the
    // block that arrives once the frame is due, as the receive window does.
    if (!isVisible())
        return;
    if (sinceFlush.elapsed() >= ReceiveWindow::kFrameMs)
        flush();
    else if (!frame.isActive())
        frame.start(int(std::max<qint64>(0, ReceiveWindow::kFrameMs + ReceiveWindow::kFrameSlackMs -
                                                sinceFlush.elapsed())));
}

void HexView::clear() {
    bytes.clear();
    flush();
}

void HexView::flush() {
    frame.stop();
    sinceFlush.start();
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    updateScrollBars();
    if (following)
        bar->setValue(bar->maximum());
    viewport()->update();
}

void HexView::updateScrollBars() {
    const int visible = std::max(1, viewport()->height() / std::max(1, rowHeight()));
    const qint64 rows = bytes.rowCount();
    verticalScrollBar()->setRange(0, int(std::max<qint64>(0, rows - visible)));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const int width = fontMetrics().horizontalAdvance(
        QString(hexRow(0, nullptr, 0).size() + kHexRowBytes + 2, QLatin1Char('0')));
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    flush();
}

void HexView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().base());
    painter.setPen(palette().text().color());
    const int h = std::max(1, rowHeight());
    const int ascent = fontMetrics().ascent();
    const int x = 2 - horizontalScrollBar()->value();
    const qint64 top = verticalScrollBar()->value();
    const int firstRow = event->rect().top() / h;
    const int lastRow = event->rect().bottom() / h;
    for (int r = firstRow; r <= lastRow; ++r) {
        const QByteArray row = bytes.row(top + r);
        if (row.isEmpty())
            break;
        painter.drawText(x, r * h + ascent, QString::fromLatin1(row));
    }
}

void HexView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_End:
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}
