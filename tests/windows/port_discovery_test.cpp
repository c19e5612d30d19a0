// Port discovery against the test prefix's registry and a real combo box.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "serial/port_discovery.h"
#include "tests/windows/serialcomm.h"

using Values = std::vector<SerialCommValue>;
using Texts = std::vector<std::string>;

class PortDiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(PortTable, 0, sizeof PortTable);
        LastSeenPortCount = 0;
        window = CreateWindowA("STATIC", "ports", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                               nullptr, nullptr);
        list = CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 100,
                             100, window, nullptr, nullptr, nullptr);
        ASSERT_TRUE(list);
    }
    void TearDown() override { DestroyWindow(window); }

    static Values Ports(std::vector<std::pair<std::string, std::string>> pairs) {
        Values values;
        for (auto& p : pairs)
            values.push_back({p.first, p.second, REG_SZ});
        return values;
    }
    Texts ListTexts() {
        Texts texts;
        int count = int(SendMessageA(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[256] = {0};
            SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
        }
        return texts;
    }
    int Selection() { return int(SendMessageA(list, CB_GETCURSEL, 0, 0)); }
    // The list, the table and the count must tell the same story.
    void ExpectListed(const Texts& texts, int selection) {
        EXPECT_EQ(ListTexts(), texts);
        EXPECT_EQ(Selection(), selection);
        EXPECT_EQ(LastSeenPortCount, int(texts.size()));
        for (size_t i = 0; i < texts.size() && i < kPortTableRows; ++i)
            EXPECT_EQ(PortTable[i].portName, texts[i]) << i;
        for (size_t i = texts.size(); i < kPortTableRows; ++i)
            EXPECT_EQ(PortTable[i].valueName[0], 0) << "row " << i << " must be free";
    }

    HWND window = nullptr, list = nullptr;
};

// Wine keeps a key's values sorted by name, so the names here sort in the order
// the ports are meant to be listed.
const auto kThree = std::vector<std::pair<std::string, std::string>>{
    {"\\Device\\Serial0", "COM3"}, {"\\Device\\Serial1", "COM4"}, {"\\Device\\VCP0", "COM7"}};

TEST_F(PortDiscoveryTest, FirstRefreshListsThePortsInRegistryOrder) {
    ASSERT_TRUE(SetSerialComm(Ports(kThree)));
    EXPECT_EQ(RefreshPortList(list), 1);
    ExpectListed({"COM3", "COM4", "COM7"}, 0);
    EXPECT_STREQ(PortTable[2].valueName, "\\Device\\VCP0");
    EXPECT_STREQ(SelectedPortName(list), "COM3");
}

TEST_F(PortDiscoveryTest, NoChangeKeepsTheUsersSelection) {
    ASSERT_TRUE(SetSerialComm(Ports(kThree)));
    RefreshPortList(list);
    SendMessageA(list, CB_SETCURSEL, 2, 0);
    EXPECT_EQ(RefreshPortList(list), -1);
    ExpectListed({"COM3", "COM4", "COM7"}, 2);
    EXPECT_STREQ(SelectedPortName(list), "COM7");
}

TEST_F(PortDiscoveryTest, ChangesRebuildTheListAndSelectTheFirstEntry) {
    struct Step {
        const char* what;
        std::vector<std::pair<std::string, std::string>> ports;
        int result;
        Texts listed;
    } steps[] = {
        {"three at first", kThree, 1, {"COM3", "COM4", "COM7"}},
        {"one removed", {kThree[0], kThree[2]}, 0, {"COM3", "COM7"}},
        {"one replaced", {kThree[0], {"\\Device\\Serial9", "COM9"}}, 0, {"COM3", "COM9"}},
        {"same name, other port",
         {kThree[0], {"\\Device\\Serial9", "COM10"}},
         0,
         {"COM3", "COM10"}},
        {"same ports, other order",
         {{"\\Device\\Serial0", "COM10"}, {"\\Device\\Serial9", "COM3"}},
         0,
         {"COM10", "COM3"}},
        {"three added",
         {{"\\Device\\Serial0", "COM10"},
          {"\\Device\\Serial9", "COM3"},
          {"\\Device\\VCP0", "COM4"},
          {"\\Device\\VCP1", "COM7"},
          {"\\Device\\VCP2", "CNCA0"}},
         1,
         {"COM10", "COM3", "COM4", "COM7", "CNCA0"}},
        {"all gone", {}, 0, {}},
        {"still none", {}, -1, {}},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(SetSerialComm(Ports(s.ports))) << s.what;
        SendMessageA(list, CB_SETCURSEL, SendMessageA(list, CB_GETCOUNT, 0, 0) - 1, 0);
        EXPECT_EQ(RefreshPortList(list), s.result) << s.what;
        ExpectListed(s.listed, s.listed.empty() ? -1 : 0);
    }
}

