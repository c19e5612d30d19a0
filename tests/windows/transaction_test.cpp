// The three transactions end to end: the Windows serial link, a real line, the
// virtual reader, and what reached it byte for byte.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "reader/protocol.h"
#include "reader/settings.h"
#include "tests/windows/bed.h"

using namespace std::string_literals;

class TransactionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(&ReaderSettings, 0, sizeof ReaderSettings);
        port = ReaderPort();
        start = UnixNow();
    }
    // Events since the test began, once every open has its close.
    std::vector<TranscriptEvent> Events() {
        for (int i = 0; i < 100; ++i) {
            std::vector<TranscriptEvent> mine = TranscriptSince(start);
            if (CountEvents(mine, "open") == CountEvents(mine, "close")) return mine;
            Sleep(10);
        }
        ADD_FAILURE() << "a connection was left open";
        return {};
    }
    std::vector<std::string> Requests() {
        std::vector<std::string> requests;
        for (const TranscriptEvent& e : Events())
            if (e.kind == "request") requests.push_back(e.rest.substr(0, e.rest.find(" line=")));
        return requests;
    }
    std::string port;
    double start = 0;
};

static std::string Get(int index) {
    return HexOf("CONFIG_GET\0"s + char(index));
}

TEST_F(TransactionTest, LoadOpensTwiceAndReadsEverySetting) {
    SetReader("values 1 13 5 1 42\nname DOOR-A");
    ASSERT_EQ(ProbeReaderVersion(port.c_str()), 0x11);
    ASSERT_EQ(ReadAllSettings(port.c_str()), 0);
    EXPECT_EQ(ReaderSettings.mode, 1);
    EXPECT_EQ(ReaderSettings.frequencyCode, 13);
    EXPECT_EQ(ReaderSettings.hiddenSetting, 5);
    EXPECT_EQ(ReaderSettings.tMode, 1);
    EXPECT_EQ(ReaderSettings.egt, 42);
    EXPECT_STREQ(GetDeviceName(), "DOOR-A");
    std::vector<std::string> expected = {HexOf("system"), HexOf("version")};
    for (int i = 0; i < 6; ++i)
        expected.push_back(Get(i));
    EXPECT_EQ(Requests(), expected);

    // Per connection: open, RTS low then high, requests at 4800 8N1, close.
    std::vector<TranscriptEvent> events = Events();
    EXPECT_EQ(CountEvents(events, "open"), 2);
    std::string rts;
    for (const TranscriptEvent& e : events) {
        if (e.kind == "open" || e.kind == "close") rts += e.kind[0];
        if (e.kind == "rts") rts += e.rest[0];
        if (e.kind == "request") {
            EXPECT_NE(e.rest.find("line=4800-8N1"), std::string::npos);
        }
    }
    EXPECT_EQ(rts, "o01co01c");
}

TEST_F(TransactionTest, SaveOpensTwiceAndSendsEverySetting) {
    SetReader("values 0 0 0 0 0\nname OLD");
    ReaderSettings = {1, -240, 77, 0, 200, "NEWNAME"};
    ASSERT_EQ(WriteAllSettings(port.c_str()), 0);
    std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(requests[0], HexOf("system"));
    EXPECT_EQ(requests[1], HexOf("version"));
    EXPECT_EQ(requests[3], "43 4F 4E 46 49 47 5F 53 45 54 00 01 FF 10");
    EXPECT_EQ(requests[7], HexOf("CONFIG_SET\0\5NEWNAME"s));
    EXPECT_EQ(CountEvents(Events(), "open"), 2);

    std::memset(&ReaderSettings, 0, sizeof ReaderSettings);
    ASSERT_EQ(ReadAllSettings(port.c_str()), 0) << "the reader keeps what was saved";
    EXPECT_EQ(ReaderSettings.frequencyCode, -240);
    EXPECT_EQ(ReaderSettings.egt, 200);
    EXPECT_STREQ(GetDeviceName(), "NEWNAME");
}

TEST_F(TransactionTest, ProbeOnARealLine) {
    struct Case {
        const char* reader;
        int result, requests;
        double atMost; // seconds, generous for a shared machine
    } cases[] = {
        {"version 0x12", 18, 2, 1.0},         {"version 0x85", -123, 2, 1.0},
        {"delay-attempts 1", 0x11, 2, 1.5},   // each answer on the second attempt
        {"long-system-answer 1", -1, 1, 1.0}, // three bytes arrive as one read
        {"answer-length 70", -1, 1, 1.0},     // more than one chunk
        {"silent-from 0", -1, 1, 1.5},        // two silent attempts, about 0.19 s
        {"wrong-ack 1", -1, 1, 1.0},
    };
    for (const Case& c : cases) {
        SetReader(c.reader);
        start = UnixNow();
        double t0 = Seconds();
        EXPECT_EQ(ProbeReaderVersion(port.c_str()), c.result) << c.reader;
        double took = Seconds() - t0;
        EXPECT_LT(took, c.atMost) << c.reader;
        EXPECT_EQ(int(Requests().size()), c.requests) << c.reader;
        if (std::string(c.reader) == "silent-from 0")
            std::printf("probe with no reader: %.0f ms\n", took * 1e3);
    }
}

TEST_F(TransactionTest, LoadWithTheNameUnansweredKeepsTheOldName) {
    SetReader("values 1 18 0 0 3\nname NEW\nmute get5");
    SetDeviceName("KEPT");
    EXPECT_EQ(ReadAllSettings(port.c_str()), 0);
    EXPECT_STREQ(GetDeviceName(), "KEPT");
    EXPECT_EQ(ReaderSettings.egt, 3);
}

TEST_F(TransactionTest, SaveToAnOldReaderSendsNoSet) {
    SetReader("version 0x10");
    EXPECT_EQ(WriteAllSettings(port.c_str()), -1);
    EXPECT_EQ(Requests(), (std::vector<std::string>{HexOf("system"), HexOf("version")}));
}

TEST_F(TransactionTest, NamesThatAreNoComPortOpenNothing) {
    for (const char* name : {"CNCA0", "", "COM99999999999", "COM"}) {
        EXPECT_EQ(ProbeReaderVersion(name), -1) << name;
        EXPECT_EQ(ReadAllSettings(name), -1) << name;
        EXPECT_EQ(WriteAllSettings(name), -1) << name;
    }
    Sleep(50);
    EXPECT_TRUE(Events().empty());
}

TEST_F(TransactionTest, StalledOutputFailsEveryTransactionAndFreesThePort) {
    SetReader("values 1 13 5 1 42\nname DOOR-A");
    int probe = 0, load = 0, save = 0;
    {
        StalledWrites stalled;
        RunWithin(20000, [&] {
            probe = ProbeReaderVersion(port.c_str());
            load = ReadAllSettings(port.c_str());
            save = WriteAllSettings(port.c_str());
        });
    }
    EXPECT_EQ(probe, -1);
    EXPECT_EQ(load, -1);
    EXPECT_EQ(save, -1);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(ProbeReaderVersion(port.c_str()), 0x11) << "the port is free again";
}
