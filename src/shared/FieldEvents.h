#pragma once

#include <functional>

class QLabel;
class QPlainTextEdit;
class QWidget;
class TForm0;

// Focus events of a form's fields, in one place for every dialog.
//
// onFieldEnter: runs whenever the field receives the keyboard focus (help topics, entry handlers).
// onFieldExit: runs whenever the user leaves the field: Tab, Shift+Tab, a click on another control
// or a page button. It does not run when the focus only leaves because a message box or popup opened
// or the window was deactivated, so a check that shows its own error box does not fire again, and
// putting the focus back from inside the handler cannot loop.
void onFieldEnter(QWidget* field, std::function<void()> handler);
void onFieldExit(QWidget* field, std::function<void()> handler);

// A click on the label moves the focus to the field, when the field is enabled.
void focusOnLabelClick(QLabel* label, QWidget* field);

// Shows a help topic in the memo whenever the field receives the focus.
void showHelpOnEnter(QWidget* field, const TForm0& form0, QPlainTextEdit* memo, int topic);
// The topic is chosen when the focus arrives (some fields depend on the form's state); a negative
// topic leaves the memo unchanged.
void showHelpOnEnter(QWidget* field, const TForm0& form0, QPlainTextEdit* memo, std::function<int()> topic);
