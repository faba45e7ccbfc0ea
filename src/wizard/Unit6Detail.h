#pragma once

// Small helpers shared by the wizard's page files.

#include "Records.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QValidator>

#include <algorithm>

namespace wizardui {

// What is typed appears in upper case, as the instrument expects it.
class UpperCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

inline QLineEdit* spinEdit(QSpinBox* box) {
    return box->findChild<QLineEdit*>();
}

// A record's text goes into a box whole, even beyond the box's typing limit, so that saving the page
// unchanged never cuts a field short.
inline void setBoxText(QLineEdit* box, const QString& text, int limit) {
    box->setMaxLength(std::max(limit, int(text.size())));
    box->setText(text);
}

// A spin box shows the record's field as text, whole like any other box; only a whole number in
// range becomes its value.
inline void setSpinText(QSpinBox* box, const QString& text, int limit) {
    spinEdit(box)->setMaxLength(std::max(limit, int(text.size())));
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok && QString::number(v) == text && v >= box->minimum() && v <= box->maximum())
        box->setValue(v);
    else
        spinEdit(box)->setText(text);
}

// Replaces the text of an editable drop-down list without moving the caret more than needed.
inline void setComboEditText(QComboBox* box, const QString& text) {
    QLineEdit* edit = box->lineEdit();
    if (edit->text() == text)
        return;
    const int cursor = edit->cursorPosition();
    edit->setText(text);
    edit->setCursorPosition(std::min(cursor, int(text.size())));
}

inline QStringList comboItems(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

} // namespace wizardui
