// Resource and control numbers of the Win32 window, shared by its resource scripts and its code.
#pragma once

#define IDI_TARNLOG 1
#define IDD_FORM1 100

// Cancel is the dialog's IDCANCEL (2): its button, Esc and the close box all end the program.
#define IDC_START 1001
#define IDC_LABEL 1002
#define IDC_LABEL2 1003
#define IDC_LABEL3 1004
#define IDC_LABEL4 1005
