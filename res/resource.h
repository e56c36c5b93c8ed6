// Resource ids of Norvale.exe: dialogs, menu, icons, strings and controls.
#pragma once

// System-menu command that opens the About box; command ids below 0xF000
// must keep their low four bits clear.
#define IDM_ABOUTBOX 0x0010

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_OPTIONS 140

// Caption of the main window (IDD_MAIN), by which the tools find it.
#define MAIN_WINDOW_CAPTION "Tessaly"

// Strings
#define IDS_ABOUTBOX 101
#define IDS_SOCKETS_INIT_FAILED 103

// Menu and icons
#define IDR_MAINFRAME 128
#define IDR_MAIN_MENU 135
#define IDI_NOT_READY 137
#define IDI_READY 138

// Controls
#define IDC_AUTODETECT 3
#define IDC_BROWSE 4
#define IDC_UPDATE 1002
#define IDC_STATUS 1003
#define IDC_STATE_ICON 1028
#define IDC_HOST 1030
#define IDC_CODES_PATH 1031
#define IDC_TRANSFER_PATH 1032
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Menu commands
#define ID_FILE_EXIT 32775
#define ID_CONFIGURE_OPTIONS 32781
#define ID_FILE_RETRIEVE 32782
#define ID_FILE_OPEN_CODES 32783
#define ID_FILE_SAVE_CODES 32784
#define ID_HELP_ABOUT 32786

// Private window messages: WM_APP (0x8000) and up.
// The main window posts this to itself to run the start-up fetch once it
// has been shown.
#define WM_STARTUP_FETCH 0x8001
