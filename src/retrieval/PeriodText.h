#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace corvina {

// Dates typed into the retrieval period dialog, read the same way by the dialog and by the
// invoice retrieval. Read are:
// - numeric dates in the locale's order of day and month (month first in a month-first
//   locale such as the US), with "/", "-" or "." between the parts, with or without a year
//   ("1/5/2024", "1/5/24", "1/5"), and ISO dates ("2024-01-05");
// - dates with the month's name, in the locale's language or in English, optionally after
//   the day's name ("Jan 5, 2024", "January 5 2024", "5 Jan 2024", "Friday, 5 January 24");
// - anything else the locale's short or long date form reads.
// A time of day after the date ("1/5/2024 10:00", "10:00:15 PM") is ignored. A date without a
// year is in `today`'s year; a two-digit year is the one ending in those digits among the 80
// years before `today`'s year and the 19 after it. Nothing is read from text that is not a
// whole date.
std::optional<QDate> readTypedDate(const QString &text, QDate today,
                                   const QLocale &locale = QLocale());

// The normalised form of a typed date: two-digit month, two-digit day and four-digit year,
// separated by the locale's date separator, in the locale's order of day and month
// ("01/05/2024" for 5 January 2024 in a month-first locale).
QString typedDateText(QDate date, const QLocale &locale = QLocale());

} // namespace corvina
