#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reader/settings.h"

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { std::memset(&ReaderSettings, 0, sizeof ReaderSettings); }
};

TEST_F(SettingsTest, NumbersAreAddressedOnlyByIndexZeroToFour) {
    for (int index = 0; index < 5; ++index)
        SetValue(index, 100 + index);
    EXPECT_EQ(ReaderSettings.mode, 100);
    EXPECT_EQ(ReaderSettings.frequencyCode, 101);
    EXPECT_EQ(ReaderSettings.hiddenSetting, 102);
    EXPECT_EQ(ReaderSettings.tMode, 103);
    EXPECT_EQ(ReaderSettings.egt, 104);
    ReaderSettingsRecord before = ReaderSettings;
    for (int index : {-1, 5, 7, 1000}) {
        SetValue(index, 5);
        EXPECT_EQ(GetValue(index), 0) << index;
    }
    EXPECT_EQ(std::memcmp(&before, &ReaderSettings, sizeof before), 0);
    EXPECT_EQ(GetValue(4), 104);
}

TEST_F(SettingsTest, DeviceNameKeepsAtMost31CharactersAndClearsTheRest) {
    SetDeviceName("0123456789012345678901234567890123456789");
    EXPECT_EQ(std::string(GetDeviceName()), "0123456789012345678901234567890");
    SetDeviceName("AB");
    EXPECT_STREQ(GetDeviceName(), "AB");
    for (int i = 2; i < kDeviceNameSize; ++i)
        EXPECT_EQ(ReaderSettings.deviceName[i], 0) << i;
    SetDeviceName(nullptr);
    EXPECT_STREQ(GetDeviceName(), "");
}

TEST(WireValue, IsSixteenBitsHighByteFirstSignExtended) {
    struct Case {
        unsigned char high, low;
        int32_t value;
    } cases[] = {{0x00, 0x12, 18}, {0xFF, 0x10, -240},   {0x05, 0x00, 1280},
                 {0xFF, 0xFF, -1}, {0x80, 0x00, -32768}, {0x7F, 0xFF, 32767}};
    for (const Case& c : cases)
        EXPECT_EQ(DecodeWireValue(c.high, c.low), c.value) << int(c.high) << " " << int(c.low);
}

TEST(Translation, SelectionToNumber) {
    EXPECT_EQ(ModeFromSelection(0), 0);
    EXPECT_EQ(ModeFromSelection(1), 1);
    EXPECT_EQ(TModeFromSelection(0), 0);
    EXPECT_EQ(TModeFromSelection(1), 1);
    const int32_t frequency[kFrequencyEntryCount] = {18, 17, 16, 15, 14, 13, 12, 11, 10};
    for (int p = 0; p < kFrequencyEntryCount; ++p)
        EXPECT_EQ(FrequencyFromSelection(p), frequency[p]);
    for (int p : {0, 1, 127, 254})
        EXPECT_EQ(EgtFromSelection(p), p);
}

TEST(Translation, NumberToSelection) {
    struct Case {
        int32_t value;
        int mode, frequency, tMode, egt; // expected list positions, -1: none
    } cases[] = {
        {0, 0, -1, 0, 0},     {1, 1, -1, 1, 1},    {2, 1, -1, -1, 2},     {7, 1, 8, -1, 7},
        {8, 1, 7, -1, 8},     {9, 1, -1, -1, 9},   {10, 1, 6, -1, 10},    {11, 1, 5, -1, 11},
        {12, 1, 4, -1, 12},   {13, 1, 3, -1, 13},  {14, 1, -1, -1, 14},   {15, 1, 2, -1, 15},
        {16, 1, 1, -1, 16},   {17, 1, -1, -1, 17}, {18, 1, 0, -1, 18},    {254, 1, -1, -1, 254},
        {255, 1, -1, -1, -1}, {-1, 1, -1, -1, -1}, {-240, 1, -1, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ModeToSelection(c.value), c.mode) << c.value;
        EXPECT_EQ(FrequencyToSelection(c.value), c.frequency) << c.value;
        EXPECT_EQ(TModeToSelection(c.value), c.tMode) << c.value;
        EXPECT_EQ(EgtToSelection(c.value), c.egt) << c.value;
    }
    // Only the first frequency entry reads back as itself.
    EXPECT_EQ(FrequencyToSelection(FrequencyFromSelection(0)), 0);
    EXPECT_EQ(std::string(kFrequencyEntries[FrequencyToSelection(FrequencyFromSelection(8))]),
              "6,86");
}
