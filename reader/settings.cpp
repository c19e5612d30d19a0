#include "reader/settings.h"

#include <cstring>

ReaderSettingsRecord ReaderSettings;

const char* const kModeEntries[kModeEntryCount] = {"AUTO", "FIXED"};
const char* const kFrequencyEntries[kFrequencyEntryCount] = {"3,69", "4,00", "4,36", "4,80", "5,33",
                                                             "6,00", "6,86", "8,00", "9,60"};
const char* const kTModeEntries[kTModeEntryCount] = {"T0", "T1"};

// The reader reads frequency numbers back through its own table, which is not the
// inverse of "18 minus the position": only 18 maps both ways.
static const int32_t kFrequencyCodeOfEntry[kFrequencyEntryCount] = {18, 16, 15, 13, 12,
                                                                    11, 10, 8,  7};

static int32_t* NumericField(int index) {
    switch (index) {
    case kModeIndex: return &ReaderSettings.mode;
    case kFrequencyIndex: return &ReaderSettings.frequencyCode;
    case kHiddenIndex: return &ReaderSettings.hiddenSetting;
    case kTModeIndex: return &ReaderSettings.tMode;
    case kEgtIndex: return &ReaderSettings.egt;
    default: return nullptr;
    }
}

void SetValue(int index, int32_t value) {
    int32_t* field = NumericField(index);
    if (field) *field = value;
}

int32_t GetValue(int index) {
    const int32_t* field = NumericField(index);
    return field ? *field : 0;
}

void SetDeviceName(const char* text) {
    std::memset(ReaderSettings.deviceName, 0, sizeof ReaderSettings.deviceName);
    if (text) std::strncpy(ReaderSettings.deviceName, text, kDeviceNameSize - 1);
}

const char* GetDeviceName() {
    return ReaderSettings.deviceName;
}

int32_t DecodeWireValue(unsigned char high, unsigned char low) {
    return static_cast<int32_t>(static_cast<signed char>(high)) * 256 + low;
}

int32_t ModeFromSelection(int position) {
    return position == 0 ? 0 : 1;
}
int32_t FrequencyFromSelection(int position) {
    return 18 - position;
}
int32_t TModeFromSelection(int position) {
    return position == 0 ? 0 : 1;
}
int32_t EgtFromSelection(int position) {
    return position;
}

int ModeToSelection(int32_t value) {
    return value == 0 ? 0 : 1;
}

int FrequencyToSelection(int32_t value) {
    for (int i = 0; i < kFrequencyEntryCount; ++i)
        if (kFrequencyCodeOfEntry[i] == value) return i;
    return -1;
}

static int PositionOrNone(int32_t value, int count) {
    return value >= 0 && value < count ? static_cast<int>(value) : -1;
}

int TModeToSelection(int32_t value) {
    return PositionOrNone(value, kTModeEntryCount);
}
int EgtToSelection(int32_t value) {
    return PositionOrNone(value, kEgtEntryCount);
}
