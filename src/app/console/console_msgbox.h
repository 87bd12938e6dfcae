// The message box of the console program: prompts are lines on the terminal, and the backup
// question is answered there (or by --yes).
#pragma once

#include <istream>
#include <ostream>

#include "app/msgbox.h"

namespace console {

// OK-only prompts are written to `out`, one line each, and answered OK. A Yes/No/Cancel prompt
// is written followed by "[Yes/No/Cancel] " and answered by a line of `in` (y, yes, n, no, c,
// cancel, in any letter case; anything else asks again; the end of the input is Cancel). With
// `answerYes` it is written followed by "Yes" and answered Yes without reading.
app::MsgBoxFn consoleMsgBox(std::istream& in, std::ostream& out, bool answerYes);

}  // namespace console
