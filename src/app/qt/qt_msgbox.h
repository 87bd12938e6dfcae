// The message box of the window: a modal Qt box that looks and answers as the Windows one does.
// Title as given, no icon, no help; buttons OK, or Yes/No/Cancel in that order with Yes the default.
#pragma once

#include <QMessageBox>
#include <memory>
#include <string>

#include "app/msgbox.h"

class QWidget;

namespace app {

// The box for `prompt` (shown as plain text, wrapped) and `buttons` (vbOKOnly or vbYesNoCancel),
// built but not shown.
std::unique_ptr<QMessageBox> makeMessageBox(const std::string& prompt, int buttons, const std::string& title,
                                            QWidget* parent);

// The answer code for how `box` was ended: vbOK, vbYes, vbNo or vbCancel. Esc and the close
// box end it with its escape button (OK, or Cancel).
int answerOf(const QMessageBox& box);

// The Qt box as a MsgBoxFn, modal over `parent`. On a platform nobody can see (offscreen)
// no one can answer, so the box is not waited for: the answer is the one Esc would give.
MsgBoxFn qtMsgBox(QWidget* parent);

}  // namespace app
