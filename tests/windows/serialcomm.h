// Plugging and unplugging ports in the test prefix: values of the registry key
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, which the program reads.
#pragma once
#include <string>
#include <vector>

struct SerialCommValue {
    std::string name;
    std::string data;
    unsigned long type; // REG_SZ unless a test wants something else
};

// Replaces every value of the key with these, in this order.
bool SetSerialComm(const std::vector<SerialCommValue>& values);
bool AddSerialComm(const SerialCommValue& value);
bool RemoveSerialComm(const std::string& name);
