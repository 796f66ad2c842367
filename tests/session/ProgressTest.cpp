#include "Progress.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

class TEventCatcher : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != WM_POP3WORK)
            return QObject::event(e);
        const auto* work = static_cast<TPop3WorkEvent*>(e);
        Received.push_back({work->WParam, work->LParam});
        return true;
    }

    std::vector<std::pair<int32_t, int32_t>> Received;
};

class ProgressTest : public ::testing::Test {
protected:
    void TearDown() override { SetWorkListener({}); }
};

} // namespace

TEST_F(ProgressTest, NothingInstalledMeansNothingHappens)
{
    SetWorkListener({});
    NotifyWork(10);
    ProcessPendingEvents();
}

TEST_F(ProgressTest, ALineByLineFloodReachesTheListenerAtAModestRate)
{
    std::vector<int32_t> heard;
    SetWorkListener([&](int32_t count) { heard.push_back(count); });
    const auto start = std::chrono::steady_clock::now();
    int32_t total = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(4 * NotifyIntervalMs + 10)) {
        total += 78;
        NotifyWork(total);
    }
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), 78);  // the first notification is heard at once
    EXPECT_LE(heard.size(), 6u);
    for (size_t i = 1; i < heard.size(); ++i)
        EXPECT_GT(heard[i], heard[i - 1]);
}

TEST_F(ProgressTest, TheMainWindowListenerPostsTheWorkEventAndLetsItRun)
{
    TEventCatcher window;
    SetWorkListener(PostingTo(&window));
    NotifyWork(4711);
    ASSERT_EQ(window.Received.size(), 1u);
    EXPECT_EQ(window.Received[0], std::make_pair(1, 4711));
}
