#pragma once

#include <QWidget>

#include <functional>

// Runs `act` on the next modal widget that opens (from the event loop that the modal exec runs),
// e.g. to fill a dialog and press its OK button. Gives up after timeoutMs.
void whenModal(std::function<void(QWidget*)> act, int timeoutMs = 10000);

// The same for the next visible modal dialog whose window title is `title`; a dialog with another
// title that is still closing (or still open) is passed over. Lets a test queue the dialogs of a
// whole sequence in advance.
void whenModalTitled(const QString& title, std::function<void(QWidget*)> act, int timeoutMs = 20000);

// The same for the next visible modal dialog with the object name `objectName` ("Form6"), for
// dialogs that share a title.
void whenModalNamed(const QString& objectName, std::function<void(QWidget*)> act, int timeoutMs = 20000);
