#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "reader/protocol.h"
#include "reader/settings.h"
#include "tests/native/recording_link.h"

using Bytes = std::vector<unsigned char>;

static Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
static Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
static Bytes GetRequest(int index) {
    return Cat(B("CONFIG_GET"), {0x00, (unsigned char)index});
}

// Every test ends with every opened link closed and no call on a closed link.
class ProtocolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetBed();
        std::memset(&ReaderSettings, 0, sizeof ReaderSettings);
    }
    void TearDown() override {
        EXPECT_EQ(Bed().openLinks, 0);
        EXPECT_EQ(Bed().Count(kEvOpen), Bed().Count(kEvClose));
        EXPECT_EQ(Bed().misuse, 0);
    }
    ReaderModel& Reader() { return Bed().reader; }
    int Reads() { return Bed().Count(kEvRead); }
};

TEST(PortName, IsReadAsComAndANumberThatFitsAnInt) {
    struct Case {
        const char* name;
        int result, number;
    } cases[] = {
        {"COM3", 0, 3},
        {"COM0", 0, 0},
        {"COM12x", 0, 12},
        {"COM 7", 0, 7},
        {"COM+4", 0, 4},
        {"COM-1", 0, -1},
        {"COM2147483647", 0, INT_MAX},
        {"COM-2147483648", 0, INT_MIN},
        {"COM2147483648", -1, 0},
        {"COM-2147483649", -1, 0},
        {"COM99999999999999999999999", -1, 0},
        {"com3", -1, 0},
        {"LPT1", -1, 0},
        {"COM", -1, 0},
        {"COMx", -1, 0},
        {"", -1, 0},
        {"CNCA0", -1, 0},
        {nullptr, -1, 0},
    };
    for (const Case& c : cases) {
        int number = 0;
        EXPECT_EQ(ParsePortNumber(c.name, &number), c.result) << (c.name ? c.name : "null");
        if (c.result == 0) {
            EXPECT_EQ(number, c.number) << c.name;
        }
    }
}

TEST_F(ProtocolTest, RequestsAreSentByteForByte) {
    SerialLink link = ConnectReader("COM3");
    ASSERT_TRUE(LinkIsOpen(link));
    unsigned char buffer[kAnswerBufferSize] = {0};
    ConfigSetValue(link, 1, 18);
    ConfigSetValue(link, 2, -240);
    ConfigGet(link, 5, buffer);
    ConfigSetName(link, "ABCDEFGH");
    CloseLink(link);
    std::vector<std::string> writes;
    for (const Bytes& w : Bed().Writes())
        writes.push_back(Hex(w));
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0], "43 4F 4E 46 49 47 5F 53 45 54 00 01 00 12");
    EXPECT_EQ(writes[1], "43 4F 4E 46 49 47 5F 53 45 54 00 02 FF 10");
    EXPECT_EQ(writes[2], "43 4F 4E 46 49 47 5F 47 45 54 00 05");
    EXPECT_EQ(writes[3], "43 4F 4E 46 49 47 5F 53 45 54 00 05 41 42 43 44 45 46 47 48");
}

TEST_F(ProtocolTest, ConnectionTalksAt4800AfterOneRtsPulse) {
    EXPECT_EQ(ProbeReaderVersion("COM3"), 0x11);
    int baud = 0, pulses = 0;
    for (const LinkEvent& e : Bed().events) {
        if (e.type == kEvConfigure) baud = e.value;
        if (e.type == kEvPulse) ++pulses;
        if (e.type == kEvWrite) {
            EXPECT_EQ(baud, kTalkBaudRate);
            EXPECT_EQ(pulses, 1);
        }
    }
    EXPECT_EQ(Bed().Count(kEvOpen), 1);
}

TEST_F(ProtocolTest, StepsRefuseAClosedLink) {
    unsigned char buffer[kAnswerBufferSize];
    EXPECT_EQ(ConfigGet(InvalidLink(), 0, buffer), -1);
    EXPECT_EQ(ConfigSetValue(InvalidLink(), 0, 1), -1);
    EXPECT_EQ(ConfigSetName(InvalidLink(), "X"), -1);
    EXPECT_TRUE(Bed().events.empty());
}

