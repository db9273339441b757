#include "controls/TMyEdit.h"

#include "controls/TMyEditRules.h"
#include "platform/Beep.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QTimer>

namespace {

// The field currently taking its focus back. While it does, the field that
// loses the focus to it skips its own check: two invalid fields would
// otherwise pull the focus from each other for ever.
QPointer<TMyEdit> g_reclaiming;

// The character a key press stands for, as the classic edit receives it:
// control keys and Ctrl+letter give their control codes (copy 3, cut 24,
// paste 22 whichever shortcut the platform uses); keys that type nothing
// (arrows, Home, Delete, ...) give no character and are never filtered.
bool keyCharacter(const QKeyEvent* event, QChar& c)
{
    if (event->matches(QKeySequence::Copy)) { c = QChar(3); return true; }
    if (event->matches(QKeySequence::Cut)) { c = QChar(24); return true; }
    if (event->matches(QKeySequence::Paste)) { c = QChar(22); return true; }
    switch (event->key()) {
    case Qt::Key_Backspace: c = QChar(8); return true;
    case Qt::Key_Escape: c = QChar(27); return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: c = QChar(9); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: c = QChar(13); return true;
    default: break;
    }
    if ((event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A
        && event->key() <= Qt::Key_Z) {
        c = QChar(char16_t(event->key() - Qt::Key_A + 1));
        return true;
    }
    const QString text = event->text();
    if (text.isEmpty() || (text.size() == 1 && text[0].unicode() == 127))
        return false;
    c = text[0];
    return true;
}

} // namespace

TMyEdit::TMyEdit(QWidget* parent) : QLineEdit(parent) {}

TMyEdit::~TMyEdit() = default;

void TMyEdit::SetCharFilter(CharFilterType filter)
{
    if (filter == m_charFilter)
        return;
    m_charFilter = filter;
    if (filter != chDate)
        m_dateAge = dtNone;
    m_minValue = QVariant();
    m_maxValue = QVariant();
    setText(QString());
    UpdEdit();
}

bool TMyEdit::ValidData() const
{
    return TMyEditRules::ValidData(m_charFilter, text(), m_minValue, m_maxValue);
}

void TMyEdit::UpdEdit()
{
    const QString filtered = m_caps.Filter(text(), m_charFilter);
    if (filtered == text())
        return;
    const int caret = cursorPosition();
    const int start = hasSelectedText() ? selectionStart() : caret;
    const int length = hasSelectedText() ? selectedText().size() : 0;
    setText(filtered);
    if (length == 0)
        setCursorPosition(caret);
    else if (caret == start)  // the selection was made backwards
        setSelection(start + length, -length);
    else
        setSelection(start, length);
}

void TMyEdit::keyPressEvent(QKeyEvent* event)
{
    QChar c;
    if (m_charFilter < chDate || !keyCharacter(event, c)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Text of several characters at once (an input method) must pass as a whole.
    if (event->text().size() > 1) {
        for (QChar ch : event->text()) {
            const auto d = TMyEditRules::KeyPress(m_charFilter, m_dateAge, ch, text(),
                                                  selectionStart(), selectionEnd(), m_caps);
            if (d.action != TKeyDecision::Pass) {
                event->accept();
                return;
            }
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : cursorPosition();
    const TKeyDecision d =
        TMyEditRules::KeyPress(m_charFilter, m_dateAge, c, text(), start, end, m_caps);
    switch (d.action) {
    case TKeyDecision::Pass:
        QLineEdit::keyPressEvent(event);
        return;
    case TKeyDecision::Discard:
        event->accept();
        return;
    case TKeyDecision::Replace:
        setText(d.text);
        if (d.selLength > 0)
            setSelection(d.selStart, d.selLength);
        else
            setCursorPosition(d.selStart);
        event->accept();
        return;
    }
}

void TMyEdit::keyReleaseEvent(QKeyEvent* event)
{
    QLineEdit::keyReleaseEvent(event);
    UpdEdit();
}

void TMyEdit::focusOutEvent(QFocusEvent* event)
{
    // Switching to another window or opening a popup is not leaving the field.
    const bool leaving = event->reason() != Qt::ActiveWindowFocusReason
                         && event->reason() != Qt::PopupFocusReason;
    if (leaving && !(g_reclaiming && g_reclaiming != this))
        DoExit();
    QLineEdit::focusOutEvent(event);
}

void TMyEdit::DoExit()
{
    if (!ValidData()) {
        Beep();
        QTimer::singleShot(0, this, &TMyEdit::reclaimFocus);
    }
    emit Exit();
}

void TMyEdit::reclaimFocus()
{
    if (!isVisible() || !isEnabled())
        return;
    g_reclaiming = this;
    setFocus(Qt::OtherFocusReason);
    g_reclaiming = nullptr;
}
