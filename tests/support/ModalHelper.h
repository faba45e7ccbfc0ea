#pragma once

#include <QWidget>

#include <functional>

// Runs `act` on the next modal widget that opens (from the event loop that the modal exec runs),
// e.g. to fill a dialog and press its OK button. Gives up after timeoutMs.
void whenModal(std::function<void(QWidget*)> act, int timeoutMs = 10000);
