#include "IdComponent.h"

#include "IdStackWindows.h"

#include <algorithm>
#include <climits>
#include <mutex>

const std::array<const char*, 9> StatusTexts = {
    "Resolving hostname %s.", "Connecting to %s.", "Connected.", "Disconnecting.", "Disconnected.",
    "%s", "%s", "%s", "%s",
};

namespace {

std::mutex StackLock;
int ComponentCount = 0;

std::string FormatStatus(std::string text, const std::string& argument)
{
    size_t place = text.find("%s");
    if (place != std::string::npos)
        text.replace(place, 2, argument);
    return text;
}

} // namespace

TIdComponent::TIdComponent()
{
    std::lock_guard<std::mutex> lock(StackLock);
    if (ComponentCount == 0)
        GlobalStack = new TIdStackWindows();
    ++ComponentCount;
}

TIdComponent::~TIdComponent()
{
    std::lock_guard<std::mutex> lock(StackLock);
    if (--ComponentCount == 0) {
        delete GlobalStack;
        GlobalStack = nullptr;
    }
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string& argument)
{
    if (OnStatus)
        OnStatus(this, status, FormatStatus(StatusTexts[status], argument));
}

void TIdComponent::StartWork(TWorkMode mode, int32_t maximum)
{
    WorkSpan& span = FWorkSpans[mode];
    if (++span.Level != 1)
        return;
    span.Maximum = maximum;
    span.Total = 0;
    if (OnWorkBegin)
        OnWorkBegin(this, mode, maximum);
}

void TIdComponent::AddWork(TWorkMode mode, int32_t count)
{
    WorkSpan& span = FWorkSpans[mode];
    if (span.Level < 1)
        return;
    // A body of more than 2 GB stops the count at its top instead of wrapping.
    span.Total = static_cast<int32_t>(std::clamp<int64_t>(int64_t(span.Total) + count, INT32_MIN, INT32_MAX));
    if (OnWork)
        OnWork(this, mode, span.Total);
}

void TIdComponent::FinishWork(TWorkMode mode)
{
    WorkSpan& span = FWorkSpans[mode];
    if (span.Level == 1 && OnWorkEnd)
        OnWorkEnd(this, mode);
    if (span.Level > 0)
        --span.Level;
}
