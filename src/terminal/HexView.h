#pragma once

#include "TerminalText.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QTimer>

// The receive window's hex view: the received bytes as they came, 16 a row with their offset, hex
// and printable columns. Only the rows in sight are drawn, straight from the byte history, so a
// block costs a copy into the history and the view is repainted at most once per display frame.
class HexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    void append(const char* data, qint64 size);
    void clear();
    const HexHistory& history() const { return bytes; }
    // Shows at once what has been received so far (tests, and when the view is switched on).
    void flush();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollBars();
    int rowHeight() const;

    HexHistory bytes;
    QTimer frame;
    QElapsedTimer sinceFlush;
};
