#pragma once
// The base of every connection-layer component: status and work events. Creating the
// first component creates GlobalStack; destroying the last one frees it.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

enum TIdStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted,
};

enum TWorkMode { wmRead = 0, wmWrite = 1 };

class TIdComponent;

using TIdStatusEvent = std::function<void(TIdComponent* ASender, TIdStatus AStatus, const std::string& AStatusText)>;
using TWorkEvent = std::function<void(TIdComponent* Sender, TWorkMode AWorkMode, int32_t AWorkCount)>;
using TWorkBeginEvent = std::function<void(TIdComponent* Sender, TWorkMode AWorkMode, int32_t AWorkCountMax)>;
using TWorkEndEvent = std::function<void(TIdComponent* Sender, TWorkMode AWorkMode)>;
using TIdNotifyEvent = std::function<void(TIdComponent* Sender)>;

// Indexed by TIdStatus; "%s" stands for the status argument.
extern const std::array<const char*, 9> StatusTexts;

class TIdComponent {
public:
    TIdComponent();
    TIdComponent(const TIdComponent&) = delete;
    TIdComponent& operator=(const TIdComponent&) = delete;
    virtual ~TIdComponent();

    // Fires OnStatus, when assigned, with the status text filled with the argument.
    void ReportStatus(TIdStatus status, const std::string& argument = "");

    // Work spans nest; only the outermost StartWork/FinishWork fire OnWorkBegin/OnWorkEnd,
    // and OnWork reports the running total since the span began.
    virtual void StartWork(TWorkMode mode, int32_t maximum = 0);
    virtual void AddWork(TWorkMode mode, int32_t count);
    virtual void FinishWork(TWorkMode mode);

    TIdStatusEvent OnStatus;
    TWorkEvent OnWork;
    TWorkBeginEvent OnWorkBegin;
    TWorkEndEvent OnWorkEnd;

private:
    struct WorkSpan {
        int32_t Level = 0;
        int32_t Maximum = 0;
        int32_t Total = 0;
    };
    std::array<WorkSpan, 2> FWorkSpans;
};