TEST_F(ProtocolTest, ProbeOutcomes) {
    struct Case {
        const char* what;
        const char* port;
        const char* setting; // applied to the reader model
        int result;
        int writes, reads;
    } cases[] = {
        {"version 1.1", "COM3", "", 0x11, 2, 2},
        {"version 1.2", "COM3", "version 0x12", 18, 2, 2},
        {"high bit set", "COM3", "version 0x85", -123, 2, 2},
        {"three-byte system answer", "COM3", "long-system-answer 1", -1, 1, 1},
        {"answer on the second attempt", "COM3", "delay-attempts 1", 0x11, 2, 4},
        {"answer on the third attempt", "COM3", "delay-attempts 2", -1, 1, 2},
        {"silent reader", "COM3", "silent-from 0", -1, 1, 2},
        {"silent after system", "COM3", "silent-from 1", -1, 2, 3},
        {"one-byte answers", "COM3", "answer-length 1", -1, 1, 1},
        {"over-long answers", "COM3", "answer-length 65", -1, 1, 1},
        {"wrong acknowledge", "COM3", "wrong-ack 1", -1, 1, 1},
        {"no such port", "COM4", "", -1, 0, 0},
        {"not a COM name", "CNCA3", "", -1, 0, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(ApplyModelSetting(&Reader(), c.setting), 0) << c.what;
        EXPECT_EQ(ProbeReaderVersion(c.port), c.result) << c.what;
        EXPECT_EQ(int(Bed().Writes().size()), c.writes) << c.what;
        EXPECT_EQ(Reads(), c.reads) << c.what;
        TearDown();
    }
}

TEST_F(ProtocolTest, ProbeReportsAFailedPulseAfterClosing) {
    Bed().pulseFails = true;
    EXPECT_EQ(ProbeReaderVersion("COM3"), -1);
    EXPECT_EQ(Bed().Count(kEvOpen), 1);
    EXPECT_TRUE(Bed().Writes().empty());
}

TEST_F(ProtocolTest, NameWithoutPortOpensNothing) {
    EXPECT_EQ(ReadAllSettings("COM99999999999"), -1);
    EXPECT_EQ(WriteAllSettings("USB0"), -1);
    EXPECT_EQ(ProbeReaderVersion(""), -1);
    EXPECT_TRUE(Bed().events.empty());
}

TEST_F(ProtocolTest, ReadStoresEverySettingSignExtended) {
    ASSERT_EQ(ApplyModelSetting(&Reader(), "values 1 -240 77 1 254"), 0);
    ASSERT_EQ(ApplyModelSetting(&Reader(), "name TOLVANE1"), 0);
    EXPECT_EQ(ReadAllSettings("COM3"), 0);
    EXPECT_EQ(ReaderSettings.mode, 1);
    EXPECT_EQ(ReaderSettings.frequencyCode, -240);
    EXPECT_EQ(ReaderSettings.hiddenSetting, 77);
    EXPECT_EQ(ReaderSettings.tMode, 1);
    EXPECT_EQ(ReaderSettings.egt, 254);
    EXPECT_STREQ(GetDeviceName(), "TOLVANE1");
    std::vector<Bytes> expected;
    for (int i = 0; i < 6; ++i)
        expected.push_back(GetRequest(i));
    EXPECT_EQ(Bed().Writes(), expected);
    EXPECT_EQ(Reads(), 6);
}

TEST_F(ProtocolTest, ReadTakesOneByteAnswersAsTheHighByte) {
    ASSERT_EQ(ApplyModelSetting(&Reader(), "values 5 5 5 5 5"), 0);
    ASSERT_EQ(ApplyModelSetting(&Reader(), "answer-length 1"), 0);
    Reader().values[0] = 0x0500;
    EXPECT_EQ(ReadAllSettings("COM3"), 0);
    EXPECT_EQ(ReaderSettings.mode, 1280);
    EXPECT_EQ(ReaderSettings.frequencyCode, 0);
}

TEST_F(ProtocolTest, ReadJoinsAValueWhoseBytesArriveInTwoReads) {
    ApplyModelSetting(&Reader(), "values 1 -240 300 1 254");
    ApplyModelSetting(&Reader(), "split-ms 20");
    EXPECT_EQ(ReadAllSettings("COM3"), 0);
    EXPECT_EQ(ReaderSettings.mode, 1);
    EXPECT_EQ(ReaderSettings.frequencyCode, -240);
    EXPECT_EQ(ReaderSettings.hiddenSetting, 300);
    EXPECT_EQ(ReaderSettings.egt, 254);
    EXPECT_EQ(Reads(), 5 * 2 + 1);
}

TEST_F(ProtocolTest, ReadToleratesOneUnansweredRequestOnly) {
    struct Case {
        const char* mute;
        int silentFrom, result;
        const char* name;
        int egt;
    } cases[] = {
        {"get5", -1, 0, "OLDNAME", 9}, // only the name unanswered: the old name stays
        {"get2", -1, 0, "NEW", 9},     // one number unanswered
        {"none", 4, -1, "OLDNAME", 1}, // index 4 on unanswered: what did answer is kept
        {"none", 0, -1, "OLDNAME", 1}, // nothing answered
    };
    for (const Case& c : cases) {
        SetUp();
        SetDeviceName("OLDNAME");
        ReaderSettings.egt = 1;
        ApplyModelSetting(&Reader(), "values 1 2 3 4 9");
        ApplyModelSetting(&Reader(), "name NEW");
        ASSERT_EQ(ApplyModelSetting(&Reader(), (std::string("mute ") + c.mute).c_str()), 0);
        Reader().faults.silentFrom = c.silentFrom;
        EXPECT_EQ(ReadAllSettings("COM3"), c.result) << c.mute << c.silentFrom;
        EXPECT_STREQ(GetDeviceName(), c.name) << c.mute << c.silentFrom;
        EXPECT_EQ(ReaderSettings.egt, c.egt) << c.mute << c.silentFrom;
        EXPECT_EQ(Bed().Writes().size(), 6u) << "all six requests are made";
        TearDown();
    }
}

TEST_F(ProtocolTest, ReadEndsANameThatHasNoZeroByte) {
    ApplyModelSetting(&Reader(), "name ABCDEFGH");
    ApplyModelSetting(&Reader(), "name-without-zero 1");
    EXPECT_EQ(ReadAllSettings("COM3"), 0);
    EXPECT_STREQ(GetDeviceName(), "ABCDEFGH");
}

TEST_F(ProtocolTest, WriteSendsEverySettingAfterItsOwnProbe) {
    ReaderSettings = {1, -240, 77, 1, 200, "NAME"};
    EXPECT_EQ(WriteAllSettings("COM3"), 0);
    EXPECT_EQ(Bed().Count(kEvOpen), 2);
    std::vector<Bytes> w = Bed().Writes();
    ASSERT_EQ(w.size(), 8u);
    EXPECT_EQ(w[0], B("system"));
    EXPECT_EQ(w[1], B("version"));
    EXPECT_EQ(Hex(w[3]), "43 4F 4E 46 49 47 5F 53 45 54 00 01 FF 10");
    EXPECT_EQ(w[7], Cat(B("CONFIG_SET"), Cat({0x00, 0x05}, B("NAME"))));
    EXPECT_EQ(Reader().values[1], -240);
    EXPECT_EQ(Reader().values[4], 200);
    EXPECT_STREQ(Reader().name, "NAME");
}

TEST_F(ProtocolTest, WriteRefusesAnOldReaderBeforeAnySet) {
    for (const char* version : {"version 0x10", "version 0x0F", "version 0x80"}) {
        SetUp();
        ApplyModelSetting(&Reader(), version);
        EXPECT_EQ(WriteAllSettings("COM3"), -1) << version;
        EXPECT_EQ(Bed().Writes().size(), 2u) << version;
        EXPECT_EQ(Bed().Count(kEvOpen), 1) << version;
        TearDown();
    }
}

TEST_F(ProtocolTest, SetAnsweredWithAWrongAcknowledgeFailsAfterTenAttempts) {
    ApplyModelSetting(&Reader(), "wrong-ack 1");
    SerialLink link = ConnectReader("COM3");
    EXPECT_EQ(ConfigSetValue(link, 0, 1), -1);
    EXPECT_EQ(Reads(), 10) << "the wrong answer uses up the first attempt";
    CloseLink(link);
}

TEST_F(ProtocolTest, WriteNeedsEverySetAcknowledged) {
    for (const char* mute : {"set0", "set3", "set5"}) {
        SetUp();
        ApplyModelSetting(&Reader(), (std::string("mute ") + mute).c_str());
        EXPECT_EQ(WriteAllSettings("COM3"), -1) << mute;
        EXPECT_EQ(Bed().Writes().size(), 2u + 6u) << mute;
        TearDown();
    }
}

// The reader falls silent from request k on, for every k of a Load and of a Save.
TEST_F(ProtocolTest, SilentFromEveryRequestInTurn) {
    for (int k = 0; k <= 10; ++k) {
        SetUp();
        Reader().faults.silentFrom = k;
        int version = ProbeReaderVersion("COM3");
        int read = version >= kLowestUsableVersion ? ReadAllSettings("COM3") : -1;
        // Load: system, version, then six CONFIG_GET; the name alone may go unanswered.
        EXPECT_EQ(version, k >= 2 ? 0x11 : -1) << k;
        EXPECT_EQ(read, k >= 7 ? 0 : -1) << k;
        TearDown();

        SetUp();
        Reader().faults.silentFrom = k;
        // Save: system, version, then six CONFIG_SET, all needed and all sent.
        EXPECT_EQ(WriteAllSettings("COM3"), k >= 8 ? 0 : -1) << k;
        EXPECT_EQ(Bed().Writes().size(), k == 0 ? 1u : k == 1 ? 2u : 8u) << k;
        TearDown();
    }
}
