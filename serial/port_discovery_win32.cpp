#include "serial/port_discovery.h"

#include <cstring>

PortEntry PortTable[kPortTableRows];
int LastSeenPortCount = 0;

static const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kValueNameBuffer = 40;
constexpr DWORD kValueDataBuffer = 20;

// Reads value i into entry. Only a text value whose name and data both fit a row
// whole is taken: a shortened port name could name another port.
static bool ReadPortValue(HKEY key, DWORD i, PortEntry* entry) {
    char name[kValueNameBuffer];
    BYTE data[kValueDataBuffer];
    std::memset(name, 0, sizeof name);
    std::memset(data, 0, sizeof data);
    DWORD nameLength = sizeof name;
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ || nameLength >= kPortFieldSize) return false;
    // The data need not end in a zero; the cleared buffer supplies one unless it is full.
    const void* end = std::memchr(data, 0, sizeof data);
    if (!end) return false;
    std::memset(entry, 0, sizeof *entry);
    std::memcpy(entry->valueName, name, nameLength);
    std::strcpy(entry->portName, reinterpret_cast<const char*>(data));
    return true;
}

// What a rebuild would list now: the usable values in registry order, at most a
// table's worth. -1 when the key cannot be read.
static int CollectPorts(PortEntry* found) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD count = 0;
    int n = -1;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        n = 0;
        for (DWORD i = 0; i < count && n < kPortTableRows; ++i)
            if (ReadPortValue(key, i, &found[n])) ++n;
    }
    RegCloseKey(key);
    return n;
}

int RefreshPortList(HWND list) {
    static PortEntry found[kPortTableRows];
    int count = CollectPorts(found);
    if (count < 0) return -1;
    // Compared position by position: the same ports in another order are a change.
    if (count == LastSeenPortCount && std::memcmp(found, PortTable, sizeof(PortEntry) * count) == 0)
        return -1;
    int old = LastSeenPortCount;
    LastSeenPortCount = count;
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    std::memset(PortTable, 0, sizeof PortTable);
    for (int i = 0; i < count; ++i) {
        PortTable[i] = found[i];
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(PortTable[i].portName));
    }
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    return old < count ? 1 : 0;
}

const char* SelectedPortName(HWND list) {
    LRESULT position = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (position < 0 || position >= LastSeenPortCount) return nullptr;
    return PortTable[position].portName;
}
