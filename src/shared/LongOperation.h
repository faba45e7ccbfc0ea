#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QWidget;
class TKovComms;

// A long operation (scan, programming) owns the line and the window while it runs. Between its
// exchanges it lets the window repaint and answers its Cancel button, Escape and the close box by
// asking the operation to stop; every other input meant for the window is dropped, never queued for
// afterwards. Unprompted received bytes stay queued until it ends, so no other handler can take a
// reply meant for the operation.
//
// What is not input waits for the run too: work that must not happen between two exchanges (the
// timed backup's tone and write) is deferred until the last run has ended, and a request from the
// system to end the program stops every run after the exchange under way and then ends it.
class LongOperation : public QObject {
public:
    // window: the window the operation runs in (null where there is none, as on the command line);
    // cancel: its Cancel button (may be null), shown for the operation's length.
    LongOperation(TKovComms& comms, QWidget* window, QAbstractButton* cancel);
    ~LongOperation() override;
    LongOperation(const LongOperation&) = delete;
    LongOperation& operator=(const LongOperation&) = delete;

    // Handles what arrived since the last exchange; true once the user asked to stop, or the system
    // asked the program to end.
    bool stopRequested();
    void requestStop() { stopAsked = true; }

    // Whether a long operation is under way.
    static bool running();
    // While a run is under way: keeps task to run from the event loop once the last run has ended
    // (one task per context, the latest wins; dropped when the context goes or the program is being
    // ended) and returns true. Otherwise returns false, and the caller goes on at once.
    static bool deferWhileRunning(QObject* context, std::function<void()> task);

    // The system asked the program to end (a termination signal). With a run under way, the run stops
    // after the exchange under way and quit runs from the event loop once the last run has ended;
    // otherwise quit runs at once. endingProgram() is true until quit has run: a run that ends
    // meanwhile skips its closing boxes and sounds, since nobody may be there to answer them.
    static void endProgram(std::function<void()> quit);
    static bool endingProgram();
    // SIGTERM, SIGINT and SIGHUP end the program through endProgram(quit).
    static void endProgramOnTerminationSignals(std::function<void()> quit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TKovComms& comms;
    QPointer<QWidget> window;
    QPointer<QAbstractButton> cancel;
    bool stopAsked = false;
};
