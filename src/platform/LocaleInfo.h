#pragma once
// The locale settings the program's fields follow: decimal separator (numbers
// in fields and sequence files), date separator and short date format.
// Tests may override them to check a comma-decimal or other locale.
#include <QChar>
#include <QString>

QChar DecimalSeparator();
QChar DateSeparator();
QString ShortDateFormat();   // e.g. "dd/MM/yyyy" or "M/d/yy"

void SetDecimalSeparator(QChar c);
void SetDateSeparator(QChar c);
void SetShortDateFormat(const QString& format);
