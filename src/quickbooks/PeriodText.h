#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace corvina {

// Dates typed into the retrieval period dialog. Numeric dates are read in the locale's order
// of day and month (month first in a month-first locale such as the US), with "/", "-" or
// "." between the parts; a two-digit year means 1930–2029. The locale's own short and long
// forms and ISO dates (2024-01-05) are read too. Nothing is read from text that is not a
// whole date.
std::optional<QDate> readTypedDate(const QString &text, const QLocale &locale = QLocale());

// The normalised form of a typed date: two-digit month, two-digit day and four-digit year,
// separated by the locale's date separator, in the locale's order of day and month
// ("01/05/2024" for 5 January 2024 in a month-first locale).
QString typedDateText(QDate date, const QLocale &locale = QLocale());

} // namespace corvina
