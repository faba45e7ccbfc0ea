#pragma once

#include <QString>
#include <QValidator>

#include <functional>

class QLineEdit;

// What may be typed into a field whose text is stored in the 8-bit configuration file and sent to an
// instrument as it stands (a tree node, a stage field of the wizard): no character the file cannot
// hold (beyond Latin-1), no control character (a TAB or line break would change the file's lines,
// the others are invisible), and, in a tree node, no blank at the start, where the file keeps its
// level marks. Nothing is ever stripped: a refused character is refused as it is typed or pasted,
// with a note saying why, and the text is stored exactly as typed.
namespace typedtext {

enum class Refusal { None, NotLatin1, Control, LeadingBlank };

struct Refused {
    qsizetype at = -1;
    Refusal why = Refusal::None;
    explicit operator bool() const { return why != Refusal::None; }
};

// Whether a change of a field's text from before to after is refused. Only what the change brings in
// counts, so a text read from a file keeps what it already held (an instrument's identification may
// hold a TAB or an ESC) and can still be edited elsewhere.
Refused refusedChange(const QString& before, const QString& after, bool refuseLeadingBlank);

// The note: what was refused and why.
QString message(const QString& text, const Refused& refused);

// Refuses a change as it is typed or pasted, and says why in a note under the field (a box would
// take the focus, and end an edit in the tree). fieldRule adds the field's own rule, refused without
// a note (a comma in a stage field).
class Validator final : public QValidator {
public:
    Validator(QLineEdit* field, bool refuseLeadingBlank, std::function<bool(const QString&)> fieldRule = {});
    State validate(QString& input, int& pos) const override;

private:
    QLineEdit* field;
    bool refuseLeadingBlank;
    std::function<bool(const QString&)> fieldRule;
    // The text before the change being judged: the field's text is already the new one by then.
    mutable QString before;
};

} // namespace typedtext
