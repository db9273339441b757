#include "controls/TUpDown.h"

#include "controls/TMyEdit.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

// Reads the edit's text as a whole number; an all-digit text too long for
// 64 bits reads as very large (it clamps to Max). False for empty or other text.
bool readNumber(const QString& text, qint64& value)
{
    const QString t = text.trimmed();
    bool ok = false;
    value = t.toLongLong(&ok);
    if (ok)
        return true;
    const bool negative = t.startsWith(u'-');
    const QString digits = negative ? t.mid(1) : t;
    if (digits.isEmpty())
        return false;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return false;
    value = negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return true;
}

QToolButton* arrowButton(Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setAccessibleName(arrow == Qt::UpArrow ? QStringLiteral("Up")
                                                   : QStringLiteral("Down"));
    return button;
}

} // namespace

TUpDown::TUpDown(QWidget* parent) : QWidget(parent)
{
    m_up = arrowButton(Qt::UpArrow, this);
    m_down = arrowButton(Qt::DownArrow, this);
    m_up->setObjectName(QStringLiteral("upButton"));
    m_down->setObjectName(QStringLiteral("downButton"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, &TUpDown::StepUp);
    connect(m_down, &QToolButton::clicked, this, &TUpDown::StepDown);
}

TUpDown::~TUpDown()
{
    if (m_associate)
        m_associate->removeEventFilter(this);
}

QSize TUpDown::sizeHint() const { return QSize(17, 21); }

qint16 TUpDown::clamp16(int value)
{
    return qint16(std::clamp(value, int(std::numeric_limits<qint16>::min()),
                             int(std::numeric_limits<qint16>::max())));
}

int TUpDown::clampToRange(qint64 value) const
{
    const qint64 lo = std::min(m_min, m_max);
    const qint64 hi = std::max(m_min, m_max);
    return int(std::clamp(value, lo, hi));
}

void TUpDown::setAssociate(TMyEdit* edit)
{
    if (m_associate) {
        m_associate->removeEventFilter(this);
        disconnect(m_associate, nullptr, this, nullptr);
    }
    m_associate = edit;
    m_filtered = edit;
    if (!edit)
        return;
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, &TUpDown::associateEdited);
    connect(edit, &QLineEdit::editingFinished, this, &TUpDown::associateFinished);
    writeAssociate();
}

TMyEdit* TUpDown::Associate() const { return m_associate; }

void TUpDown::SetMin(int value) { SetRange(value, m_max); }
void TUpDown::SetMax(int value) { SetRange(m_min, value); }

void TUpDown::SetRange(int min, int max)
{
    m_min = clamp16(min);
    m_max = clamp16(max);
    const int pulled = clampToRange(m_position);
    if (pulled != m_position) {
        storePosition(pulled);
        writeAssociate();
    }
}

void TUpDown::SetPosition(int value)
{
    storePosition(clampToRange(value));
    writeAssociate();
}

void TUpDown::SetIncrement(int value) { m_increment = std::max(1, value); }

void TUpDown::StepUp() { step(+1); }
void TUpDown::StepDown() { step(-1); }

void TUpDown::step(int direction)
{
    storePosition(clampToRange(qint64(m_position) + qint64(direction) * m_increment));
    writeAssociate();
}

void TUpDown::storePosition(int value)
{
    if (value == m_position)
        return;
    m_position = qint16(value);
    emit positionChanged(m_position);
}

void TUpDown::writeAssociate()
{
    if (!m_associate)
        return;
    m_writing = true;
    m_associate->setText(QString::number(m_position));
    m_writing = false;
}

void TUpDown::associateEdited(const QString& text)
{
    if (m_writing)
        return;
    qint64 value = 0;
    if (readNumber(text, value))
        storePosition(clampToRange(value));
}

void TUpDown::associateFinished()
{
    if (!m_associate)
        return;
    qint64 value = 0;
    if (readNumber(m_associate->text(), value) && value != m_position)
        writeAssociate();
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == m_filtered.data() && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
