#include "quickbooks/PeriodText.h"

#include <QRegularExpression>

namespace corvina {

namespace {

// Whether the locale writes numeric dates day first. A locale without a numeric short form
// (the C locale writes "8 Dec 2026") reads them month first, like the normalised form.
bool dayFirst(const QLocale &locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    if (format.contains(QLatin1String("MMM")))
        return false;
    const qsizetype day = format.indexOf(u'd');
    const qsizetype month = format.indexOf(u'M');
    return day >= 0 && month >= 0 && day < month;
}

QChar separator(const QLocale &locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    if (format.contains(QLatin1String("MMM")))
        return u'/';
    for (QChar c : format) {
        if (c == u'/' || c == u'.' || c == u'-')
            return c;
    }
    return u'/';
}

int fullYear(const QString &digits)
{
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

} // namespace

std::optional<QDate> readTypedDate(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;

    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{1,4})[/.-](\\d{1,2})[/.-](\\d{1,4})$"));
    if (const auto m = numeric.match(trimmed); m.hasMatch()) {
        QDate date;
        if (m.captured(1).size() == 4) // year first: 2024-01-05
            date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        else if (m.captured(3).size() != 3) {
            const int first = m.captured(1).toInt();
            const int second = m.captured(2).toInt();
            const int year = fullYear(m.captured(3));
            date = dayFirst(locale) ? QDate(year, second, first) : QDate(year, first, second);
        }
        if (date.isValid())
            return date;
        return std::nullopt;
    }
    for (auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDate date = locale.toDate(trimmed, format);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

QString typedDateText(QDate date, const QLocale &locale)
{
    const QString sep(separator(locale));
    const QString format = dayFirst(locale) ? QStringLiteral("dd%1MM%1yyyy").arg(sep)
                                            : QStringLiteral("MM%1dd%1yyyy").arg(sep);
    return date.toString(format);
}

} // namespace corvina
