// The monitor list in the settings store: saving closes the port and writes whole arrays;
// loading, with a KVR 100 attached, offers to drop other channels.
#include <gtest/gtest.h>

#include "base/Registry.h"
#include "base/Settings.h"
#include "document/MonitorStore.h"
#include "support/SimDocument.h"

namespace kvr {
namespace {

class MonitorStoreTest : public test::SimDocumentTest {
  protected:
    void SetUp() override { StartUnits(); }
    // Stores a list as an earlier run would have left it.
    void Store(std::vector<std::pair<uint8_t, uint8_t>> monitors) {  // (channel, entity)
        MonitorBytes entities{}, channels{};
        for (size_t i = 0; i < monitors.size(); ++i) {
            channels[i] = monitors[i].first;
            entities[i] = monitors[i].second;
        }
        ASSERT_TRUE(WriteMonitorList(static_cast<uint16_t>(monitors.size()), entities, channels));
    }
    std::vector<std::pair<int, int>> DocList() const {
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < doc.Monitors().count; ++i) {
            out.emplace_back(doc.Monitors().channels[i], doc.Monitors().entities[i]);
        }
        return out;
    }
};

TEST_F(MonitorStoreTest, SaveClosesThePortAndWritesAllSixtyBytes) {
    ASSERT_TRUE(doc.Port().EnsureOpen());
    doc.Monitors().count = 0;
    doc.Monitors().entities[59] = 7;  // beyond the count, still written
    doc.Monitors().channels[0] = 3;
    SaveMonitors(doc);
    EXPECT_FALSE(doc.Port().IsOpen());

    auto values = ListStoredValues(RegRoot::CurrentUser, kKeyPreferences);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, kValMonitorCount);
    EXPECT_EQ(values[0].dword, 0u);
    EXPECT_EQ(values[1].name, kValMonitorEntities);
    ASSERT_EQ(values[1].bytes.size(), 60u);
    EXPECT_EQ(values[1].bytes[59], 7);
    EXPECT_EQ(values[2].name, kValMonitorChannels);
    ASSERT_EQ(values[2].bytes.size(), 60u);
    EXPECT_EQ(values[2].bytes[0], 3);
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(MonitorStoreTest, Kvr100OffersToDropOtherChannelsKeepingTheOrder) {
    const std::vector<std::pair<uint8_t, uint8_t>> stored = {
        {0, 1}, {3, 3}, {0, 2}, {1, 6}, {0, 7}};
    Store(stored);
    doc.SetChannels(1);
    user.answers = {MsgAnswer::Yes};
    LoadMonitors(doc);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, kKvr300MonitorsQuestion);
    EXPECT_EQ(user.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(user.messages[0].title, kAppTitle);
    EXPECT_EQ(DocList(), (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 7}}));

    user.answers = {MsgAnswer::No};
    LoadMonitors(doc);
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(DocList(),
              (std::vector<std::pair<int, int>>{{0, 1}, {3, 3}, {0, 2}, {1, 6}, {0, 7}}));
}

}  // namespace
}  // namespace kvr
