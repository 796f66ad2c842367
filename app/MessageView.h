#pragma once
// How a message is put into the viewer: its text, the section banners in red bold
// 12-point Courier new, the attachment lines bold and bulleted, and each attachment
// link marked whole so that a click on it can be told from a web link in the text.

#include "MessageText.h"

#include <optional>
#include <string>

class TRxRichEdit;

// The section banners of a downloaded message, 41 characters each.
extern const std::string AttachmentsBanner;
extern const std::string BodyBanner;
extern const std::string HeaderBanner;

// Replaces the viewer's text and formats it. The attachment links the session placed
// in the text are marked as the program's own links, each over its own place; nothing
// else in an attachment line is a link, whatever it looks like.
void ShowMessageText(TRxRichEdit& memo, const TShownText& shown);

// Formats the first occurrence of banner and, when the text has attachments, the
// attachment lines; then the caret stands at the top.
void HighlightSection(TRxRichEdit& memo, const std::string& banner);

std::string AttachmentTarget(const std::string& link);
// The attachment link a click reported, or nothing for any other link.
std::optional<std::string> AttachmentLinkOf(const std::string& target);
