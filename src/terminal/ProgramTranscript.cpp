#include "ProgramTranscript.h"

#include "Clock.h"
#include "ConfigFile.h"
#include "ConfigTree.h"
#include "LinkState.h"
#include "ProgramRun.h"
#include "RegularFile.h"
#include "Unit0.h"
#include "V917Version.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace {

QString fieldLine(const QString& name, const QString& value) {
    return name + QStringLiteral(": ") + reportEscaped(value);
}

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Whether the file the configuration was opened from or saved to holds the bytes Save would write.
QString fileOnDisk(const QString& path, const QByteArray& treeBytes) {
    if (path.isEmpty() || QFileInfo(path).fileName().contains(QLatin1Char('*')))
        return ProgramTranscript::tr("none (the configuration has not been saved)");
    QFile file(path);
    if (!QFileInfo::exists(path))
        return ProgramTranscript::tr("not found");
    if (!platform::openRegularFile(file))
        return ProgramTranscript::tr("cannot be read");
    const QByteArray onDisk = file.readAll();
    return onDisk == treeBytes
               ? ProgramTranscript::tr("the same bytes")
               : ProgramTranscript::tr("different bytes (SHA-256 %1): the configuration was changed after it "
                                       "was opened or saved")
                     .arg(sha256(onDisk));
}

} // namespace

QString isoTimeNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString reportEscaped(const QString& text) {
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == u'\\') {
            out += QLatin1String("\\x");
            out += QLatin1Char(digits[u >> 4]);
            out += QLatin1Char(digits[u & 15]);
        } else if (u > 0xFF) {
            // Only a file name can hold one; the report is 8-bit text.
            out += QLatin1String("\\u");
            for (int shift = 12; shift >= 0; shift -= 4)
                out += QLatin1Char(digits[(u >> shift) & 15]);
        } else {
            out += c;
        }
    }
    return out;
}

ProgramTranscript::ProgramTranscript(platform::Clock& clock) : clock(clock) {}

void ProgramTranscript::start(const QList<ReportField>& header) {
    head.clear();
    body.clear();
    finished.clear();
    summaryText.clear();
    startMs = clock.nowMs();
    head.append(tr("V917 programming report"));
    head.append(fieldLine(tr("Started"), isoTimeNow()));
    for (const ReportField& f : header)
        head.append(fieldLine(f.name, f.value));
    head.append(fieldLine(tr("Columns"), tr("ms since the start, line sent, reply, round trip ms")));
}

void ProgramTranscript::startAgain(const QString& what) {
    body.append(fieldLine(what, isoTimeNow()));
}

void ProgramTranscript::beginInstrument(const ProgramTarget& target) {
    body.append(fieldLine(tr("Instrument"), target.listEntry));
}

void ProgramTranscript::field(const QString& name, const QString& value) {
    body.append(fieldLine(name, value));
}

void ProgramTranscript::exchange(const QString& sent, const QString& reply, qint64 sentAtMs,
                                 qint64 roundTripMs) {
    const QChar tab = QLatin1Char('\t');
    body.append(QString::number(sentAtMs - startMs) + tab + reportEscaped(sent) + tab +
                (reply.isEmpty() ? tr("(no reply)") : reportEscaped(reply)) + tab +
                QString::number(roundTripMs));
}

void ProgramTranscript::result(const QString& address, const QString& outcome) {
    body.append(fieldLine(tr("Result"), address + QLatin1Char(' ') + outcome));
}

void ProgramTranscript::finish(const QString& summary) {
    finished = fieldLine(tr("Finished"), isoTimeNow());
    summaryText = fieldLine(tr("Summary"), summary);
}

QStringList ProgramTranscript::lines() const {
    QStringList out = head + body;
    if (!summaryText.isEmpty())
        out << finished << summaryText;
    return out;
}

QList<ReportField> programReportHeader(const ConfigTree& tree, const SharedSettings& s,
                                       const LinkState& link) {
    const QByteArray bytes = serializeConfig(tree);
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty()) // a service or a container may set neither
        user = QDir::home().dirName();
    return {
        {ProgramTranscript::tr("Program"),
         ProgramTranscript::tr("V917 Configuration Software %1").arg(QStringLiteral(V917_VERSION))},
        {ProgramTranscript::tr("User"), user},
        {ProgramTranscript::tr("Host"), QSysInfo::machineHostName()},
        {ProgramTranscript::tr("Configuration file"), s.ConfigFileName},
        {ProgramTranscript::tr("Configuration SHA-256"), sha256(bytes)},
        {ProgramTranscript::tr("File on disk"), fileOnDisk(s.ConfigFileName, bytes)},
        {ProgramTranscript::tr("Device"), linkStatusText(link)},
        {ProgramTranscript::tr("Link settings"), comPortText(s.HostComPort) + QLatin1Char(',') +
                                                     comProtocolText(s.HostComProtocol) + QLatin1Char(',') +
                                                     comSpeedText(s.HostComSpeed)},
        {ProgramTranscript::tr("Command prefix"), s.HostCommandPrefix},
    };
}

QByteArray reportBytes(const ProgramTranscript& transcript) {
    QByteArray out;
    for (const QString& line : transcript.lines()) {
        out += line.toLatin1();
        out += "\r\n";
    }
    return out;
}

QStringList printableReportLines(const ProgramTranscript& transcript) {
    QStringList out = transcript.lines();
    for (QString& line : out)
        line.replace(QLatin1Char('\t'), QStringLiteral("   "));
    return out;
}

bool writeReport(const ProgramTranscript& transcript, const QString& path, QString* errorMessage) {
    return writeFileSafely(path, reportBytes(transcript), errorMessage);
}
