#include "HelpViewer.h"

#include "RegularFile.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace platform {

namespace {
// Pages and what they link to are read as any outside file is: a FIFO or a huge file in a page's
// place gives an empty page instead of a hang or a full memory.
class BoundedBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl& name) override {
        const QUrl url = name.isRelative() && source().isLocalFile() ? source().resolved(name) : name;
        if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile())) {
            const std::optional<QByteArray> bytes = readRegularFile(url.toLocalFile());
            return bytes ? QVariant(*bytes) : QVariant();
        }
        return QTextBrowser::loadResource(type, name);
    }
};

bool readablePage(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() <= MaxReadableFileSize;
}
} // namespace

QString helpContentsFileName() {
    return QStringLiteral("contents.html");
}

QString helpTopicFileName(int helpContext) {
    return QStringLiteral("topic%1.html").arg(helpContext);
}

BrowserHelpViewer::BrowserHelpViewer(QString folder, QWidget* parent)
    : folder(std::move(folder)), parent(parent) {}

BrowserHelpViewer::~BrowserHelpViewer() = default;

void BrowserHelpViewer::ensureWindow() {
    if (win)
        return;
    win = std::make_unique<QDialog>(parent);
    win->setObjectName(QStringLiteral("HelpWindow"));
    win->setWindowTitle(QCoreApplication::translate("HelpViewer", "V917 Configuration Software Help"));
    win->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    win->setSizeGripEnabled(true);
    win->resize(680, 560);

    view = new BoundedBrowser(win.get());
    view->setObjectName(QStringLiteral("HelpText"));
    view->setOpenLinks(true);
    view->setOpenExternalLinks(true);
    view->setSearchPaths({folder});

    auto* contents = new QPushButton(QCoreApplication::translate("HelpViewer", "&Contents"), win.get());
    auto* back = new QPushButton(QCoreApplication::translate("HelpViewer", "&Back"), win.get());
    auto* forward = new QPushButton(QCoreApplication::translate("HelpViewer", "&Forward"), win.get());
    auto* close = new QPushButton(QCoreApplication::translate("HelpViewer", "Close"), win.get());
    for (QPushButton* b : {contents, back, forward, close})
        b->setAutoDefault(false);
    back->setEnabled(false);
    forward->setEnabled(false);
    QObject::connect(contents, &QPushButton::clicked, win.get(), [this] { showContents(); });
    QObject::connect(back, &QPushButton::clicked, view, &QTextBrowser::backward);
    QObject::connect(forward, &QPushButton::clicked, view, &QTextBrowser::forward);
    QObject::connect(view, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    QObject::connect(view, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    QObject::connect(close, &QPushButton::clicked, win.get(), &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(win.get());
    layout->addLayout(buttons);
    layout->addWidget(view, 1);
}

void BrowserHelpViewer::showContents() {
    showFile(helpContentsFileName());
}

void BrowserHelpViewer::showTopic(int helpContext) {
    const QString topic = helpTopicFileName(helpContext);
    showFile(readablePage(QDir(folder).filePath(topic)) ? topic : helpContentsFileName());
}

QUrl BrowserHelpViewer::currentPage() const {
    return view ? view->source() : QUrl();
}

void BrowserHelpViewer::showFile(const QString& fileName) {
    ensureWindow();
    const QString path = QDir(folder).filePath(fileName);
    if (readablePage(path)) {
        view->setSource(QUrl::fromLocalFile(path));
    } else {
        view->clear();
        view->setHtml(QCoreApplication::translate(
                          "HelpViewer", "<h2>Help is not available</h2><p>The help pages were not found in "
                                        "the folder %1. They are delivered beside the program; reinstall "
                                        "the program to restore them.</p>")
                          .arg(folder.toHtmlEscaped()));
    }

    // A modal dialog blocks every window shown before it. When F1 comes from inside one, the help
    // window has to join the modal stack above it, or the user could not scroll or follow a link.
    QWidget* modal = QApplication::activeModalWidget();
    const Qt::WindowModality wanted =
        modal && modal != win.get() ? Qt::ApplicationModal : (modal ? win->windowModality() : Qt::NonModal);
    if (win->windowModality() != wanted) {
        // Modality only takes effect on a window that is being shown.
        win->hide();
        win->setWindowModality(wanted);
    }
    win->show();
    win->raise();
    win->activateWindow();
}

int helpContextOf(const QObject* object) {
    for (const QObject* o = object; o; o = o->parent()) {
        const int context = o->property("helpContext").toInt();
        if (context != 0)
            return context;
    }
    return 0;
}

int currentHelpContext() {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        if (QAction* item = menu->activeAction())
            if (const int context = item->property("helpContext").toInt())
                return context;
        if (const int context = menu->menuAction()->property("helpContext").toInt())
            return context;
    }
    if (QWidget* focus = QApplication::focusWidget())
        return helpContextOf(focus);
    return helpContextOf(QApplication::activeWindow());
}

HelpKey::HelpKey(HelpViewer& viewer, QObject* parent) : QObject(parent), viewer(viewer) {
    qApp->installEventFilter(this);
}

HelpKey::~HelpKey() {
    if (qApp)
        qApp->removeEventFilter(this);
}

QEvent::Type helpRequestEvent() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void requestHelpFor(QObject* control) {
    QEvent request(helpRequestEvent());
    QCoreApplication::sendEvent(control, &request);
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == helpRequestEvent()) {
        if (const int context = helpContextOf(watched))
            viewer.showTopic(context);
        else
            viewer.showContents();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    if (key->isAutoRepeat())
        return true;
    const int context = currentHelpContext();
    // The help is shown from a menu's key handler; close the menus first so they do not cover it.
    for (int guard = 0; guard < 8; ++guard) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup)
            break;
        popup->close();
    }
    if (context != 0)
        viewer.showTopic(context);
    else
        viewer.showContents();
    return true;
}

} // namespace platform
