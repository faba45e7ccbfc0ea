#pragma once

#include <QRect>
#include <QScrollBar>

class QAbstractScrollArea;

// A scroll bar that repaints only when what it shows changes.
//
// A window that takes in a stream changes its scroll range with every frame, and a plain scroll bar
// repaints for each change, although once the slider has shrunk to its least length it stays put at
// the end. The styles draw the groove with lines and fills as tall as the bar, which the raster
// engine splits over its thread pool: every needless repaint cost dozens of wake-ups. The look is
// compared once the change is over, as a window following its end first grows the range and then
// moves to the new end.
class SteadyScrollBar : public QScrollBar {
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Gives a view that takes in a stream a vertical bar of this kind, always shown. The scroll
    // area lays out its bars again after every change of range, to show or hide them, and raising
    // them there repaints both, every frame; a bar that is always on needs no such layout (a resize
    // still lays them out).
    static void install(QAbstractScrollArea* view);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const;
    void check();

    Look painted;
    bool everPainted = false;
    bool checkPosted = false;
};
