// The reader's command protocol and the three transactions the dialog runs with it.
// Each transaction opens its own link on the named port and closes it before it returns.
#pragma once
#include <cstdint>

#include "serial/serial_link.h"

constexpr unsigned char kAck = 0x99;
constexpr int kLowestUsableVersion = 0x11;
constexpr int kAnswerBufferSize = 256;

// The port number of a name such as "COM3", read as "COM%d" reads it; -1 when the
// name holds no number or one that does not fit an int.
int ParsePortNumber(const char* portName, int* portNumber);

int ProbeReaderVersion(const char* portName); // the version byte as a signed 8-bit number, or -1
int ReadAllSettings(const char* portName);    // 0 or -1; fills ReaderSettings
int WriteAllSettings(const char* portName);   // 0 or -1; sends ReaderSettings

SerialLink ConnectReader(const char* portName);
int ConfigGet(SerialLink link, int index, unsigned char* buffer); // buffer: kAnswerBufferSize
int ConfigSetValue(SerialLink link, int index, int32_t value);
int ConfigSetName(SerialLink link, const char* name);
