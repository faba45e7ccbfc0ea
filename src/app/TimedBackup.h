#pragma once

#include <QString>

class ConfigTree;
class QTimer;
class QWidget;
struct SharedSettings;

namespace platform {
class DialogService;
}

// The main window's Timer1 as the timed backup sees it, so the rules can be tested without waiting.
class BackupTimer {
public:
    virtual ~BackupTimer() = default;
    virtual int interval() const = 0;
    virtual bool isActive() const = 0;
    // Both restart a running countdown from now.
    virtual void setInterval(int ms) = 0;
    virtual void setActive(bool active) = 0;
};

class QtBackupTimer final : public BackupTimer {
public:
    explicit QtBackupTimer(QTimer& timer) : timer(timer) {}
    int interval() const override;
    bool isActive() const override;
    void setInterval(int ms) override;
    void setActive(bool active) override;

private:
    QTimer& timer;
};

namespace timedbackup {

constexpr int MinMinutes = 1;
constexpr int MaxMinutes = 30;
constexpr int MsPerMinute = 60'000;
// Until the user first confirms the dialog, a backup is made every five hours.
constexpr int DefaultIntervalMs = 18'000'000;
constexpr int ToneHz = 1000;
constexpr int ToneMs = 250;

// The spin box's starting value: the stored minutes brought into 1..30.
int minutesForDialog(int storedMinutes);

// The minutes a confirmed spin box stands for: a text that is not a whole number counts as 1, and a
// number outside 1..30 is brought into the range.
int minutesFromText(const QString& text);

// A confirmed dialog: stores both values, then sets Timer1's interval and enabled state. The
// countdown restarts only when one of them really changes; confirming unchanged values leaves the
// running countdown alone.
void confirm(SharedSettings& settings, bool enabled, int minutes, BackupTimer& timer);

// Whether an expiry tries to write at all: not while the name is empty or the file was loaded only in
// part (until the user saves it). The start-up "*.917" mask is tried, and fails as a name that cannot be
// created.
bool writesTo(const SharedSettings& settings);

// One expiry's write: the tree to ConfigFileName through the same safe writer as Save, so a failure
// leaves the previous file intact, and only where writesTo() allows. Returns "Cannot create file <name>" on
// failure, else empty.
QString write(const ConfigTree& tree, const SharedSettings& settings);

// Shows the backups' failures one box at a time. Expiries go on while a box is open (each one still
// tones and writes); a failure meanwhile is shown once more after the box closes, instead of opening
// a box on top of it every interval while nobody is there to close them.
class FailureReports {
public:
    FailureReports(platform::DialogService& dialogs, QWidget* parent) : dialogs(dialogs), parent(parent) {}
    void report(const QString& message);

private:
    platform::DialogService& dialogs;
    QWidget* parent;
    QString pending;
    bool showing = false;
};

} // namespace timedbackup
