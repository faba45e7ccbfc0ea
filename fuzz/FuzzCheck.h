#pragma once

// Shared by the fuzz targets: a failed comparison with the model prints both sides and aborts, so
// libFuzzer keeps the input as a crash.

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const QByteArray& got, const QByteArray& want) {
    std::fprintf(stderr, "MODEL MISMATCH: %s\n  program: \"%s\"\n  model:   \"%s\"\n", what,
                 got.toPercentEncoding(" ,@#$").constData(), want.toPercentEncoding(" ,@#$").constData());
    std::abort();
}

inline void expect(bool ok, const char* what) {
    if (!ok)
        fail(what, "false", "true");
}

inline void expectEqual(const QByteArray& got, const QByteArray& want, const char* what) {
    if (got != want)
        fail(what, got, want);
}

inline void expectEqual(const QString& got, const QByteArray& want, const char* what) {
    // Every text here came in as 8-bit bytes; a character outside Latin-1 is a fault of its own.
    for (QChar c : got)
        if (c.unicode() > 0xFF)
            fail(what, got.toUtf8(), want);
    expectEqual(got.toLatin1(), want, what);
}

// Some of the code under test wants an application object (timers, file engines).
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

} // namespace fuzz
