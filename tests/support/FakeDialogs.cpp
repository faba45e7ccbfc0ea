#include "FakeDialogs.h"

namespace {
std::optional<QString> next(std::deque<std::optional<QString>>& answers) {
    if (answers.empty() || !answers.front().has_value()) {
        if (!answers.empty())
            answers.pop_front();
        return std::nullopt;
    }
    const QString name = *answers.front();
    answers.pop_front();
    return name;
}
} // namespace

std::optional<QString> FakeDialogs::openFileName(QWidget*, const platform::FileDialogOptions& o) {
    openAsked.append(o);
    return next(openAnswers);
}

std::optional<QString> FakeDialogs::saveFileName(QWidget*, const platform::FileDialogOptions& o) {
    saveAsked.append(o);
    return next(saveAnswers);
}
