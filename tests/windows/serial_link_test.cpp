// The serial link on a real (virtual) serial line under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "serial/serial_link.h"
#include "tests/windows/bed.h"

static int ReaderPortNumber() {
    return std::atoi(ReaderPort().c_str() + 3);
}

class SerialLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetReader("");
        mark = UnixNow();
    }
    void TearDown() override {
        if (LinkIsOpen(link)) CloseLink(link);
    }
    // Opened and set up as a transaction does, talking at 4800 baud.
    void Connect() {
        link = OpenReaderPort(ReaderPortNumber());
        ASSERT_TRUE(LinkIsOpen(link));
        ASSERT_TRUE(ConfigureLine(link, kTalkBaudRate));
        ASSERT_TRUE(PulseRts(link));
    }
    SerialLink link = InvalidLink();
    double mark = 0;
};

TEST_F(SerialLinkTest, PortsThatDoNotExistGiveTheInvalidLink) {
    for (int n : {0, 77, 255, -1})
        EXPECT_FALSE(LinkIsOpen(OpenReaderPort(n))) << n;
}

TEST_F(SerialLinkTest, AHeldPortCannotBeOpenedAgain) {
    Connect();
    SerialLink second = OpenReaderPort(ReaderPortNumber());
    EXPECT_FALSE(LinkIsOpen(second));
    CloseLink(second);
    CloseLink(link);
    link = OpenReaderPort(ReaderPortNumber());
    EXPECT_TRUE(LinkIsOpen(link)) << "closing frees the port";
}

TEST_F(SerialLinkTest, ClosingALinkThatNeverOpenedDoesNothing) {
    CloseLink(InvalidLink());
    Connect(); // the port is still there to be opened
}

TEST_F(SerialLinkTest, SilentReadReturnsNothingAfterTheTimeout) {
    SetReader("silent-from 0");
    Connect();
    std::vector<double> times;
    unsigned char buffer[kReadChunkSize];
    for (int i = 0; i < 5; ++i) {
        double start = Seconds();
        EXPECT_EQ(ReadChunk(link, buffer), 0);
        times.push_back(Seconds() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("silent read: median %.1f ms (min %.1f, max %.1f)\n", times[2] * 1e3,
                times[0] * 1e3, times[4] * 1e3);
    EXPECT_GT(times[2], 0.060); // 30 ms + 64 x 1 ms
    EXPECT_LT(times[2], 0.500);
}

TEST_F(SerialLinkTest, ReadEndsShortlyAfterTheLastByte) {
    Connect();
    const unsigned char system[] = {'s', 'y', 's', 't', 'e', 'm'};
    ASSERT_EQ(WriteAll(link, system, 6), 6);
    unsigned char buffer[kReadChunkSize] = {0};
    double start = Seconds();
    ASSERT_EQ(ReadChunk(link, buffer), 2);
    double returned = UnixNow();
    double took = Seconds() - start;
    EXPECT_EQ(buffer[0], 0x99);
    ASSERT_TRUE(WaitForEvents(mark, "answer", 1));
    double answered = 0;
    for (const TranscriptEvent& e : TranscriptSince(mark))
        if (e.kind == "answer") answered = e.time;
    std::printf("two-byte answer: read returned %.1f ms after the bytes were sent (read %.1f ms)\n",
                (returned - answered) * 1e3, took * 1e3);
    EXPECT_LT(returned - answered, 0.080);
    EXPECT_LT(took, 0.090) << "the read must not wait for its full time-out";
}

TEST_F(SerialLinkTest, LineIsSetTo4800EightNoneOneWithOneRtsPulse) {
    Connect();
    const unsigned char version[] = {'v', 'e', 'r', 's', 'i', 'o', 'n'};
    ASSERT_EQ(WriteAll(link, version, 7), 7);
    unsigned char buffer[kReadChunkSize];
    EXPECT_EQ(ReadChunk(link, buffer), 2);
    CloseLink(link);
    link = InvalidLink();
    ASSERT_TRUE(WaitForEvents(mark, "close", 1));
    std::vector<TranscriptEvent> t = TranscriptSince(mark);
    std::string rts;
    for (const TranscriptEvent& e : t) {
        if (e.kind == "rts") rts += e.rest.substr(0, 1);
        if (e.kind == "request") {
            EXPECT_NE(e.rest.find("line=4800-8N1"), std::string::npos);
        }
    }
    EXPECT_EQ(rts, "01") << "low, then high";
    EXPECT_EQ(CountEvents(t, "open"), 1);
    EXPECT_EQ(CountEvents(t, "request"), 1);
}

TEST_F(SerialLinkTest, AtTheSetupRateTheReaderHearsNoise) {
    link = OpenReaderPort(ReaderPortNumber());
    ASSERT_TRUE(LinkIsOpen(link));
    const unsigned char version[] = {'v', 'e', 'r', 's', 'i', 'o', 'n'};
    ASSERT_EQ(WriteAll(link, version, 7), 7);
    unsigned char buffer[kReadChunkSize];
    EXPECT_EQ(ReadChunk(link, buffer), 0);
    ASSERT_TRUE(WaitForEvents(mark, "request", 1));
    EXPECT_NE(Transcript().back().rest.find("line=115200-8N1"), std::string::npos);
}

TEST_F(SerialLinkTest, AWriteThatMovesNothingFailsInsteadOfTryingForEver) {
    Connect();
    const unsigned char version[] = {'v', 'e', 'r', 's', 'i', 'o', 'n'};
    int result = 0;
    double took = 0;
    {
        StalledWrites stalled;
        RunWithin(10000, [&] {
            double start = Seconds();
            result = WriteAll(link, version, 7);
            took = Seconds() - start;
        });
    }
    std::printf("stalled write: failed after %.1f ms\n", took * 1e3);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(CountEvents(TranscriptSince(mark), "request"), 0);
    // Once the line moves again, so does the link.
    ASSERT_EQ(WriteAll(link, version, 7), 7);
    unsigned char buffer[kReadChunkSize];
    EXPECT_EQ(ReadChunk(link, buffer), 2);
}
