#pragma once

#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "Sound.h"
#include "Unit0.h"
#include "Unit6.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <memory>

// A wizard with fake dialogs and sound, help topics titled "topic N", shown and active.
struct WizardFixture {
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    TForm0 form0{std::make_unique<FakeSerialPort>(clock), &clock};
    Services svc{form0, dialogs, sound};
    std::unique_ptr<TForm6> wizard;

    WizardFixture() {
        for (int t = 0; t < 100; ++t)
            form0.HelpGrid.setCell(0, t, QStringLiteral("topic %1").arg(t));
        wizard = std::make_unique<TForm6>(svc);
    }

    // Loads the lists the way the modify command does and shows the wizard.
    bool open(const QStringList& channels, const QStringList& logging) {
        wizard->ChannelRecords = channels;
        wizard->LoggingRecords = logging;
        wizard->LoadChannelNumberBox();
        wizard->show();
        return QTest::qWaitForWindowActive(wizard.get());
    }

    template <typename T> T* get(const char* name) const {
        T* w = wizard->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QCheckBox* check(const char* name) const { return get<QCheckBox>(name); }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QComboBox* combo(const char* name) const { return get<QComboBox>(name); }
    QSpinBox* spin(const char* name) const { return get<QSpinBox>(name); }
    QString help() const {
        return get<QPlainTextEdit>("Memo1")->toPlainText().section(QLatin1Char('\n'), 0, 0);
    }

    static QWidget* focus() { return QApplication::focusWidget(); }
    static void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(focus(), k, m); }
    static void tab() { key(Qt::Key_Tab); }
    // Replaces the text of the focused field as a user would: select all, type.
    static void typeOver(const QString& text) {
        QTest::keyClick(focus(), Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(focus(), Qt::Key_Delete);
        else
            QTest::keyClicks(focus(), text);
    }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
};
