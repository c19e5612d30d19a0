#include "tests/windows/serialcomm.h"

#include <windows.h>

static HKEY OpenSerialComm() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool AddSerialComm(const SerialCommValue& value) {
    HKEY key = OpenSerialComm();
    if (!key) return false;
    // Data exactly as given: a test may leave out the terminating zero on purpose.
    LONG rc = RegSetValueExA(key, value.name.c_str(), 0, value.type ? value.type : REG_SZ,
                             reinterpret_cast<const BYTE*>(value.data.data()),
                             static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool RemoveSerialComm(const std::string& name) {
    HKEY key = OpenSerialComm();
    if (!key) return false;
    LONG rc = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetSerialComm(const std::vector<SerialCommValue>& values) {
    HKEY key = OpenSerialComm();
    if (!key) return false;
    char name[256];
    for (;;) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    for (const SerialCommValue& v : values) {
        SerialCommValue withZero = v;
        if (!v.type || v.type == REG_SZ) withZero.data.push_back('\0');
        if (!AddSerialComm(withZero)) return false;
    }
    return true;
}
