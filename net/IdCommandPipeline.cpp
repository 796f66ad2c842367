#include "IdCommandPipeline.h"

#include "IdTCPConnection.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

void TIdCommandPipeline::Plan(TCommandSource source, int32_t window)
{
    FSource = std::move(source);
    FWindow = std::max(window, 1);
    FNext.reset();
}

bool TIdCommandPipeline::Peek()
{
    if (FNext)
        return true;
    std::string command;
    if (!FSource || !FSource(command)) {
        FSource = nullptr;
        return false;
    }
    FNext = std::move(command);
    return true;
}

bool TIdCommandPipeline::IsNext(const std::string& command)
{
    if (!FOutstanding.empty())
        return FOutstanding.front() == command;
    return Peek() && *FNext == command;
}

bool TIdCommandPipeline::Active()
{
    return !FOutstanding.empty() || Peek();
}

const std::string& TIdCommandPipeline::AwaitReply()
{
    if (Outstanding() <= FWindow / 2)
        SendBatch();
    if (FOutstanding.empty())
        throw std::logic_error("a reply was awaited for no command");
    return FOutstanding.front();
}

void TIdCommandPipeline::SendBatch()
{
    std::string batch;
    std::vector<std::string> commands;
    while (Outstanding() + static_cast<int32_t>(commands.size()) < FWindow && Peek()) {
        batch += *FNext + "\r\n";
        commands.push_back(std::move(*FNext));
        FNext.reset();
    }
    if (commands.empty())
        return;
    FConnection.WriteText(batch);
    for (std::string& command : commands)
        FOutstanding.push_back(std::move(command));
}

void TIdCommandPipeline::ReplyTaken()
{
    if (!FOutstanding.empty())
        FOutstanding.pop_front();
}

void TIdCommandPipeline::StopSending()
{
    FSource = nullptr;
    FNext.reset();
}

void TIdCommandPipeline::Clear()
{
    StopSending();
    FOutstanding.clear();
}
