#include "TypedSpinBox.h"

#include "Records.h"

#include <QLineEdit>

#include <cmath>
#include <optional>

namespace {

// The value of a text in the number syntax that names a whole number an int holds.
std::optional<int> wholeValue(const QString& text) {
    if (!records::isNumber(text))
        return std::nullopt;
    const double v = text.trimmed().toDouble();
    if (!std::isfinite(v) || v != std::floor(v) || std::abs(v) > 1e9)
        return std::nullopt;
    return int(v);
}

} // namespace

QValidator::State TypedSpinBox::validate(QString& input, int& pos) const {
    const auto v = wholeValue(input);
    if (v && *v >= minimum() && *v <= maximum())
        return QValidator::Acceptable;
    return QSpinBox::validate(input, pos);
}

int TypedSpinBox::valueFromText(const QString& text) const {
    if (const auto v = wholeValue(text))
        return *v;
    return QSpinBox::valueFromText(text);
}

QString TypedSpinBox::textFromValue(int value) const {
    if (const QLineEdit* edit = lineEdit()) {
        const QString shown = edit->text();
        if (wholeValue(shown) == value)
            return shown;
    }
    return QSpinBox::textFromValue(value);
}
