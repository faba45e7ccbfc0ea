#pragma once

#include <QLocale>

class QCoreApplication;

// Installs the program's catalogue for the locale (v917config_<language>.qm, beside the program or
// in share/v917config/translations) when one is found, and then Qt's own. Returns whether the
// program's catalogue was installed; without one every text stays as written.
bool installTranslators(QCoreApplication& app, const QLocale& locale = QLocale());
