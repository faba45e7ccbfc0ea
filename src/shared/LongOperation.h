#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;
class TKovComms;

// A long operation (scan, programming) owns the line and the window while it runs. Between its
// exchanges it lets the window repaint and answers its Cancel button, Escape and the close box by
// asking the operation to stop; every other input meant for the window is dropped, never queued for
// afterwards. Unprompted received bytes stay queued until it ends, so no other handler can take a
// reply meant for the operation.
class LongOperation : public QObject {
public:
    // window: the window the operation runs in; cancel: its Cancel button (may be null), shown for the
    // operation's length.
    LongOperation(TKovComms& comms, QWidget* window, QAbstractButton* cancel);
    ~LongOperation() override;
    LongOperation(const LongOperation&) = delete;
    LongOperation& operator=(const LongOperation&) = delete;

    // Handles what arrived since the last exchange; true once the user asked to stop.
    bool stopRequested();
    void requestStop() { stopAsked = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TKovComms& comms;
    QPointer<QWidget> window;
    QPointer<QAbstractButton> cancel;
    bool stopAsked = false;
};
