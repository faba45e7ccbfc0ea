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
        const QString app = QStringLiteral(V917CONFIG_PATH);
        const QString sim = QStringLiteral(SIM917_PATH);
        QTest::newRow("version") << app << QStringList{"--version"} << 0 << "v917config 1.01\n"
                                 << "";
        QTest::newRow("help") << app << QStringList{"--help"} << 0 << "Usage: v917config [options]"
                              << "";
        QTest::newRow("window-system option passed over")
            << app << QStringList{"-platform", "xcb", "--version"} << 0 << "v917config 1.01\n"
            << "";
        QTest::newRow("unknown") << app << QStringList{"--bogus"} << 2 << ""
                                 << "v917config: Unknown option 'bogus'.";
        QTest::newRow("no display") << app << QStringList{} << 1 << ""
                                    << "v917config: no display to open a window on";
        QTest::newRow("sim version") << sim << QStringList{"--version"} << 0 << "sim917 1.01\n"
                                     << "";
        QTest::newRow("sim unknown") << sim << QStringList{"--bogus"} << 2 << ""
                                     << "sim917: Unknown option 'bogus'.";
    }
    void answersWithoutADisplay() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
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
