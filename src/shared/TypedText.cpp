#include "TypedText.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QToolTip>

#include <algorithm>

namespace typedtext {

namespace {

Refusal refusalOf(QChar c) {
    const char16_t u = c.unicode();
    if (u > 0xFF)
        return Refusal::NotLatin1;
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return Refusal::Control;
    return Refusal::None;
}

qsizetype refusedCount(const QString& text) {
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) { return refusalOf(c) != Refusal::None; });
}

} // namespace

Refused refusedChange(const QString& before, const QString& after, bool refuseLeadingBlank) {
    if (refuseLeadingBlank && after.startsWith(QLatin1Char(' ')) && !before.startsWith(QLatin1Char(' ')))
        return {0, Refusal::LeadingBlank};
    if (refusedCount(after) <= refusedCount(before))
        return {};
    // The change lies between what both texts begin and end with; name the first refused character
    // there.
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    for (qsizetype i = head; i < after.size() - tail; ++i)
        if (const Refusal why = refusalOf(after[i]); why != Refusal::None)
            return {i, why};
    for (qsizetype i = 0; i < after.size(); ++i)
        if (const Refusal why = refusalOf(after[i]); why != Refusal::None)
            return {i, why};
    return {};
}

QString message(const QString& text, const Refused& refused) {
    switch (refused.why) {
    case Refusal::NotLatin1: {
        const qsizetype at = refused.at;
        const qsizetype length = at + 1 < text.size() && text[at].isHighSurrogate() ? 2 : 1;
        return QCoreApplication::translate(
                   "TypedText",
                   "\"%1\" cannot be stored: a configuration file holds only Latin-1 characters.")
            .arg(text.mid(at, length));
    }
    case Refusal::Control:
        return QCoreApplication::translate("TypedText",
                                           "Control character %1 cannot be stored: a configuration line "
                                           "holds printable characters only.")
            .arg(QStringLiteral("0x") +
                 QStringLiteral("%1").arg(text[refused.at].unicode(), 2, 16, QLatin1Char('0')).toUpper());
    case Refusal::LeadingBlank:
        return QCoreApplication::translate("TypedText",
                                           "A line cannot begin with a blank: the configuration file "
                                           "marks its levels with leading blanks and TABs.");
    case Refusal::None:
        break;
    }
    return QString();
}

Validator::Validator(QLineEdit* field, bool refuseLeadingBlank, std::function<bool(const QString&)> fieldRule)
    : QValidator(field), field(field), refuseLeadingBlank(refuseLeadingBlank),
      fieldRule(std::move(fieldRule)), before(field->text()) {}

QValidator::State Validator::validate(QString& input, int&) const {
    // A text the program puts into the field (a record, a node's text) is taken as it stands: the
    // field is unmodified then. Only the user's own changes are judged.
    if (!field->isModified()) {
        before = input;
        return Acceptable;
    }
    if (const Refused r = refusedChange(before, input, refuseLeadingBlank)) {
        QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), message(input, r), field);
        return Invalid;
    }
    if (fieldRule && !fieldRule(input))
        return Invalid;
    before = input;
    return Acceptable;
}

} // namespace typedtext
