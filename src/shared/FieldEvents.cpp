#include "FieldEvents.h"

#include "Unit0.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QWidget>

namespace {

class FocusWatcher : public QObject {
public:
    FocusWatcher(QObject* parent, QEvent::Type type, std::function<void()> handler)
        : QObject(parent), type(type), handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != type || !handler)
            return QObject::eventFilter(watched, event);
        if (type == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // A message box or popup took the focus, or another window was activated: not a move
            // out of the field.
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                return QObject::eventFilter(watched, event);
            if (running)
                return QObject::eventFilter(watched, event);
            running = true;
            // This runs before the widget's own focusOutEvent: the handler sees the text as the user
            // left it, and whatever the widget does on focus-out (a spin box redraws its value) follows.
            handler();
            running = false;
            return QObject::eventFilter(watched, event);
        }
        handler();
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type type;
    std::function<void()> handler;
    bool running = false;
};

class LabelClick : public QObject {
public:
    LabelClick(QLabel* label, QWidget* field) : QObject(label), field(field) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && field && field->isEnabled() && field->isVisible())
            field->setFocus(Qt::MouseFocusReason);
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* field;
};

} // namespace

void onFieldEnter(QWidget* field, std::function<void()> handler) {
    if (field)
        field->installEventFilter(new FocusWatcher(field, QEvent::FocusIn, std::move(handler)));
}

void onFieldExit(QWidget* field, std::function<void()> handler) {
    if (field)
        field->installEventFilter(new FocusWatcher(field, QEvent::FocusOut, std::move(handler)));
}

void focusOnLabelClick(QLabel* label, QWidget* field) {
    if (!label || !field)
        return;
    label->setBuddy(field);
    label->installEventFilter(new LabelClick(label, field));
}

void showHelpOnEnter(QWidget* field, const TForm0& form0, QPlainTextEdit* memo, int topic) {
    onFieldEnter(field, [&form0, memo, topic] { form0.ReadUserHelp(memo, topic); });
}

void showHelpOnEnter(QWidget* field, const TForm0& form0, QPlainTextEdit* memo, std::function<int()> topic) {
    onFieldEnter(field, [&form0, memo, topic = std::move(topic)] {
        const int t = topic();
        if (t >= 0)
            form0.ReadUserHelp(memo, t);
    });
}
