// Resource and control numbers of the settings dialog.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_VARNEK_DIALOG 102
#define IDB_READER 155

#define IDC_PORT_LIST 1000
#define IDC_MODE 1014
#define IDC_FREQUENCY 1015
#define IDC_TMODE 1017
#define IDC_EGT 1018
#define IDC_LOAD 1020
#define IDC_SAVE 1021
#define IDC_DEVICE_NAME 1103
#define IDC_STATUS 1106
#define IDC_PICTURE 1107
