#include <gtest/gtest.h>

#include <string>

#include "tools/readersim/reader_model.h"

static Frame FrameOf(const std::string& bytes, bool pause) {
    return FrameRequest(reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()), pause);
}

TEST(ReaderModelFraming, FindsTheEndOfEachRequest) {
    using namespace std::string_literals;
    struct Case {
        std::string bytes;
        bool pause;
        FrameStatus status;
        int length, kind;
    } cases[] = {
        {"sys", false, kFrameNeedMore, 0, kRequestNone},
        {"system", false, kFrameComplete, 6, kRequestSystem},
        {"systemversion", false, kFrameComplete, 6, kRequestSystem},
        {"version", false, kFrameComplete, 7, kRequestVersion},
        {"CONFIG_", false, kFrameNeedMore, 0, kRequestNone},
        {"CONFIG_GET\0\3"s, false, kFrameComplete, 12, kRequestGet0 + 3},
        {"CONFIG_GET\0\x09"s, false, kFrameComplete, 12, kRequestNone},
        {"CONFIG_SET\0\1\0"s, false, kFrameNeedMore, 0, kRequestNone},
        {"CONFIG_SET\0\1\0\x12"s, false, kFrameComplete, 14, kRequestSet0 + 1},
        {"CONFIG_SET\0\5ABCD"s, false, kFrameNeedMore, 0, kRequestNone},
        {"CONFIG_SET\0\5ABCD"s, true, kFrameComplete, 16, kRequestSet0 + 5},
        {"CONFIG_GETx\1"s, false, kFrameGarbage, 1, kRequestNone},
        {"xsystem", false, kFrameGarbage, 1, kRequestNone},
        {"sys", true, kFrameGarbage, 3, kRequestNone},
    };
    for (const Case& c : cases) {
        Frame f = FrameOf(c.bytes, c.pause);
        EXPECT_EQ(f.status, c.status) << c.bytes;
        EXPECT_EQ(f.length, c.length) << c.bytes;
        EXPECT_EQ(f.kind, c.kind) << c.bytes;
    }
}

TEST(ReaderModelSettings, ReadsBackWhatItWrites) {
    ReaderModel a, b;
    ResetReaderModel(&a, 0x11);
    ResetReaderModel(&b, 0x11);
    ASSERT_EQ(ApplyModelSetting(&a, "values 1 -240 7 1 254"), 0);
    ASSERT_EQ(ApplyModelSetting(&a, "name DESK 1"), 0);
    char text[256];
    FormatModelSettings(&a, text, sizeof text);
    for (char* line = text; *line;) {
        char* end = line + std::string(line).find('\n');
        *end = 0;
        ASSERT_EQ(ApplyModelSetting(&b, line), 0) << line;
        line = end + 1;
    }
    EXPECT_EQ(b.values[1], -240);
    EXPECT_EQ(b.values[4], 254);
    EXPECT_STREQ(b.name, "DESK 1");
    EXPECT_EQ(ApplyModelSetting(&b, "mute get5"), 0);
    EXPECT_EQ(b.faults.muteKind, kRequestGet0 + 5);
    EXPECT_EQ(ApplyModelSetting(&b, "version 0x10"), 0);
    EXPECT_EQ(b.version, 0x10);
    EXPECT_EQ(ApplyModelSetting(&b, "mute nothing"), -1);
    EXPECT_EQ(ApplyModelSetting(&b, "frobnicate 3"), -1);
    EXPECT_EQ(ApplyModelSetting(&b, "values 1 2"), -1);
}
