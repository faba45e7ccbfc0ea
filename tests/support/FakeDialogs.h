#pragma once

#include "Dialogs.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

// Records every message and answers file dialogs from a script; nothing is shown.
class FakeDialogs final : public platform::DialogService {
public:
    void error(QWidget*, const QString& text) override {
        errors.append(text);
        if (onError)
            onError(text);
    }
    void information(QWidget*, const QString& text) override { infos.append(text); }
    std::optional<QString> openFileName(QWidget*, const platform::FileDialogOptions& o) override;
    std::optional<QString> saveFileName(QWidget*, const platform::FileDialogOptions& o) override;
    bool printerSetup(QWidget*, QPrinter&) override { return printerSetupAnswer; }
    platform::SaveChoice askSaveChanges(QWidget*, const QString& text) override {
        saveQuestions.append(text);
        return saveChangesAnswer;
    }

    QStringList errors;
    // Runs while the error "box" is open, e.g. an event loop standing in for a modal box.
    std::function<void(const QString&)> onError;
    QStringList infos;
    // Answers in order; an empty queue cancels.
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    QList<platform::FileDialogOptions> openAsked;
    QList<platform::FileDialogOptions> saveAsked;
    bool printerSetupAnswer = false;
    QStringList saveQuestions;
    platform::SaveChoice saveChangesAnswer = platform::SaveChoice::Discard;
};
