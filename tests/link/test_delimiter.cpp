#include "Delimiter.h"

#include <QtTest>

class TestDelimiter : public QObject {
    Q_OBJECT
private slots:
    void decode_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("code");
        QTest::newRow("comma lower") << "comma"
                                     << "Comma" << 44 << 0 << "@44@00";
        QTest::newRow("comma mixed") << "Comma"
                                     << "Comma" << 44 << 0 << "@44@00";
        QTest::newRow("comma upper") << "COMMA"
                                     << "Comma" << 44 << 0 << "@44@00";
        QTest::newRow("null") << "null"
                              << "Null" << 0 << 0 << "@00@00";
        QTest::newRow("tab") << "TAB"
                             << "Tab" << 9 << 0 << "@09@00";
        QTest::newRow("cr") << "cr"
                            << "CR" << 13 << 0 << "@13@00";
        QTest::newRow("lf") << "Lf"
                            << "LF" << 10 << 0 << "@10@00";
        QTest::newRow("crlf") << "cr/lf"
                              << "CR/LF" << 13 << 10 << "@13@10";
        QTest::newRow("space") << "space"
                               << "Space" << 32 << 0 << "@32@00";
        QTest::newRow("semicolon") << "semi-colon"
                                   << "Semi-Colon" << 59 << 0 << "@59@00";
        QTest::newRow("code is not a name") << "@09@00"
                                            << "@09@00" << 9 << 0 << "@09@00";
        QTest::newRow("letters weigh ten") << "@1A@00"
                                           << "@1A@00" << 20 << 0 << "@20@00";
        QTest::newRow("lower-case code") << "@1a@00"
                                         << "@1A@00" << 20 << 0 << "@20@00";
        QTest::newRow("FF cut to six") << "@FF@FF"
                                       << "@FF@FF" << 165 << 165 << "@165@1";
        QTest::newRow("short code") << "@9@00"
                                    << "Tab" << 9 << 0 << "@09@00";
        QTest::newRow("wrong separator") << "@09#00"
                                         << "Tab" << 9 << 0 << "@09@00";
        QTest::newRow("not hex") << "@0G@00"
                                 << "Tab" << 9 << 0 << "@09@00";
        QTest::newRow("empty") << ""
                               << "Tab" << 9 << 0 << "@09@00";
        QTest::newRow("unknown word") << "Colon"
                                      << "Tab" << 9 << 0 << "@09@00";
        QTest::newRow("blanks around") << " Comma "
                                       << "Tab" << 9 << 0 << "@09@00";
    }
    void decode() {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, code);
        TDelimiter d;
        SetDelimiter(d, "x", 1, 2);
        DecodeDelimiter(d, text, "Tab");
        QCOMPARE(d.Name, name);
        QCOMPARE(int(d.FirstChar), first);
        QCOMPARE(int(d.SecondChar), second);
        QCOMPARE(d.Code, code);
    }

    void everyDecodedNameDecodesAgainToTheSameRecord() {
        QStringList texts{"null", "tab", "cr", "lf", "cr/lf", "space", "comma", "semi-colon", "", "junk"};
        // Every valid code; lower-case letters in the first pair stand for the rest.
        const char hex[] = "0123456789ABCDEFabcdef";
        for (int a = 0; a < 22; ++a)
            for (int b = 0; b < 22; ++b)
                for (int c = 0; c < 16; ++c)
                    for (int d = 0; d < 16; ++d)
                        texts << QString::fromLatin1(QByteArray("@") + hex[a] + hex[b] + '@' + hex[c] +
                                                     hex[d]);
        for (const QString& t : texts) {
            TDelimiter once, twice;
            DecodeDelimiter(once, t, "Tab");
            DecodeDelimiter(twice, once.Name, "Tab");
            QVERIFY2(once == twice, qPrintable(t));
        }
    }

    void setDelimiterCutsTheName() {
        TDelimiter d;
        SetDelimiter(d, "ABCDEFGHIJKLMN", 7, 200);
        QCOMPARE(d.Name, QString("ABCDEFGHIJ"));
        QCOMPARE(d.Code, QString("@07@20"));
    }
};

QTEST_APPLESS_MAIN(TestDelimiter)
#include "test_delimiter.moc"