TEST_F(PortDiscoveryTest, NoPortsAtTheFirstRefreshLeavesTheListEmpty) {
    ASSERT_TRUE(SetSerialComm({}));
    EXPECT_EQ(RefreshPortList(list), -1);
    ExpectListed({}, -1);
    EXPECT_EQ(SelectedPortName(list), nullptr);
}

// Values that cannot be listed whole are skipped, and the change test skips them
// the same way, so an unchanged registry never takes away the user's choice.
TEST_F(PortDiscoveryTest, UnusableValuesAreSkippedNeverShortened) {
    std::string zeroless = "COM8";
    Values values = {
        {"\\Device\\Serial0", std::string("COM3") + '\0', REG_SZ},
        {std::string(32, 'N'), std::string("COM11") + '\0', REG_SZ}, // name longer than a row
        {std::string(45, 'L'), std::string("COM12") + '\0', REG_SZ}, // name longer than the buffer
        {"\\Device\\Long", std::string(20, 'C') + '\0', REG_SZ},     // data longer than the buffer
        {"\\Device\\Twenty", std::string(20, 'D'), REG_SZ},          // no zero, buffer full
        {"\\Device\\Zeroless", zeroless, REG_SZ},                    // no zero, but room for one
        {"\\Device\\Number", std::string("\x05\0\0\0", 4), REG_DWORD}, // not text
        {std::string(31, 'K'), std::string(18, 'P') + '\0', REG_SZ},   // as long as fits
    };
    ASSERT_TRUE(SetSerialComm({}));
    for (const SerialCommValue& v : values)
        ASSERT_TRUE(AddSerialComm(v)) << v.name;
    EXPECT_EQ(RefreshPortList(list), 1);
    Texts listed = ListTexts();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Texts{"COM3", "COM8", std::string(18, 'P')}));
    EXPECT_EQ(LastSeenPortCount, 3);
    SendMessageA(list, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(RefreshPortList(list), -1);
    EXPECT_EQ(Selection(), 1);
}

TEST_F(PortDiscoveryTest, MoreValuesThanRowsListOnlyWhatTheTableHolds) {
    Values values;
    for (int i = 0; i < 130; ++i)
        values.push_back({"\\Device\\Serial" +
                              std::string(i < 10    ? "00"
                                          : i < 100 ? "0"
                                                    : "") +
                              std::to_string(i),
                          "COM" + std::to_string(i + 1), REG_SZ});
    ASSERT_TRUE(SetSerialComm(values));
    EXPECT_EQ(RefreshPortList(list), 1);
    Texts listed = ListTexts();
    ASSERT_EQ(listed.size(), size_t(kPortTableRows));
    EXPECT_EQ(listed.back(), "COM128");
    EXPECT_EQ(LastSeenPortCount, kPortTableRows);
    SendMessageA(list, CB_SETCURSEL, 127, 0);
    EXPECT_EQ(RefreshPortList(list), -1) << "an unchanged registry changes nothing";
    EXPECT_STREQ(SelectedPortName(list), "COM128");
    // A list entry past the table cannot come about, and would name no port.
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("COM999"));
    SendMessageA(list, CB_SETCURSEL, 128, 0);
    EXPECT_EQ(SelectedPortName(list), nullptr);
}
