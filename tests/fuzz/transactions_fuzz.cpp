// libFuzzer target: the reader's answers come from the fuzzer's bytes, and the three
// transactions must neither crash nor leave a port open, and report only what they may.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "reader/protocol.h"
#include "reader/settings.h"
#include "tests/native/recording_link.h"

#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) __builtin_trap();                                                        \
    } while (0)

// Input: one byte choosing the transaction, then read attempts, each a length byte
// and that many answer bytes (a read returns at most 64 of them).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    ResetBed();
    RecordingBed& bed = Bed();
    bed.useScript = true;
    std::memset(&ReaderSettings, 0, sizeof ReaderSettings);
    SetDeviceName("FUZZ");
    size_t at = 1;
    while (at < size) {
        size_t length = data[at++];
        if (length > size - at) length = size - at;
        bed.script.emplace_back(data + at, data + at + length);
        at += length;
    }
    int result = 0;
    switch (data[0] % 3) {
    case 0:
        result = ProbeReaderVersion("COM3");
        REQUIRE(result >= -128 && result <= 127);
        break;
    case 1:
        result = ReadAllSettings("COM3");
        REQUIRE(result == 0 || result == -1);
        break;
    default:
        result = WriteAllSettings("COM3");
        REQUIRE(result == 0 || result == -1);
        break;
    }
    REQUIRE(bed.openLinks == 0);
    REQUIRE(bed.misuse == 0);
    REQUIRE(bed.Count(kEvOpen) == bed.Count(kEvClose));
    REQUIRE(strnlen(GetDeviceName(), kDeviceNameSize) < kDeviceNameSize);
    return 0;
}
