#include "PrintListing.h"

#include "ConfigTree.h"
#include "Positional.h"

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
// The longest prefix that fits, at least one character so that a page too narrow still progresses.
qsizetype fittingLength(const QString& text, const ListingMetrics& m) {
    qsizetype lo = 1, hi = text.size();
    if (m.textWidth(text) <= m.pageWidth)
        return text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (m.textWidth(text.left(mid)) <= m.pageWidth)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
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
        QString rest = line;
        while (!rest.isEmpty()) {
            const qsizetype n = fittingLength(rest, m);
            place(rest.left(n));
            rest = rest.mid(n);
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
                    ? QStringLiteral("The printer cannot be used. Choose a printer, or printing to a "
                                     "PDF file, in Print Setup.")
                    : QStringLiteral("Cannot create file %1").arg(printer.outputFileName());
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
