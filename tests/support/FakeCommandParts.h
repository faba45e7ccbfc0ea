#pragma once

#include "InstrumentChoice.h"
#include "Unit0.h"

#include <QStringList>

// Answers the instrument choice from the test and remembers what it was asked.
struct FakePicker : InstrumentPicker {
    int result = mrOk;
    int choose = 0; // index into the entries; -1 for nothing selected
    int asked = 0;
    QString caption;
    int helpContext = 0;
    QStringList entries;

    int pick(const QString& c, int help, const QStringList& e, QString& selected) override {
        ++asked;
        caption = c;
        helpContext = help;
        entries = e;
        selected = choose < 0 ? QString() : e.value(choose);
        return result;
    }
};

// A status bar nobody looks at.
struct NoStatus : StatusReporter {
    void setStatusText(const QString&) override {}
    void setProgressRange(int) override {}
    void setProgressPosition(int) override {}
    void setProgressVisible(bool) override {}
};
