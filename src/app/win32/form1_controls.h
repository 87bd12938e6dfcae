// Resource and control numbers of the Win32 window, shared by its resource scripts and its code.
#pragma once

#define IDI_TARNLOG 1
#define IDD_FORM1 100

// Cancel is a button like Start, not the dialog's IDCANCEL: Esc, which the dialog manager turns
// into IDCANCEL, does nothing on this window, and only the button and the close box end it.
#define IDC_START 1001
#define IDC_LABEL 1002
#define IDC_LABEL2 1003
#define IDC_LABEL3 1004
#define IDC_LABEL4 1005
#define IDC_CANCEL 1006
