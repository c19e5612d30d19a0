// The serial ports the system offers, read from the registry, kept in PortTable
// and shown in the dialog's port list. Row i of the table is entry i of the list.
#pragma once
#include <windows.h>

constexpr int kPortTableRows = 128;
constexpr int kPortFieldSize = 32; // 31 characters and the terminating zero

struct PortEntry {
    char valueName[kPortFieldSize]; // the registry value's name
    char portName[kPortFieldSize];  // its data: the port's name as the list shows it
};

extern PortEntry PortTable[kPortTableRows];
extern int LastSeenPortCount; // entries listed by the last rebuild

// 1: rebuilt and longer than before; 0: rebuilt, not longer; -1: nothing changed
// or the registry could not be read, the list untouched.
int RefreshPortList(HWND list);

// The port name of the list's selected entry, or nullptr when none is selected.
const char* SelectedPortName(HWND list);
