#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QDialog;
class QTextBrowser;
class QWidget;

namespace platform {

// The program's help: a contents page and one page per help context number.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void showContents() = 0;
    virtual void showTopic(int helpContext) = 0;
};

// File names of the help pages, in the folder beside the program.
QString helpContentsFileName();             // "contents.html"
QString helpTopicFileName(int helpContext); // "topic1001.html"

// HTML pages beside the program shown in a help window of our own. The window is created on first
// use and reused; a topic without a page falls back to the contents page.
class BrowserHelpViewer final : public HelpViewer {
public:
    // The window stays above parent and closes with it.
    explicit BrowserHelpViewer(QString folder, QWidget* parent = nullptr);
    ~BrowserHelpViewer() override;

    void showContents() override;
    void showTopic(int helpContext) override;

    // For tests and for the F1 key, which must not look up help for the help window itself.
    QDialog* window() const { return win.get(); }
    QTextBrowser* browser() const { return view; }
    QUrl currentPage() const;

private:
    void showFile(const QString& fileName);
    void ensureWindow();

    QString folder;
    QWidget* parent;
    std::unique_ptr<QDialog> win;
    QTextBrowser* view = nullptr;
};

// The help context for F1: the nearest non-zero "helpContext" property of the object or of one of
// its parents (a control without one takes its group's, then its window's); 0 when there is none.
int helpContextOf(const QObject* object);

// What F1 asks for right now: the highlighted item of an open menu, else the focused control, else
// the active window. 0 when nothing carries a help context.
int currentHelpContext();

// A Help button's request: the help of the control's nearest help context, shown by the HelpKey
// installed on the application (nothing happens without one).
void requestHelpFor(QObject* control);

// Answers F1 anywhere in the program, modal dialogs and open menus included. Install once on the
// application; it removes itself when destroyed.
class HelpKey final : public QObject {
public:
    explicit HelpKey(HelpViewer& viewer, QObject* parent = nullptr);
    ~HelpKey() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpViewer& viewer;
};

} // namespace platform
