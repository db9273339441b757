#pragma once
// The single-line edit used on every form: a QLineEdit plus a character
// filter (digits only, a decimal number, a date typed key by key, or a
// capitalisation rewrite after each key), a century choice for dates, and an
// optional range check made when the field is left: an invalid field beeps
// and takes the focus back. Forms use it as a promoted QLineEdit (header
// "controls/TMyEdit.h"); the filter can be set by name as the dynamic
// property "CharFilter" (e.g. "chNumber"), the century as "DateAge".
//
// Setting the filter empties the field and clears its bounds, so a form must
// set the filter before any initial text.
#include "controls/CharFilterType.h"
#include "controls/TStringCaps.h"

#include <QLineEdit>
#include <QVariant>

class TMyEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(TandexaControls::CharFilterType CharFilter READ CharFilter WRITE SetCharFilter)
    Q_PROPERTY(TandexaControls::DateAgeType DateAge READ DateAge WRITE SetDateAge)

public:
    explicit TMyEdit(QWidget* parent = nullptr);
    ~TMyEdit() override;

    CharFilterType CharFilter() const { return m_charFilter; }
    // Does nothing when unchanged. Otherwise stores the filter, sets DateAge
    // to dtNone unless the filter is chDate, unsets both bounds, empties the
    // text and reapplies the capitalisation filter.
    void SetCharFilter(CharFilterType filter);

    DateAgeType DateAge() const { return m_dateAge; }
    void SetDateAge(DateAgeType age) { m_dateAge = age; }

    // Range bounds of ValidData; an invalid QVariant or empty text unsets.
    // chNumber/chDecimal take numbers, chDate takes QDate or a date text.
    void SetMinValue(const QVariant& value) { m_minValue = value; }
    void SetMaxValue(const QVariant& value) { m_maxValue = value; }
    QVariant MinValue() const { return m_minValue; }
    QVariant MaxValue() const { return m_maxValue; }

    // The range check: true for an empty text, for fields without bounds and
    // for filters other than chNumber, chDecimal and chDate.
    bool ValidData() const;

    // Reapplies the capitalisation filter to the whole text, keeping the
    // selection; an unchanged text is not set again (no textChanged).
    void UpdEdit();

    const TStringCaps& Caps() const { return m_caps; }

signals:
    // The field was left (after the range check; also when it failed).
    void Exit();

protected:
    // Filters one typed character as the field's filter says.
    void keyPressEvent(QKeyEvent* event) override;
    // After the standard step, UpdEdit.
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // The focus-leaving step: when ValidData fails, beep and take the focus
    // back once the focus change has completed; then emit Exit.
    virtual void DoExit();

private:
    void reclaimFocus();

    CharFilterType m_charFilter = chDefault;
    DateAgeType m_dateAge = dtCurrent;
    QVariant m_minValue;
    QVariant m_maxValue;
    TStringCaps m_caps;
};
