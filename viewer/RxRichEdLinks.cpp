// The viewer's links: finding them, their look, and the click rule.
#include "RxRichEd.h"
#include "RxWebLinks.h"

#include "QtText.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextLayout>
#include <optional>

namespace {

std::optional<TMouseButton> LinkButton(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        return TMouseButton::mbLeft;
    if (button == Qt::RightButton)
        return TMouseButton::mbRight;
    return std::nullopt;
}

}  // namespace

std::vector<TRxLink> TRxRichEdit::Links() const
{
    std::vector<TRxLink> links;
    links.reserve(FLinks.size());
    for (const auto& [start, link] : FLinks)
        links.push_back(link);
    return links;
}

void TRxRichEdit::SetAutoURLDetect(bool on)
{
    FAutoURLDetect = on;
    DetectLinks();
}

void TRxRichEdit::MarkLink(int start, int length, const std::string& target)
{
    const int from = ClampPosition(start);
    const int to = ClampPosition(static_cast<long long>(start) + length);
    if (from >= to)
        return;
    auto it = FirstLinkEndingAfter(from);
    while (it != FLinks.end() && it->first < to)
        it = FLinks.erase(it);
    FLinks.emplace(from, TRxLink{from, to - from, target, true});
    ++FLinksVersion;
    viewport()->update();
}

void TRxRichEdit::ForgetLinks(int start, int length)
{
    const int from = ClampPosition(start);
    const int to = ClampPosition(static_cast<long long>(start) + length);
    auto it = FirstLinkEndingAfter(from);
    while (it != FLinks.end() && it->first < to)
        it = FLinks.erase(it);
    ++FLinksVersion;
    viewport()->update();
}

// Detected links are found again from the text; the owner's marked links stay and win
// over any detected link they overlap.
void TRxRichEdit::DetectLinks()
{
    std::erase_if(FLinks, [](const auto& entry) { return !entry.second.Marked; });
    if (FAutoURLDetect) {
        const QString text = PositionText();
        for (const TRxTextRange& range : FindWebLinks(text)) {
            const auto marked = FirstLinkEndingAfter(range.Start);
            if (marked == FLinks.end() || marked->first >= range.Start + range.Length)
                FLinks.emplace_hint(marked, range.Start,
                                    TRxLink{range.Start, range.Length, FromQt(text.mid(range.Start, range.Length)), false});
        }
    }
    ++FLinksVersion;
    viewport()->update();
}

std::map<int, TRxLink>::const_iterator TRxRichEdit::FirstLinkEndingAfter(int position) const
{
    auto it = FLinks.upper_bound(position);
    if (it != FLinks.begin() && std::prev(it)->second.Start + std::prev(it)->second.Length > position)
        --it;
    return it;
}

const TRxLink* TRxRichEdit::LinkAt(int position) const
{
    const auto it = FirstLinkEndingAfter(position);
    return position >= 0 && it != FLinks.end() && it->first <= position ? &it->second : nullptr;
}

// The position of the character under a point of the viewport; -1 when the point is not
// over a character (blank space beside or below the text).
int TRxRichEdit::CharacterAt(QPointF viewportPoint) const
{
    const QPointF point = viewportPoint + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const int hit = layout->hitTest(point, Qt::ExactHit);
    if (hit < 0)
        return -1;
    const QTextBlock block = document()->findBlock(hit);
    const QTextLayout* blockLayout = block.layout();
    const QPointF inBlock = point - layout->blockBoundingRect(block).topLeft();
    for (int i = 0; blockLayout && i < blockLayout->lineCount(); ++i) {
        const QTextLine line = blockLayout->lineAt(i);
        const bool onLine = inBlock.y() >= line.y() && inBlock.y() < line.y() + line.height()
            && inBlock.x() >= line.x() && inBlock.x() < line.x() + line.naturalTextWidth();
        if (onLine && line.textLength() > 0) {
            const int inLine = std::clamp(line.xToCursor(inBlock.x(), QTextLine::CursorOnCharacter),
                                          line.textStart(), line.textStart() + line.textLength() - 1);
            return block.position() + inLine;
        }
    }
    return -1;
}

