#include "IdComponent.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

TEST(ReportStatus, FillsTheStatusTextWithTheArgument)
{
    TIdComponent component;
    std::vector<std::string> texts;
    component.OnStatus = [&](TIdComponent* sender, TIdStatus, const std::string& text) {
        EXPECT_EQ(sender, &component);
        texts.push_back(text);
    };
    component.ReportStatus(hsResolving, "mail.example.com");
    component.ReportStatus(hsConnecting, "10.0.0.1");
    component.ReportStatus(hsConnected, "mail.example.com");
    component.ReportStatus(hsDisconnecting);
    component.ReportStatus(hsDisconnected);
    component.ReportStatus(hsStatusText, "free text");
    EXPECT_EQ(texts, (std::vector<std::string>{"Resolving hostname mail.example.com.", "Connecting to 10.0.0.1.",
                                               "Connected.", "Disconnecting.", "Disconnected.", "free text"}));
}

TEST(ReportStatus, WithoutHandlerDoesNothing)
{
    TIdComponent component;
    component.ReportStatus(hsConnected);
}

struct WorkRecorder {
    explicit WorkRecorder(TIdComponent& component)
    {
        component.OnWorkBegin = [this](TIdComponent*, TWorkMode, int32_t max) { Events.push_back("begin " + std::to_string(max)); };
        component.OnWork = [this](TIdComponent*, TWorkMode mode, int32_t count) {
            Events.push_back((mode == wmRead ? "read " : "write ") + std::to_string(count));
        };
        component.OnWorkEnd = [this](TIdComponent*, TWorkMode) { Events.push_back("end"); };
    }
    std::vector<std::string> Events;
};

TEST(Work, ReportsTheRunningTotalOfTheSpan)
{
    TIdComponent component;
    WorkRecorder recorder(component);
    component.StartWork(wmRead, 100);
    component.AddWork(wmRead, 10);
    component.AddWork(wmRead, 20);
    component.AddWork(wmRead, 5);
    component.FinishWork(wmRead);
    EXPECT_EQ(recorder.Events, (std::vector<std::string>{"begin 100", "read 10", "read 30", "read 35", "end"}));
}

TEST(Work, OutsideASpanFiresNothing)
{
    TIdComponent component;
    WorkRecorder recorder(component);
    component.AddWork(wmRead, 10);
    component.AddWork(wmWrite, 10);
    component.StartWork(wmRead);
    component.AddWork(wmWrite, 10);
    EXPECT_EQ(recorder.Events, (std::vector<std::string>{"begin 0"}));
}

TEST(Work, NestedSpansFireBeginAndEndOnceAndRestartTheTotal)
{
    TIdComponent component;
    WorkRecorder recorder(component);
    component.StartWork(wmRead);
    component.StartWork(wmRead, 7);
    component.AddWork(wmRead, 3);
    component.FinishWork(wmRead);
    component.AddWork(wmRead, 4);
    component.FinishWork(wmRead);
    component.FinishWork(wmRead); // one too many: no event, no harm
    component.StartWork(wmRead);
    component.AddWork(wmRead, 1);
    component.FinishWork(wmRead);
    EXPECT_EQ(recorder.Events,
              (std::vector<std::string>{"begin 0", "read 3", "read 7", "end", "begin 0", "read 1", "end"}));
}

TEST(Work, TotalStopsAtTheTopInsteadOfWrapping)
{
    TIdComponent component;
    int32_t last = 0;
    component.OnWork = [&](TIdComponent*, TWorkMode, int32_t count) { last = count; };
    component.StartWork(wmRead);
    component.AddWork(wmRead, INT32_MAX);
    component.AddWork(wmRead, 10);
    EXPECT_EQ(last, INT32_MAX);
}
