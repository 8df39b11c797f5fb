#include "retrieval/PeriodText.h"

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

// The year ending in `twoDigits` among the 80 years before `todayYear` and the 19 after.
int windowedYear(int twoDigits, int todayYear)
{
    int year = todayYear - todayYear % 100 + twoDigits;
    if (year > todayYear + 19)
        year -= 100;
    else if (year < todayYear - 80)
        year += 100;
    return year;
}

// A typed year: one or two digits are placed in the window around today, four are taken as
// they are; three are refused (0).
int typedYear(const QString &digits, QDate today)
{
    if (digits.size() == 4)
        return digits.toInt();
    if (digits.size() <= 2)
        return windowedYear(digits.toInt(), today.year());
    return 0;
}

std::optional<QDate> validDate(int year, int month, int day)
{
    const QDate date(year, month, day);
    if (year == 0 || !date.isValid())
        return std::nullopt;
    return date;
}

// The text without a time of day after the date ("1/5/2024 10:00", "Jan 5, 2024 10:00 PM").
QString withoutTime(const QString &text)
{
    static const QRegularExpression time(QStringLiteral(
        "^(.*[^\\s,])(?:,?\\s+|(?<=[0-9])T)[0-9]{1,2}:[0-9]{2}(?::[0-9]{2}(?:[.,][0-9]+)?)?"
        "(?:\\s*[AaPp]\\.?\\s*[Mm]\\.?)?$"));
    const auto match = time.match(text);
    return match.hasMatch() ? match.captured(1) : text;
}

// "1/5/2024", "1-5-24", "1/5" (this year), "2024-01-05". Nothing when the text is not of
// this shape; an invalid date when it is but names no day.
std::optional<std::optional<QDate>> readNumeric(const QString &text, QDate today,
                                                const QLocale &locale)
{
    static const QRegularExpression numeric(
        QStringLiteral("^([0-9]{1,4})[/.-]([0-9]{1,2})(?:[/.-]([0-9]{1,4}))?\\.?$"));
    const auto m = numeric.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QString first = m.captured(1);
    const int second = m.captured(2).toInt();
    const QString last = m.captured(3);
    if (first.size() == 4) { // year first: 2024-01-05
        if (last.isEmpty() || last.size() > 2)
            return std::optional<QDate>();
        return validDate(first.toInt(), second, last.toInt());
    }
    if (first.size() > 2)
        return std::optional<QDate>();
    const int year = last.isEmpty() ? today.year() : typedYear(last, today);
    return dayFirst(locale) ? validDate(year, second, first.toInt())
                            : validDate(year, first.toInt(), second);
}

bool sameWord(const QString &word, QString name)
{
    if (name.endsWith(u'.'))
        name.chop(1);
    return !name.isEmpty() && word.compare(name, Qt::CaseInsensitive) == 0;
}

// 1-12 for a month's name or short name in the locale's language or in English; else 0.
int monthNumber(const QString &word, const QLocale &locale)
{
    for (const QLocale &names : {locale, QLocale::c()}) {
        for (int month = 1; month <= 12; ++month) {
            for (auto form : {QLocale::LongFormat, QLocale::ShortFormat}) {
                if (sameWord(word, names.monthName(month, form)) ||
                    sameWord(word, names.standaloneMonthName(month, form)))
                    return month;
            }
        }
    }
    return 0;
}

bool isDayName(const QString &word, const QLocale &locale)
{
    for (const QLocale &names : {locale, QLocale::c()}) {
        for (int day = 1; day <= 7; ++day) {
            for (auto form : {QLocale::LongFormat, QLocale::ShortFormat}) {
                if (sameWord(word, names.dayName(day, form)))
                    return true;
            }
        }
    }
    return false;
}

bool onlySeparators(QStringView text)
{
    for (QChar c : text) {
        if (!c.isSpace() && c != u',' && c != u'.' && c != u'/' && c != u'-')
            return false;
    }
    return true;
}

// "Jan 5, 2024", "January 5 2024", "5 Jan 2024", "5-Jan-24", "Jan 5" (this year), each
// optionally after the day's name. Nothing when the text holds anything else.
std::optional<QDate> readWithMonthName(const QString &text, QDate today, const QLocale &locale)
{
    static const QRegularExpression token(QStringLiteral("[0-9]+|\\p{L}+"));
    int month = 0;
    bool dayName = false;
    QStringList numbers;
    qsizetype end = 0;
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (!onlySeparators(QStringView(text).mid(end, m.capturedStart() - end)))
            return std::nullopt;
        end = m.capturedEnd();
        const QString word = m.captured();
        if (word.front().isDigit()) {
            numbers.append(word);
        } else if (const int named = monthNumber(word, locale); named > 0 && month == 0) {
            month = named;
        } else if (!dayName && month == 0 && numbers.isEmpty() && isDayName(word, locale)) {
            dayName = true;
        } else {
            return std::nullopt;
        }
    }
    if (month == 0 || !onlySeparators(QStringView(text).mid(end)))
        return std::nullopt;
    if (numbers.size() == 1 && numbers[0].size() <= 2)
        return validDate(today.year(), month, numbers[0].toInt());
    if (numbers.size() != 2)
        return std::nullopt;
    if (numbers[0].size() == 4 && numbers[1].size() <= 2) // 2024 Jan 5
        return validDate(numbers[0].toInt(), month, numbers[1].toInt());
    if (numbers[0].size() > 2)
        return std::nullopt;
    return validDate(typedYear(numbers[1], today), month, numbers[0].toInt());
}

// The locale's own short and long forms; a two-digit year they read is placed in the
// window around today like any other.
std::optional<QDate> readLocaleForm(const QString &text, QDate today, const QLocale &locale)
{
    for (auto form : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString format = locale.dateFormat(form);
        const QDate date = locale.toDate(text, format);
        if (!date.isValid())
            continue;
        if (format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy")))
            return validDate(windowedYear(date.year() % 100, today.year()), date.month(),
                             date.day());
        return date;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDate> readTypedDate(const QString &text, QDate today, const QLocale &locale)
{
    const QString date = withoutTime(text.trimmed());
    if (date.isEmpty())
        return std::nullopt;
    if (const auto numeric = readNumeric(date, today, locale))
        return *numeric;
    if (const auto named = readWithMonthName(date, today, locale))
        return named;
    return readLocaleForm(date, today, locale);
}

QString typedDateText(QDate date, const QLocale &locale)
{
    const QString sep(separator(locale));
    const QString format = dayFirst(locale) ? QStringLiteral("dd%1MM%1yyyy").arg(sep)
                                            : QStringLiteral("MM%1dd%1yyyy").arg(sep);
    return date.toString(format);
}

} // namespace corvina
