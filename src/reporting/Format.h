#pragma once

#include <QString>
#include <QVariant>

namespace corvina::reporting {

// A value as a report or grid prints it, in the default QLocale:
// - a null value: empty;
// - numbers with a number format such as "#,##0.00", "0", "0.0%", "$#,##0" ('0' a digit
//   always shown, '#' a digit shown when significant, ',' between digit placeholders
//   groups thousands, '.' the decimal point); halves round away from zero on the value's
//   15 significant decimal digits, so 2.675 prints 2.68; negatives get a leading minus;
//   text holding a number is read as one;
// - dates and date-times with a date format built of d, dd, ddd, dddd, M, MM, MMM, MMMM,
//   yy, yyyy (either case; also h, hh, n, nn, s, ss and AM/PM for the time), any other
//   character printed as it is, "\x" and "quoted text" as literals; ISO text
//   ("2024-01-05" or "2024-01-05 13:45:00") is read as a date;
// - an empty format: numbers as they are (up to 15 significant digits), dates in the
//   locale's short date form, date-times too, followed by the short time when the time
//   is not midnight; booleans as True/False; text as it is.
// A value that does not fit the format (text under a number format) prints as it is.
QString formatValue(const QVariant &value, const QString &format);

} // namespace corvina::reporting
