#include "PrintListing.h"

#include "ConfigTree.h"
#include "Positional.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

QStringList listingLines(const ConfigNode* instrument) {
    if (!instrument)
        return {};
    QStringList lines{instrument->text};
    lines += positional::childTexts(positional::channelGroup(instrument));
    lines += positional::childTexts(positional::loggingGroup(instrument));
    return lines;
}

namespace {
// The length of the longest piece of the text from `from` on that fits, at least one character so that
// a page too narrow still progresses. Pieces are measured growing from one character, so each costs
// time in proportion to its own length, not the line's: a long line prints in linear time.
qsizetype fittingLength(const QString& text, qsizetype from, const ListingMetrics& m) {
    const qsizetype rest = text.size() - from;
    const auto fits = [&](qsizetype length) { return m.textWidth(text.mid(from, length)) <= m.pageWidth; };
    qsizetype good = 0; // longest length known to fit
    qsizetype bad = 0;  // shortest length known not to
    for (qsizetype probe = 1;; probe = qMin(probe * 2, rest)) {
        if (!fits(probe)) {
            bad = probe;
            break;
        }
        good = probe;
        if (probe == rest)
            return rest;
    }
    while (bad - good > 1) {
        const qsizetype mid = good + (bad - good) / 2;
        if (fits(mid))
            good = mid;
        else
            bad = mid;
    }
    return qMax<qsizetype>(good, 1);
}
} // namespace

QList<PlacedLine> layoutListing(const QStringList& lines, const ListingMetrics& m) {
    QList<PlacedLine> out;
    const int pitch = m.textHeight + 2;
    int page = 0;
    int y = 0;
    const auto place = [&](const QString& text) {
        if (y > m.pageHeight - 2 * pitch && y > 0) {
            ++page;
            y = 0;
        }
        out.append({page, y, text});
        y += pitch;
    };
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            place(line);
            continue;
        }
        for (qsizetype from = 0; from < line.size();) {
            const qsizetype n = fittingLength(line, from, m);
            place(line.mid(from, n));
            from += n;
        }
    }
    return out;
}

bool printListing(QPrinter& printer, const QStringList& lines, QString* errorMessage) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (errorMessage)
            *errorMessage =
                printer.outputFileName().isEmpty()
                    ? QCoreApplication::translate(
                          "FileCommands", "The printer cannot be used. Choose a printer, or printing to a "
                                          "PDF file, in Print Setup.")
                    : QCoreApplication::translate("ConfigFile", "Cannot create file %1")
                          .arg(printer.outputFileName());
        return false;
    }
    const QFontMetrics fm(painter.font(), painter.device());
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    ListingMetrics m;
    m.textHeight = fm.height();
    m.pageWidth = page.width();
    m.pageHeight = page.height();
    m.textWidth = [&fm](const QString& s) { return fm.horizontalAdvance(s); };
    int currentPage = 0;
    for (const PlacedLine& l : layoutListing(lines, m)) {
        if (l.page != currentPage) {
            printer.newPage();
            currentPage = l.page;
        }
        painter.drawText(0, l.y + fm.ascent(), l.text);
    }
    painter.end();
    return true;
}
