#pragma once
// One mail message: its raw header lines, the header fields read from them, the body
// lines outside any part and the parts (text parts and attachments).
//
// The message owns everything it holds. The decoded data of its attachments lives in one
// temporary file without a name, gone with the last attachment that uses it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "IdEMailAddress.h"
#include "IdGlobal.h"
#include "IdHeaderList.h"

enum TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// Text parts and attachments; only descendants can be made.
class TIdMessagePart {
public:
    virtual ~TIdMessagePart() = default;
    TIdMessagePart(const TIdMessagePart&) = delete;
    TIdMessagePart& operator=(const TIdMessagePart&) = delete;

    // The part's Content-Type, Content-Transfer-Encoding and Content-Disposition.
    TIdHeaderList PartHeaders;
    // Nothing fills these when mail is received.
    TIdHeaderList ExtraHeaders;

    std::string ContentType() const { return PartHeaders.ValueOf("Content-Type"); }
    void SetContentType(std::string_view value) { PartHeaders.SetValueOf("Content-Type", value); }
    std::string ContentTransfer() const { return PartHeaders.ValueOf("Content-Transfer-Encoding"); }
    void SetContentTransfer(std::string_view value) { PartHeaders.SetValueOf("Content-Transfer-Encoding", value); }

protected:
    TIdMessagePart() = default;
};

class TIdText : public TIdMessagePart {
public:
    // The decoded text.
    std::vector<std::string> Lines;
};

// The decoded data of a message's attachments, one after another in one unnamed
// temporary file: one descriptor for the whole message, however many attachments it has.
class TIdAttachmentStore {
public:
    // Raises EInOutError when no temporary file can be made.
    TIdAttachmentStore();
    ~TIdAttachmentStore();
    TIdAttachmentStore(const TIdAttachmentStore&) = delete;
    TIdAttachmentStore& operator=(const TIdAttachmentStore&) = delete;

    int File() const { return FFile; }

private:
    int FFile = -1;
};

class TIdAttachment : public TIdMessagePart {
public:
    // The data: size bytes from offset in store.
    TIdAttachment(std::shared_ptr<const TIdAttachmentStore> store, int64_t offset, int64_t size);

    // The file name the part announces, encoded words decoded; may be empty.
    std::string AttachmentName;
    int64_t Size() const { return FSize; }

    std::string Disposition() const { return PartHeaders.ValueOf("Content-Disposition"); }
    void SetDisposition(std::string_view value) { PartHeaders.SetValueOf("Content-Disposition", value); }

    // Copies the decoded data to a new file. Raises EIdException "Error saving
    // attachment." with the reason and the file when the copy fails, also when the
    // destination exists.
    void SaveCopyTo(const std::string& destination) const;
    // Hands the decoded data to write in pieces of at most 64 KiB; false when the
    // temporary file could not be read.
    bool ReadData(const std::function<bool(std::string_view piece)>& write) const;
    // The whole decoded data in memory.
    std::string Data() const;

private:
    std::shared_ptr<const TIdAttachmentStore> FStore;
    int64_t FOffset;
    int64_t FSize;
};

// The parts in the order they were found.
class TIdMessageParts {
public:
    int Count() const { return static_cast<int>(FParts.size()); }
    // Raises EListError for an index outside the collection.
    TIdMessagePart& operator[](int index) const;
    void Add(std::unique_ptr<TIdMessagePart> part) { FParts.push_back(std::move(part)); }
    void Clear() { FParts.clear(); }

    // Counts the text parts, the attachments, and the attachments with a Content-ID
    // among their extra headers.
    void Recount();
    int TextCount = 0;
    int AttachCount = 0;
    int RelatedCount = 0;

private:
    std::vector<std::unique_ptr<TIdMessagePart>> FParts;
};

// The boundaries of the multipart levels being read, innermost on top.
class TIdMIMEBoundary {
public:
    // The top, or empty.
    std::string CurrentBoundary() const { return FLevels ? FLevels->Boundaries.back() : std::string(); }
    // Ignores an empty boundary and one equal to the top (case ignored).
    void PushBoundary(const std::string& boundary);
    void PopBoundary();
    void Clear();
    int Count() const { return FLevels ? static_cast<int>(FLevels->Boundaries.size()) : 0; }
    // How many levels lie above the innermost level of this boundary (case ignored):
    // 0 for the top, -1 when no level has it. Quick for a text that is no boundary, so
    // every body line can be asked about.
    int LevelsAbove(std::string_view boundary) const;

private:
    struct TLevels {
        std::vector<std::string> Boundaries;
        // How many levels each boundary, upper-cased, has.
        std::unordered_map<std::string, int> Counts;
    };
    // Made with the first level and gone with the last: most messages never have one, and
    // a header record of a large mailbox pays a pointer for it.
    std::unique_ptr<TLevels> FLevels;
};

