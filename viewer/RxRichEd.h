#pragma once
// The read-only rich text viewer of the message pane.
//
// The owner puts a message in as plain UTF-8 text, formats ranges of it through
// SelAttributes and Paragraph, and hears about clicks on links. Positions count from 0;
// a line break (CR LF, or a lone CR or LF) is one position, and Text() gives every line
// break back as CR LF. The user can scroll, select and copy, never edit.
//
// Links: with AutoURLDetect on, web addresses in the text (http://, https://, ftp://,
// mailto: and www.) are found by the viewer itself. The owner marks its own links with
// MarkLink; a marked link may hold spaces and any letters, and a click on it reports the
// target the owner gave, so the owner can tell its links from look-alikes in the text.
// From the keyboard, Tab and Shift+Tab select the next or previous link (past the last
// one the focus leaves the viewer) and Enter on a selected link reports it as a click
// of the left button.

#include "RxRichEdAttributes.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextEdit>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class TMouseButton { mbLeft, mbRight };

class TRxRichEdit;
using TRichEditURLClickEvent =
    std::function<void(TRxRichEdit* Sender, const std::string& URLText, TMouseButton Button)>;

// A link of the text: Length positions from Start. Target is what a click reports:
// the link's own characters for a detected link, the owner's target for a marked one.
struct TRxLink {
    int Start = 0;
    int Length = 0;
    std::string Target;
    bool Marked = false;

    bool operator==(const TRxLink&) const = default;
};

class TRxRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TRxRichEdit(QWidget* parent = nullptr);

    // Replaces the whole content; earlier formatting, bullets and links are dropped and
    // the new text has the viewer's font. The selection becomes empty at position 0.
    // Text goes in here only: QTextEdit's own setters would skip the link detection.
    void SetText(const std::string& text);
    std::string Text() const;
    // The number of positions in the text.
    int TextLength() const;

    // The first occurrence of text, ignoring letter case, lying within the positions
    // start to start + |length|; -1 when there is none or text is empty.
    int FindText(const std::string& text, int start, int length) const;

    // The selection: SetSelStart empties it at the position, SetSelLength extends it from
    // its start over the given number of positions and scrolls the caret into view.
    // Positions outside the text are brought to its nearest end.
    int SelStart() const;
    void SetSelStart(int position);
    int SelLength() const;
    void SetSelLength(int length);
    std::string SelText() const;

    TRxTextAttributes& SelAttributes() { return FSelAttributes; }
    TRxParaAttributes& Paragraph() { return FParagraph; }

    bool AutoURLDetect() const { return FAutoURLDetect; }
    void SetAutoURLDetect(bool on);
    // The selection highlight is drawn only while the viewer has the keyboard focus.
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool on);

    // Marks length positions from start as one link whose click reports target. It takes
    // the place of the links it overlaps, and lasts until the next SetText.
    void MarkLink(int start, int length, const std::string& target);
    // Drops every link that overlaps length positions from start, detected or marked:
    // what the owner wrote there is no link unless it marks one.
    void ForgetLinks(int start, int length);
    // The links of the text in position order.
    std::vector<TRxLink> Links() const;

    // Raised when the left or the right button goes down and comes up again on the same
    // link, with nothing in between on any other place; Button says which button.
    TRichEditURLClickEvent OnURLClick;

    // The link the selection covers exactly, the one Enter opens; nullptr for none.
    const TRxLink* SelectedLink() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TRxTextAttributes;
    friend class TRxParaAttributes;

    QString PositionText() const;
    int ClampPosition(long long position) const;
    // For the attribute classes: the paragraphs the selection touches (at least one),
    // the format of its first character, and a change to every selected character.
    std::vector<QTextBlock> TouchedBlocks() const;
    QTextCharFormat SelectedCharFormat() const;
    void EditSelectedCharacters(const std::function<void(QTextCharFormat&)>& edit);

    int CharacterAt(QPointF viewportPoint) const;
    std::map<int, TRxLink>::const_iterator FirstLinkEndingAfter(int position) const;
    const TRxLink* LinkAt(int position) const;
    void DetectLinks();
    void ForgetPressedLink();
    int LinePositionAt(qreal y, bool lineEnd) const;
    void UpdateLinkLook();

    TRxTextAttributes FSelAttributes;
    TRxParaAttributes FParagraph;
    bool FAutoURLDetect = true;
    bool FHideSelection = true;
    // The links by start position; they never overlap.
    std::map<int, TRxLink> FLinks;

    // The link a button went down on, for the click rule; -1, -1 when none.
    int FPressedStart = -1;
    int FPressedEnd = -1;
    TMouseButton FPressedButton = TMouseButton::mbLeft;

    // What the link look currently covers, so painting redoes it only on a change.
    int FLookFrom = -1;
    int FLookTo = -1;
    int FLinksVersion = 0;
    int FLookVersion = -1;
};
