#include "RxRichEd.h"

#include "QtText.h"

#include <QScrollBar>
#include <QTextDocument>
#include <algorithm>
#include <vector>

namespace {

// The document holds every line break as one paragraph separator, which is what
// makes a line break count as one position.
constexpr QChar LineBreak = QChar::ParagraphSeparator;

QString ToPositions(std::string_view utf8)
{
    QString text = ToQt(utf8);
    text.replace(QStringLiteral("\r\n"), QString(LineBreak));
    text.replace(u'\r', LineBreak);
    text.replace(u'\n', LineBreak);
    return text;
}

std::string FromPositions(QString text)
{
    text.replace(LineBreak, QStringLiteral("\r\n"));
    return FromQt(text);
}

// Wrapping at word boundaries costs time growing with the square of a word's length, so
// a text holding a word this long (a hostile one, or an unbroken block of code) wraps
// anywhere instead.
constexpr qsizetype LongestWrappedWord = 1000;

bool HasOverlongWord(const QString& text)
{
    qsizetype run = 0;
    for (QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > LongestWrappedWord)
            return true;
    }
    return false;
}

}  // namespace

TRxRichEdit::TRxRichEdit(QWidget* parent)
    : QTextEdit(parent), FSelAttributes(*this), FParagraph(*this)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setContextMenuPolicy(Qt::NoContextMenu);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    SetHideSelection(true);
}

void TRxRichEdit::SetText(const std::string& text)
{
    FLinks.clear();
    ForgetPressedLink();
    setExtraSelections({});
    const QString content = ToPositions(text);
    // Emptied first, so the old text is not laid out again in the new wrap mode, and so
    // the caret carries no format of the old text into the new one.
    document()->clear();
    setCurrentCharFormat(QTextCharFormat());
    setWordWrapMode(HasOverlongWord(content) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
    setPlainText(content);
    DetectLinks();
}

std::string TRxRichEdit::Text() const
{
    return FromPositions(PositionText());
}

int TRxRichEdit::TextLength() const
{
    return document()->characterCount() - 1;
}

QString TRxRichEdit::PositionText() const
{
    return document()->toRawText();
}

int TRxRichEdit::FindText(const std::string& text, int start, int length) const
{
    const QString wanted = ToPositions(text);
    const QString content = PositionText();
    const long long from = std::max(start, 0);
    const long long to = std::min<long long>(static_cast<long long>(start) + std::abs(static_cast<long long>(length)),
                                             content.size());
    if (wanted.isEmpty() || from > to)
        return -1;
    const qsizetype found = QStringView(content).mid(from, to - from).indexOf(wanted, 0, Qt::CaseInsensitive);
    return found < 0 ? -1 : static_cast<int>(from + found);
}

int TRxRichEdit::ClampPosition(long long position) const
{
    return static_cast<int>(std::clamp<long long>(position, 0, TextLength()));
}

int TRxRichEdit::SelStart() const
{
    return textCursor().selectionStart();
}

void TRxRichEdit::SetSelStart(int position)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(ClampPosition(position));
    setTextCursor(cursor);
}

int TRxRichEdit::SelLength() const
{
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void TRxRichEdit::SetSelLength(int length)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    cursor.setPosition(start);
    cursor.setPosition(ClampPosition(static_cast<long long>(start) + length), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
    // The caret at the very start shows the top of the text, margin included.
    if (cursor.position() == 0)
        verticalScrollBar()->setValue(0);
}

std::string TRxRichEdit::SelText() const
{
    return FromPositions(textCursor().selectedText());
}

void TRxRichEdit::SetHideSelection(bool on)
{
    FHideSelection = on;
    QPalette colours = palette();
    const QPalette::ColorGroup shown = on ? QPalette::Inactive : QPalette::Active;
    // Without the focus the selection takes the plain text colours: it is still there,
    // only not drawn.
    colours.setBrush(QPalette::Inactive, QPalette::Highlight,
                     on ? colours.brush(shown, QPalette::Base) : colours.brush(shown, QPalette::Highlight));
    colours.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                     on ? colours.brush(shown, QPalette::Text) : colours.brush(shown, QPalette::HighlightedText));
    setPalette(colours);
}

std::vector<QTextBlock> TRxRichEdit::TouchedBlocks() const
{
    const QTextCursor cursor = textCursor();
    // Up to the position before the end: a selection ending right after a line break does
    // not reach into the next paragraph.
    const int last = std::max(cursor.selectionStart(), cursor.selectionEnd() - 1);
    std::vector<QTextBlock> blocks;
    for (QTextBlock block = document()->findBlock(cursor.selectionStart());
         block.isValid() && block.position() <= last; block = block.next())
        blocks.push_back(block);
    return blocks;
}

QTextCharFormat TRxRichEdit::SelectedCharFormat() const
{
    const int position = textCursor().selectionStart();
    const QTextBlock block = document()->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().contains(position))
            return it.fragment().charFormat();
    return block.charFormat();
}

void TRxRichEdit::EditSelectedCharacters(const std::function<void(QTextCharFormat&)>& edit)
{
    const QTextCursor selection = textCursor();
    const int from = selection.selectionStart();
    const int to = selection.selectionEnd();
    struct Piece {
        int From, To;
        QTextCharFormat Format;
    };
    // Collected first: changing a format splits the fragments being walked.
    std::vector<Piece> pieces;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int pieceFrom = std::max(from, fragment.position());
            const int pieceTo = std::min(to, fragment.position() + fragment.length());
            if (pieceFrom < pieceTo)
                pieces.push_back({pieceFrom, pieceTo, fragment.charFormat()});
        }
    }
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (Piece& piece : pieces) {
        edit(piece.Format);
        cursor.setPosition(piece.From);
        cursor.setPosition(piece.To, QTextCursor::KeepAnchor);
        cursor.setCharFormat(piece.Format);
    }
    cursor.endEditBlock();
}