// Header fields few messages have; a message makes room for them only when one of
// them holds something, so that the records of a large mailbox stay small.
struct TIdMessageRareFields {
    TIdEMailAddressList BccList;
    std::vector<std::string> NewsGroups;
    std::string Organization;
    TIdEMailAddressItem ReceiptRecipient;
    std::string References;
    TIdEMailAddressList ReplyTo;
    TIdEMailAddressItem Sender;

    bool Empty() const;
};

// What only a message read with its body holds: a header block's message makes none of it,
// so that the records of a large mailbox stay small.
struct TIdMessageContent {
    // The body lines outside any part.
    std::vector<std::string> Body;
    TIdMessageParts Parts;
    // The most bytes of attachment data the message may decode into its store, -1 for no
    // limit: the mailbox sets it from the size the server announced, so a hostile server
    // cannot fill the disk with an endless attachment.
    int64_t AttachmentDataLimit = -1;
    // Made with the first attachment; Reset lets it go (attachments still held keep it).
    std::shared_ptr<TIdAttachmentStore> AttachmentStore;
};

// The charset parameter of a Content-Type value, upper-cased.
std::string CharSetOfContentType(std::string_view contentType);

class TIdMessage {
public:
    TIdMessage() { Reset(); }
    TIdMessage(const TIdMessage&) = delete;
    TIdMessage& operator=(const TIdMessage&) = delete;

    // Read from RawHeaders when asked for, like the fields below.
    TIdEMailAddressList CCList() const;
    // Read from RawHeaders when asked for: a header record keeps no copies.
    std::string ContentType() const { return RawHeaders.ValueOf("Content-Type"); }
    std::string ContentTransferEncoding() const { return RawHeaders.ValueOf("Content-Transfer-Encoding"); }
    std::string ContentDisposition() const { return RawHeaders.ValueOf("Content-Disposition"); }
    std::string CharSet() const { return CharSetOfContentType(ContentType()); }
    // Local time.
    TDateTime Date = 0;
    TIdEMailAddressItem From;
    TIdHeaderList RawHeaders;
    TIdMIMEBoundary BoundaryStack;
    // Angle brackets kept.
    std::string MessageId;
    // With NoDecode the header lines are only kept, not applied, and the body lines are
    // kept undecoded in Body.
    bool NoDecode = false;
    TIdMessagePriority Priority = mpNormal;
    std::string Subject;
    TIdEMailAddressList Recipients;
    // Free for the owner; the mailbox keeps the message size here.
    int32_t Tag = 0;

    // The content is made by the first access that may change it; reading a message
    // without one finds it empty.
    std::vector<std::string>& Body() { return Content().Body; }
    const std::vector<std::string>& Body() const { return ContentOrNone().Body; }
    TIdMessageParts& Parts() { return Content().Parts; }
    const TIdMessageParts& Parts() const { return ContentOrNone().Parts; }
    int64_t AttachmentDataLimit() const { return ContentOrNone().AttachmentDataLimit; }
    void SetAttachmentDataLimit(int64_t bytes) { Content().AttachmentDataLimit = bytes; }
    std::shared_ptr<TIdAttachmentStore>& AttachmentStore() { return Content().AttachmentStore; }

    // Never filled when mail is received.
    const TIdEMailAddressList& BccList() const { return Rare().BccList; }
    const std::vector<std::string>& NewsGroups() const { return Rare().NewsGroups; }
    const std::string& Organization() const { return Rare().Organization; }
    const TIdEMailAddressItem& ReceiptRecipient() const { return Rare().ReceiptRecipient; }
    const std::string& References() const { return Rare().References; }
    const TIdEMailAddressList& ReplyTo() const { return Rare().ReplyTo; }
    const TIdEMailAddressItem& Sender() const { return Rare().Sender; }

    void Reset();
    // Clears every header field but MessageId, the raw header lines and the boundaries.
    void ResetHeaderFields();
    void ResetBody();
    // Fills the fields from RawHeaders without clearing first. A field that cannot be
    // read does not stop the others: an address list that fails to parse stays empty,
    // a subject with a broken encoded word keeps its raw value.
    void ApplyHeaders();

private:
    const TIdMessageRareFields& Rare() const;
    TIdMessageContent& Content();
    const TIdMessageContent& ContentOrNone() const;

    std::unique_ptr<TIdMessageRareFields> FRare;
    std::unique_ptr<TIdMessageContent> FContent;
};

// "urgent" is high, "non-priority" low, otherwise the number 1 (highest) to 5 (lowest),
// numbers outside that range giving the nearest end; normal when there is no number.
TIdMessagePriority ParsePriority(std::string_view value);
// Pieces between commas, trimmed, empty ones left out; commas within the first pair of
// double quotes do not cut.
std::vector<std::string> SplitCommaList(std::string_view value);
