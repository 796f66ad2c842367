// The viewer's links from the keyboard: Tab goes from link to link, Enter opens one.
#include "RxRichEd.h"

#include <QFocusEvent>
#include <QKeyEvent>

const TRxLink* TRxRichEdit::SelectedLink() const
{
    const QTextCursor cursor = textCursor();
    const TRxLink* link = LinkAt(cursor.selectionStart());
    return link && link->Start == cursor.selectionStart() && link->Start + link->Length == cursor.selectionEnd()
               ? link
               : nullptr;
}

bool TRxRichEdit::focusNextPrevChild(bool next)
{
    // From the selected link, else from the caret, to the nearest link that way.
    const QTextCursor cursor = textCursor();
    const TRxLink* selected = SelectedLink();
    const TRxLink* target = nullptr;
    if (next) {
        const int from = selected ? selected->Start + 1 : cursor.selectionStart();
        const auto it = FLinks.lower_bound(from);
        target = it == FLinks.end() ? nullptr : &it->second;
    } else {
        const int before = selected ? selected->Start : cursor.selectionStart();
        auto it = FLinks.lower_bound(before);
        target = it == FLinks.begin() ? nullptr : &std::prev(it)->second;
    }
    if (!target) {
        // Leaving the viewer: the next visit starts from the beginning (or the end).
        QTextCursor caret(document());
        caret.setPosition(next ? 0 : ClampPosition(TextLength()));
        setTextCursor(caret);
        return QTextEdit::focusNextPrevChild(next);
    }
    QTextCursor range(document());
    range.setPosition(target->Start);
    range.setPosition(target->Start + target->Length, QTextCursor::KeepAnchor);
    setTextCursor(range);
    ensureCursorVisible();
    return true;
}

void TRxRichEdit::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    // Coming in with Tab the first link is one Tab away; with Shift+Tab the last one.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        QTextCursor caret(document());
        caret.setPosition(event->reason() == Qt::TabFocusReason ? 0 : ClampPosition(TextLength()));
        setTextCursor(caret);
    }
}

void TRxRichEdit::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const TRxLink* link = enter && event->modifiers() == Qt::NoModifier ? SelectedLink() : nullptr;
    if (!link) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    // A copy: the handler may set a new text, which drops the links.
    const std::string target = link->Target;
    if (OnURLClick)
        OnURLClick(this, target, TMouseButton::mbLeft);
}
