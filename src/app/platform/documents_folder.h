// The user's documents folder ("My Documents") as the logging program sees it.
// On Windows the shell is asked; elsewhere the program runs under Wine and the prefix's registry tells.
#pragma once

#include <string>

namespace platform {

// Windows: SHGetFolderPathA(CSIDL_PERSONAL) from shfolder.dll, the text as the shell gives it,
// turned from the 8-bit character set into UTF-8 like every path of the program.
// Elsewhere: "Personal" under Explorer\Shell Folders in the Wine prefix's user.reg (winePrefix,
// which fails when no prefix, or several, hold the logging program's settings), a Windows path
// returned as written ("C:\users\bob\Documents"). A named prefix without that value: the
// desktop's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents when it exists), else "".
std::string documentsFolder();

}  // namespace platform
