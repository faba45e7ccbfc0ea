#pragma once

#include <QSpinBox>

// A spin box that shows a whole number as it was written ("08", "2.0") instead of redrawing it from
// its value when the focus leaves: numbers are stored as typed. Anything else behaves as in QSpinBox.
class TypedSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
};
