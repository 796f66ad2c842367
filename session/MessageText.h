#pragma once
// The text the message view shows for a message, and saving the attachments its links
// point at. Nothing in a message is ever started: an attachment is only copied to a file
// the user chose in the save dialog.

#include "IdMessage.h"

#include <cstdint>
#include <string>
#include <vector>

// An attachment line of the shown text: it starts LineOffset bytes into the text and is
// LineLength bytes long (its line break not counted); it begins with Link. The view
// knows the program's own links by these places, never by what a text looks like.
struct TAttachmentLinkSpan {
    size_t LineOffset = 0;
    size_t LineLength = 0;
    std::string Link;
};

struct TShownText {
    std::string Text;
    std::vector<TAttachmentLinkSpan> Links;
};

// MessageText with the places of its attachment lines.
TShownText ShownMessageText(TIdMessage& message, bool downloaded);

// Before a download: the header lines. After it: the body lines of a message without
// parts; otherwise the sections attachments (when there are any), body and header,
// the body lines standing in for the text of a message whose parts are all attachments.
// Lines end with CR LF.
std::string MessageText(TIdMessage& message, bool downloaded);

// Before a download the raw header lines are hard to read (encoded words, folded lines):
// "Od:", "Komu:", "Předmět:" and "Datum:" decoded, one line each, then an empty line, to
// stand above them. A field the message lacks gives no line.
std::string DecodedHeaderLines(const TIdMessage& message);

// "http://localhost/" + name + "/ID=" + part index: where an attachment line points.
std::string AttachmentLink(const std::string& attachmentName, int32_t partIndex);

// Saves the attachment a link points at under the name the save dialog returns; the
// dialog proposes a safe form of the name in the link. A link to a text part does
// nothing. Raises EConvertError for an index that is no integer and EListError for one
// outside the parts.
void SaveLinkedAttachment(TIdMessage& message, const std::string& link);
