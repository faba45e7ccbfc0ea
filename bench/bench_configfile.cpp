// A configuration of 255 instruments, each with 164 channel records and 8 logging stages: open and
// show it in the tree view, save it, and sort it, with times (median of several runs) and peak memory.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_configfile [runs]
#include "ConfigFile.h"
#include "ConfigTree.h"
#include "Positional.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {
QString channelAddress(int index) {
    // 001A..012B then 101A..514B, 164 in all
    int leading = 0, number = 1;
    int k = index / 2;
    if (k < 12) {
        number = k + 1;
    } else {
        k -= 12;
        leading = 1 + k / 14;
        number = 1 + k % 14;
    }
    return QString("%1%2%3").arg(leading).arg(number, 2, 10, QChar('0')).arg(index % 2 ? 'B' : 'A');
}

void build(ConfigTree& tree) {
    tree.beginBulkChange();
    tree.resetToStartup();
    for (int a = 255; a >= 1; --a) { // reverse order, so the sort has work to do
        ConfigNode* n = tree.appendRoot(positional::instrumentNodeText(
            QString::number(a, 16).toUpper().rightJustified(2, '0'), "917 Version 1.01"));
        ConfigNode* ch = tree.appendChild(n, "Channel Configuration");
        for (int c = 163; c >= 0; --c)
            tree.appendChild(ch, "SET CHANNEL," + channelAddress(c) + ",ON,OFF,2.5,0,0,21,25");
        ConfigNode* log = tree.appendChild(n, "Data Logging Parameters");
        tree.appendChild(log, "SET HYSTERESIS,0.5");
        tree.appendChild(log, "SET LOGSPEC,8,1,ON,OFF,COMM,ASCII,ON,OFF");
        for (int p = 1; p <= 8; ++p)
            tree.appendChild(log, QString("SET PASS,%1,1,0,IMM,,,,BURST,1,,").arg(p));
    }
    tree.endBulkChange();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString path = dir.filePath("big.917");
    {
        ConfigTree tree;
        build(tree);
        writeConfigFile(tree, path);
        std::printf("configuration: %d lines, %lld bytes\n", tree.nodeCount(), QFileInfo(path).size());
    }
    std::vector<double> openMs, saveMs, sortMs;
    for (int r = 0; r < runs; ++r) {
        ConfigTree tree;
        QTreeView view;
        view.setModel(&tree);
        view.resize(790, 480);
        view.show();
        QApplication::processEvents();

        QElapsedTimer t;
        t.start();
        tree.clear();
        readConfigFile(tree, path);
        QApplication::processEvents(); // the view lays out and paints the new tree
        view.repaint();
        openMs.push_back(double(t.nsecsElapsed()) / 1e6);

        t.restart();
        writeConfigFile(tree, dir.filePath("copy.917"));
        saveMs.push_back(double(t.nsecsElapsed()) / 1e6);

        t.restart();
        tree.sortAll();
        QApplication::processEvents();
        sortMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("open and show: median %.1f ms\nsave: median %.1f ms\nfull sort: median %.1f ms\n",
                median(openMs), median(saveMs), median(sortMs));
    std::printf("peak memory: %.1f MiB\n", double(peakKb()) / 1024.0);
    return 0;
}
