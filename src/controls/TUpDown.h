#pragma once
// A classic up-down spinner: two small arrow buttons paired with an edit.
// It holds its own 16-bit position within [Min, Max] (default 0..100, step 1).
// Every change of the position made by the arrows, the Up/Down keys in the
// edit, or SetPosition writes the value into the associate edit as plain
// decimal digits (no thousands separator), which fires the edit's
// textChanged like typing does. Typing a number into the edit moves the
// position (clamped to the range) without rewriting what is typed; when the
// edit is left, a number outside the range is replaced by the clamped
// position. An empty or non-numeric edit leaves the position as it was, so
// an edit can be empty while its up-down keeps a position.
//
// The arrows never take the keyboard focus, so clicking them does not make
// the edit run its leaving check. Forms use it as a promoted QWidget
// (header "controls/TUpDown.h").
#include <QPointer>
#include <QWidget>

class QToolButton;
class TMyEdit;

class TUpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ Position WRITE SetPosition NOTIFY positionChanged)
    Q_PROPERTY(int Increment READ Increment WRITE SetIncrement)

public:
    explicit TUpDown(QWidget* parent = nullptr);
    ~TUpDown() override;

    // Pairs the up-down with `edit` (nullptr unpairs) and writes the current
    // position into it. The up-down does not own the edit.
    void setAssociate(TMyEdit* edit);
    TMyEdit* Associate() const;

    // Bounds are clamped to 16 bits. Changing the range pulls the position
    // into it (and writes it into the edit when that moves it). A range given
    // the wrong way round is used as if given the right way.
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    void SetMin(int value);
    void SetMax(int value);
    void SetRange(int min, int max);

    // The position is clamped to the range. SetPosition always writes the
    // value into the edit, even when the position does not change (an empty
    // edit shows it again).
    int Position() const { return m_position; }
    void SetPosition(int value);

    int Increment() const { return m_increment; }
    void SetIncrement(int value);  // at least 1

    QSize sizeHint() const override;

public slots:
    // One step up or down within the range; the edit shows the result.
    void StepUp();
    void StepDown();

signals:
    // The position changed, by the arrows, SetPosition, the range or typing.
    void positionChanged(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static qint16 clamp16(int value);
    int clampToRange(qint64 value) const;
    void storePosition(int value);
    void writeAssociate();
    void associateEdited(const QString& text);
    void associateFinished();
    void step(int direction);

    qint16 m_min = 0;
    qint16 m_max = 100;
    qint16 m_position = 0;
    int m_increment = 1;
    bool m_writing = false;
    QPointer<TMyEdit> m_associate;
    // The same object as the event filter sees it. The filter still receives
    // events while the edit is being destroyed, when it is no longer a
    // TMyEdit; comparing through m_associate would cast it to one.
    QPointer<QObject> m_filtered;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
};