void TRxRichEdit::ForgetPressedLink()
{
    FPressedStart = -1;
    FPressedEnd = -1;
}

void TRxRichEdit::mousePressEvent(QMouseEvent* event)
{
    QTextEdit::mousePressEvent(event);
    const std::optional<TMouseButton> button = LinkButton(event->button());
    if (!button)
        return;
    // A press beside every link forgets the last one, so only a press and a release on
    // the same link make a click.
    ForgetPressedLink();
    if (const TRxLink* link = LinkAt(CharacterAt(event->position()))) {
        FPressedStart = link->Start;
        FPressedEnd = link->Start + link->Length;
        FPressedButton = *button;
        event->accept();
    }
}

void TRxRichEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    const std::optional<TMouseButton> button = LinkButton(event->button());
    if (!button)
        return;
    const TRxLink* link = LinkAt(CharacterAt(event->position()));
    const bool clicked = link && FPressedButton == *button && FPressedStart == link->Start
        && FPressedEnd == link->Start + link->Length;
    const std::string target = clicked ? link->Target : std::string();
    ForgetPressedLink();
    // Last, as the handler may set a new text or show a dialog.
    if (clicked && OnURLClick)
        OnURLClick(this, target, *button);
}

void TRxRichEdit::mouseMoveEvent(QMouseEvent* event)
{
    QTextEdit::mouseMoveEvent(event);
    const bool overLink = LinkAt(CharacterAt(event->position())) != nullptr;
    viewport()->setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

void TRxRichEdit::paintEvent(QPaintEvent* event)
{
    UpdateLinkLook();
    QTextEdit::paintEvent(event);
}

// The position that starts (or, with lineEnd, ends) the line of text at height y of the
// document.
int TRxRichEdit::LinePositionAt(qreal y, bool lineEnd) const
{
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    // Paragraphs lie one below the other: find the last one that starts at or above y.
    int low = 0;
    int high = document()->blockCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (layout->blockBoundingRect(document()->findBlockByNumber(middle)).top() <= y)
            low = middle;
        else
            high = middle - 1;
    }
    const QTextBlock block = document()->findBlockByNumber(low);
    const QTextLayout* lines = block.layout();
    const qreal inBlock = y - layout->blockBoundingRect(block).top();
    for (int i = 0; lines && i < lines->lineCount(); ++i) {
        const QTextLine line = lines->lineAt(i);
        if (inBlock < line.y() + line.height())
            return block.position() + line.textStart() + (lineEnd ? line.textLength() : 0);
    }
    return block.position() + (lineEnd ? block.length() - 1 : 0);
}

// Links are drawn underlined in the link colour as extra selections, which leaves the
// owner's character formats untouched. Only the links in view get one, so a text of a
// million addresses costs no more to paint than a text of ten.
void TRxRichEdit::UpdateLinkLook()
{
    const qreal top = verticalScrollBar()->value();
    const int from = LinePositionAt(top, false);
    const int to = LinePositionAt(top + viewport()->height(), true);
    if (from == FLookFrom && to == FLookTo && FLinksVersion == FLookVersion)
        return;
    FLookFrom = from;
    FLookTo = to;
    FLookVersion = FLinksVersion;

    QTextCharFormat look;
    look.setForeground(palette().link());
    look.setFontUnderline(true);
    QList<QTextEdit::ExtraSelection> selections;
    for (auto it = FirstLinkEndingAfter(from); it != FLinks.end() && it->first <= to; ++it) {
        QTextCursor range(document());
        range.setPosition(it->second.Start);
        range.setPosition(it->second.Start + it->second.Length, QTextCursor::KeepAnchor);
        selections.append({range, look});
    }
    setExtraSelections(selections);
}
