#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct ConfigNode;
class QPrinter;

// What is printed for one instrument: its node text, its channel records, then its logging records;
// the group texts are not printed. A missing group counts as empty.
QStringList listingLines(const ConfigNode* instrument);

struct ListingMetrics {
    int textHeight = 0; // height of a printed line of text, in printer pixels
    int pageWidth = 0;  // printable width
    int pageHeight = 0; // printable height
    std::function<int(const QString&)> textWidth;
};

struct PlacedLine {
    int page = 0;
    int y = 0; // from the top of the printable area
    QString text;
};

// Lines from the top-left of the printable area, one pitch (text height + 2) apart; a line wider than
// the page continues on the next line, broken after the last character that fits; a new page starts
// when the next line would begin lower than the page height minus two pitches.
QList<PlacedLine> layoutListing(const QStringList& lines, const ListingMetrics& metrics);

// Prints in the printer's default font. Returns false with a message when the printer cannot be used.
bool printListing(QPrinter& printer, const QStringList& lines, QString* errorMessage);
