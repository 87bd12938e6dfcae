#include "app/console/console_msgbox.h"

#include <cctype>
#include <string>

namespace console {
namespace {

std::string lowered(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) out += char(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

}  // namespace

app::MsgBoxFn consoleMsgBox(std::istream& in, std::ostream& out, bool answerYes) {
  return [&in, &out, answerYes](const std::string& prompt, int buttons, const std::string&) {
    if (buttons != app::vbYesNoCancel) {
      out << prompt << '\n' << std::flush;
      return app::vbOK;
    }
    if (answerYes) {
      out << prompt << " Yes\n" << std::flush;
      return app::vbYes;
    }
    for (;;) {
      out << prompt << " [Yes/No/Cancel] " << std::flush;
      std::string line;
      if (!std::getline(in, line)) {
        out << '\n' << std::flush;
        return app::vbCancel;
      }
      std::string answer = lowered(line);
      if (answer == "y" || answer == "yes") return app::vbYes;
      if (answer == "n" || answer == "no") return app::vbNo;
      if (answer == "c" || answer == "cancel") return app::vbCancel;
    }
  };
}

}  // namespace console
