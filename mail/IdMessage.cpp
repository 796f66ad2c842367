#include "IdMessage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <unistd.h>

#include "Convert.h"
#include "Exception.h"
#include "IdCharset.h"
#include "IdCoderHeader.h"
#include "IdHeaderParameters.h"
#include "IdMessageCoderMIME.h"

namespace {

// Encoded words decoded; the raw value when a word is broken.
std::string DecodedOrRaw(std::string value)
{
    // Most values hold no encoded word; those are kept, not copied (a To line can be
    // megabytes long).
    if (value.find("=?") == std::string::npos && IsValidUtf8(value)) {
        std::erase(value, '\0');
        return value;
    }
    try {
        return DecodeEncodedWords(value);
    } catch (const EConvertError&) {
        return Utf8OrWindows1250(value);
    }
}

// One bad address must not cost the rest of the message: a value that cannot be
// parsed leaves the field empty.
void ParseAddress(TIdEMailAddressItem& item, const std::string& value)
{
    try {
        item.SetText(value);
    } catch (const EIdEmailParseError&) {
        item = TIdEMailAddressItem();
    }
}

void ParseAddressList(TIdEMailAddressList& list, const std::string& value)
{
    try {
        list.ParseList(value);
    } catch (const EIdEmailParseError&) {
        list.Clear();
    }
}

// Reads size bytes of from's data from offset on, without moving its file position.
bool ReadPieces(int from, int64_t offset, int64_t size, const std::function<bool(std::string_view)>& write)
{
    char buffer[65536];
    while (size > 0) {
        const ssize_t got = pread(from, buffer, static_cast<size_t>(std::min<int64_t>(size, sizeof buffer)), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        if (!write(std::string_view(buffer, static_cast<size_t>(got))))
            return false;
        offset += got;
        size -= got;
    }
    return true;
}

bool WriteAll(int to, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = write(to, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

// The reason and the file, so that a full disk or a forbidden folder can be told apart.
EIdException SavingFailed(int errorNumber, const std::string& destination)
{
    const std::string reason = errorNumber == EEXIST ? "File exists" : EInOutError::FromErrno(errorNumber).Message;
    return EIdException("Error saving attachment. " + reason + ": " + destination);
}

// The headers ApplyHeaders reads, in the order of AppliedNames.
enum TAppliedHeader { ahContentType, ahSubject, ahFrom, ahMessageId, ahNewsgroups, ahTo, ahOrganization, ahDispositionNotificationTo, ahReturnReceiptTo, ahReferences, ahReplyTo, ahDate, ahSender, ahPriority, ahXPriority, AppliedHeaderCount };

constexpr std::array<std::string_view, AppliedHeaderCount> AppliedNames = {
    "Content-Type",
    "Subject",
    "From",
    "Message-Id",
    "Newsgroups",
    "To",
    "Organization",
    "Disposition-Notification-To",
    "Return-Receipt-To",
    "References",
    "Reply-To",
    "Date",
    "Sender",
    "Priority",
    "X-Priority",
};

// The first line of each applied header, found in one pass over the block instead of one
// search of it per header; ValueOf of the header list gives the same values.
class TAppliedHeaders {
public:
    explicit TAppliedHeaders(const TIdHeaderList& headers) : FHeaders(headers)
    {
        FAt.fill(-1);
        for (int i = 0; i < headers.Count(); ++i) {
            const std::string_view line = headers.LineAt(i);
            const size_t colon = line.find(':');
            if (colon == std::string_view::npos)
                continue;
            const std::string_view name = line.substr(0, colon);
            for (size_t header = 0; header < AppliedNames.size(); ++header)
                if (FAt[header] < 0 && name.size() == AppliedNames[header].size() &&
                    SameText(name, AppliedNames[header]))
                    FAt[header] = i;
        }
    }

    std::string Value(TAppliedHeader header) const { return FHeaders.ValueAt(FAt[header]); }

private:
    const TIdHeaderList& FHeaders;
    std::array<int, AppliedHeaderCount> FAt;
};

} // namespace

TIdAttachmentStore::TIdAttachmentStore() : FFile(MakeTempFile()) {}

TIdAttachmentStore::~TIdAttachmentStore()
{
    close(FFile);
}

TIdAttachment::TIdAttachment(std::shared_ptr<const TIdAttachmentStore> store, int64_t offset, int64_t size)
    : FStore(std::move(store)), FOffset(offset), FSize(size)
{
}

bool TIdAttachment::ReadData(const std::function<bool(std::string_view piece)>& write) const
{
    return ReadPieces(FStore->File(), FOffset, FSize, write);
}

std::string TIdAttachment::Data() const
{
    std::string data;
    ReadData([&](std::string_view piece) {
        data += piece;
        return true;
    });
    return data;
}

void TIdAttachment::SaveCopyTo(const std::string& destination) const
{
    const int to = open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (to < 0)
        throw SavingFailed(errno, destination);
    int error = 0;
    const bool copied = ReadData([&](std::string_view piece) {
        if (WriteAll(to, piece))
            return true;
        error = errno != 0 ? errno : EIO;
        return false;
    });
    if (!copied && error == 0)
        error = EIO;  // the temporary file could not be read
    if (close(to) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        unlink(destination.c_str());
        throw SavingFailed(error, destination);
    }
}

TIdMessagePart& TIdMessageParts::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError::OutOfBounds(index);
    return *FParts[index];
}

void TIdMessageParts::Recount()
{
    TextCount = 0;
    AttachCount = 0;
    RelatedCount = 0;
    for (const auto& part : FParts) {
        if (dynamic_cast<const TIdText*>(part.get())) {
            ++TextCount;
        } else if (dynamic_cast<const TIdAttachment*>(part.get())) {
            ++AttachCount;
            if (!part->ExtraHeaders.ValueOf("Content-ID").empty())
                ++RelatedCount;
        }
    }
}

void TIdMIMEBoundary::PushBoundary(const std::string& boundary)
{
    if (boundary.empty() || SameText(boundary, CurrentBoundary()))
        return;
    if (!FLevels)
        FLevels = std::make_unique<TLevels>();
    FLevels->Boundaries.push_back(boundary);
    ++FLevels->Counts[UpperCase(boundary)];
}

void TIdMIMEBoundary::PopBoundary()
{
    if (!FLevels)
        return;
    auto level = FLevels->Counts.find(UpperCase(FLevels->Boundaries.back()));
    if (--level->second == 0)
        FLevels->Counts.erase(level);
    FLevels->Boundaries.pop_back();
    if (FLevels->Boundaries.empty())
        FLevels.reset();
}

void TIdMIMEBoundary::Clear()
{
    FLevels.reset();
}

int TIdMIMEBoundary::LevelsAbove(std::string_view boundary) const
{
    if (boundary.empty() || !FLevels || !FLevels->Counts.contains(UpperCase(boundary)))
        return -1;
    const std::vector<std::string>& boundaries = FLevels->Boundaries;
    for (size_t level = boundaries.size(); level-- > 0;)
        if (SameText(boundaries[level], boundary))
            return static_cast<int>(boundaries.size() - 1 - level);
    return -1;
}

void TIdMessage::Reset()
{
    ResetHeaderFields();
    ResetBody();
}

void TIdMessage::ResetHeaderFields()
{
    Date = 0;
    From = TIdEMailAddressItem();
    Subject.clear();
    Recipients.Clear();
    RawHeaders.Clear();
    BoundaryStack.Clear();
    FRare.reset();
    Priority = mpNormal;
}

// The content stays made once it is: a reference to its body or parts taken before a
// reset still points at the (now empty) lists.
void TIdMessage::ResetBody()
{
    if (!FContent)
        return;
    FContent->Parts.Clear();
    FContent->AttachmentStore.reset();
    FContent->Body.clear();
}

TIdMessageContent& TIdMessage::Content()
{
    if (!FContent)
        FContent = std::make_unique<TIdMessageContent>();
    return *FContent;
}

const TIdMessageContent& TIdMessage::ContentOrNone() const
{
    static const TIdMessageContent none;
    return FContent ? *FContent : none;
}

bool TIdMessageRareFields::Empty() const
{
    const auto blank = [](const TIdEMailAddressItem& item) { return item.Address.empty() && item.Name.empty(); };
    return BccList.Count() == 0 && NewsGroups.empty() && Organization.empty() && blank(ReceiptRecipient)
           && References.empty() && ReplyTo.Count() == 0 && blank(Sender);
}

const TIdMessageRareFields& TIdMessage::Rare() const
{
    static const TIdMessageRareFields none;
    return FRare ? *FRare : none;
}

TIdEMailAddressList TIdMessage::CCList() const
{
    TIdEMailAddressList list;
    ParseAddressList(list, DecodedOrRaw(RawHeaders.ValueOf("Cc")));
    return list;
}

void TIdMessage::ApplyHeaders()
{
    const TAppliedHeaders applied(RawHeaders);
    Subject = DecodedOrRaw(applied.Value(ahSubject));
    ParseAddress(From, DecodedOrRaw(applied.Value(ahFrom)));
    MessageId = applied.Value(ahMessageId);
    TIdMessageRareFields rare;
    rare.NewsGroups = SplitCommaList(applied.Value(ahNewsgroups));
    ParseAddressList(Recipients, DecodedOrRaw(applied.Value(ahTo)));
    rare.Organization = applied.Value(ahOrganization);
    ParseAddress(rare.ReceiptRecipient, applied.Value(ahDispositionNotificationTo));
    if (rare.ReceiptRecipient.Text().empty())
        ParseAddress(rare.ReceiptRecipient, applied.Value(ahReturnReceiptTo));
    rare.References = applied.Value(ahReferences);
    ParseAddressList(rare.ReplyTo, applied.Value(ahReplyTo));
    Date = ParseDateField(applied.Value(ahDate));
    ParseAddress(rare.Sender, applied.Value(ahSender));
    if (FRare)
        rare.BccList = std::move(FRare->BccList);
    FRare = rare.Empty() ? nullptr : std::make_unique<TIdMessageRareFields>(std::move(rare));
    std::string priority = applied.Value(ahPriority);
    Priority = ParsePriority(priority.empty() ? applied.Value(ahXPriority) : priority);
    BoundaryStack.PushBoundary(BoundaryFromContentType(applied.Value(ahContentType)));
}

TIdMessagePriority ParsePriority(std::string_view value)
{
    std::string lower = LowerCase(value);
    if (lower.find("urgent") != std::string::npos)
        return mpHigh;
    if (lower.find("non-priority") != std::string::npos)
        return mpLow;
    std::string text = Trim(value);
    int number = StrToIntDef(Fetch(text, " "), 3);
    return static_cast<TIdMessagePriority>(std::clamp(number - 1, int(mpHighest), int(mpLowest)));
}

std::string CharSetOfContentType(std::string_view contentType)
{
    const std::string upper = UpperCase(contentType);
    const std::string rest(LooseParameterText(upper, "CHARSET"));
    if (!rest.empty() && rest[0] == '"')
        return rest.substr(1, rest.find('"', 1) - 1);
    return rest.substr(0, rest.find(';'));
}

std::vector<std::string> SplitCommaList(std::string_view value)
{
    size_t quoteStart = value.find('"');
    size_t quoteEnd = quoteStart == std::string_view::npos ? quoteStart : value.find('"', quoteStart + 1);
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= value.size(); ++i) {
        bool quoted = quoteStart != std::string_view::npos && i > quoteStart && i < quoteEnd;
        if (i < value.size() && (value[i] != ',' || quoted))
            continue;
        std::string piece = Trim(value.substr(start, i - start));
        if (!piece.empty())
            pieces.push_back(std::move(piece));
        start = i + 1;
    }
    return pieces;
}
