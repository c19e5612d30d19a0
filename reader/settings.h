// The reader's six settings as the program holds them between commands, and the
// translations between those numbers and the entries of the dialog's lists.
#pragma once
#include <cstdint>

enum SettingIndex {
    kModeIndex = 0,
    kFrequencyIndex = 1,
    kHiddenIndex = 2,
    kTModeIndex = 3,
    kEgtIndex = 4,
    kDeviceNameIndex = 5,
};

constexpr int kNumericSettingCount = 5;
constexpr int kDeviceNameSize = 32; // 31 characters and the terminating zero
constexpr int kSavedNameLength = 8; // the dialog sends no more of the name than this

struct ReaderSettingsRecord {
    int32_t mode;
    int32_t frequencyCode;
    int32_t hiddenSetting;
    int32_t tMode;
    int32_t egt;
    char deviceName[kDeviceNameSize];
};

// The one record of the program; zero and empty at start.
extern ReaderSettingsRecord ReaderSettings;

void SetValue(int index, int32_t value); // indices 0 to 4; others are ignored
int32_t GetValue(int index);             // indices 0 to 4; others give 0
void SetDeviceName(const char* text);    // at most 31 characters are kept
const char* GetDeviceName();

// A 16-bit wire value, high byte first, sign-extended.
int32_t DecodeWireValue(unsigned char high, unsigned char low);

// List contents in the order the dialog adds them.
constexpr int kModeEntryCount = 2;
constexpr int kFrequencyEntryCount = 9;
constexpr int kTModeEntryCount = 2;
constexpr int kEgtEntryCount = 255;
extern const char* const kModeEntries[kModeEntryCount];
extern const char* const kFrequencyEntries[kFrequencyEntryCount];
extern const char* const kTModeEntries[kTModeEntryCount];

// Selection (zero-based list position) to the number stored for it.
int32_t ModeFromSelection(int position);
int32_t FrequencyFromSelection(int position);
int32_t TModeFromSelection(int position);
int32_t EgtFromSelection(int position);

// Number to the list position that shows it; -1 means the number has no entry
// and the list shows no selection.
int ModeToSelection(int32_t value);
int FrequencyToSelection(int32_t value);
int TModeToSelection(int32_t value);
int EgtToSelection(int32_t value);
