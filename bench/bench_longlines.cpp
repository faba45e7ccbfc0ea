// Node texts have no length limit: the printed layout of one long line and a repaint of the tree
// holding it, for growing lengths. Times are medians of several runs; the ratios between lengths show
// how the cost grows (about 4 for a four times longer line means linear).
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_longlines [runs]
#include "ConfigTree.h"
#include "PrintListing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const QFontMetrics fm(QApplication::font());
    ListingMetrics m;
    m.textHeight = fm.height();
    m.pageWidth = 4800; // an A4 page at 600 dpi
    m.pageHeight = 6800;
    m.textWidth = [&fm](const QString& s) { return fm.horizontalAdvance(s); };

    double previous = 0;
    for (const qsizetype length : {qsizetype(64) << 10, qsizetype(256) << 10, qsizetype(1) << 20}) {
        const QString line(length, QLatin1Char('W'));
        const double ms = medianMs(runs, [&] { layoutListing({line}, m); });
        std::printf("print layout, %7lld characters: median %8.1f ms", static_cast<long long>(length), ms);
        if (previous > 0)
            std::printf("  (x%.1f for 4x the length)", ms / previous);
        std::printf("\n");
        previous = ms;
    }

    for (const qsizetype length : {qsizetype(1) << 20, qsizetype(16) << 20}) {
        ConfigTree tree;
        tree.resetToStartup();
        tree.appendRoot(QString(length, QLatin1Char('W')));
        QTreeView view;
        setUpConfigView(&view, &tree);
        view.resize(790, 480);
        view.show();
        QApplication::processEvents();
        const double ms = medianMs(runs, [&] { view.viewport()->repaint(); });
        std::printf("tree repaint, %8lld characters: median %8.1f ms\n", static_cast<long long>(length), ms);
    }
    return 0;
}
