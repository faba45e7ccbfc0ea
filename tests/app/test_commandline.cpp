#include <QProcess>
#include <QtTest>

// Both programs as a user starts them from a console with no display: help, version and a mistyped
// option must be answered before any window system is needed.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutADisplay_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("environment"); // NAME=value, on top of a console's
        const QString app = QStringLiteral(V917CONFIG_PATH);
        const QString sim = QStringLiteral(SIM917_PATH);
        QTest::newRow("version") << app << QStringList{"--version"} << 0 << "v917config 1.01\n"
                                 << "" << QStringList{};
        QTest::newRow("help") << app << QStringList{"--help"} << 0 << "Usage: v917config [options]"
                              << "" << QStringList{};
        QTest::newRow("window-system option passed over")
            << app << QStringList{"-platform", "xcb", "--version"} << 0 << "v917config 1.01\n"
            << "" << QStringList{};
        QTest::newRow("unknown") << app << QStringList{"--bogus"} << 2 << ""
                                 << "v917config: Unknown option 'bogus'." << QStringList{};
        QTest::newRow("no display") << app << QStringList{} << 1 << ""
                                    << "v917config: no display to open a window on" << QStringList{};
        QTest::newRow("sim version") << sim << QStringList{"--version"} << 0 << "sim917 1.01\n"
                                     << "" << QStringList{};
        QTest::newRow("sim unknown") << sim << QStringList{"--bogus"} << 2 << ""
                                     << "sim917: Unknown option 'bogus'." << QStringList{};
        // A Wayland session without Qt's Wayland plugin or without its compositor, and X11 asked for
        // without a display: said, where Qt itself would abort.
        QTest::newRow("wayland asked for, nothing there")
            << app << QStringList{} << 1 << ""
            << "v917config: cannot open a window: "
            << QStringList{"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=v917-none", "XDG_RUNTIME_DIR=/tmp"};
        QTest::newRow("wayland session without X")
            << app << QStringList{} << 1 << ""
            << "v917config: cannot open a window: " << QStringList{"WAYLAND_DISPLAY=v917-none"};
        QTest::newRow("x11 asked for without a display")
            << app << QStringList{"-platform", "xcb"} << 1 << ""
            << "v917config: no display to open a window on" << QStringList{};
    }
    void answersWithoutADisplay() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, environment);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
            env.remove(QString::fromLatin1(name));
        for (const QString& setting : environment)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const QString stdOut = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.startsWith(err), qPrintable(stdErr));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
