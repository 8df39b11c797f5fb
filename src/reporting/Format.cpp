#include "reporting/Format.h"

#include "localdb/Value.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <optional>

namespace corvina::reporting {

namespace {

// ---- value kinds -----------------------------------------------------------------------

bool isInteger(const QVariant &value)
{
    return isNumeric(value) && value.typeId() != QMetaType::Double &&
           value.typeId() != QMetaType::Float;
}

// Text holding a number, in the C locale or the default one.
std::optional<double> numberInText(const QString &text)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    double number = trimmed.toDouble(&ok);
    if (!ok)
        number = QLocale().toDouble(trimmed, &ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// ISO text as the database stores dates: "2024-01-05" or "2024-01-05 13:45:00" (or with 'T').
QDateTime dateTimeInText(const QString &text)
{
    const QString trimmed = text.trimmed();
    QDateTime dateTime = QDateTime::fromString(trimmed, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dateTime.isValid())
        dateTime = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!dateTime.isValid()) {
        const QDate date = QDate::fromString(trimmed, Qt::ISODate);
        if (date.isValid())
            dateTime = QDateTime(date, QTime(0, 0));
    }
    return dateTime;
}

QDateTime asDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate: return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QDateTime: return value.toDateTime();
    case QMetaType::QString: return dateTimeInText(value.toString());
    default: return {};
    }
}

// ---- format sections and literals --------------------------------------------------------

// Splits a format into its ';' sections, keeping quoted text and escapes intact.
QStringList formatSections(const QString &format)
{
    QStringList sections{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && c == u'\\' && i + 1 < format.size()) {
            sections.last() += c;
            sections.last() += format.at(++i);
            continue;
        }
        if (!quoted && c == u';') {
            sections.append(QString());
            continue;
        }
        sections.last() += c;
    }
    return sections;
}

// Whether the format has digit placeholders outside quotes and escapes.
bool isNumberFormat(const QString &format)
{
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'\\')
            ++i;
        else if (!quoted && (c == u'0' || c == u'#'))
            return true;
    }
    return false;
}

// Literal text of a format piece: quotes removed, escapes resolved.
QString literalText(const QString &piece)
{
    QString text;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const QChar c = piece.at(i);
        if (c == u'"')
            continue;
        if (c == u'\\' && i + 1 < piece.size())
            text += piece.at(++i);
        else
            text += c;
    }
    return text;
}

// ---- numbers -----------------------------------------------------------------------------

struct NumberPattern {
    QString prefix;
    QString suffix;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouped = false;
    bool percent = false;
    // A section without digit placeholders prints only its text.
    bool digits = false;
};

NumberPattern parseNumberPattern(const QString &section)
{
    NumberPattern pattern;
    qsizetype first = -1;
    qsizetype last = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u'\\') {
            ++i;
        } else if (!quoted && (c == u'0' || c == u'#' || c == u'.' || c == u',')) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0) {
        pattern.prefix = literalText(section);
        return pattern;
    }
    pattern.digits = true;
    pattern.prefix = literalText(section.left(first));
    pattern.suffix = literalText(section.mid(last + 1));
    pattern.percent = pattern.prefix.contains(u'%') || pattern.suffix.contains(u'%');
    bool afterPoint = false;
    for (qsizetype i = first; i <= last; ++i) {
        const QChar c = section.at(i);
        if (c == u'.') {
            afterPoint = true;
        } else if (c == u',' && !afterPoint) {
            pattern.grouped = true;
        } else if (c == u'0' || c == u'#') {
            if (afterPoint) {
                ++pattern.maxDecimals;
                if (c == u'0')
                    pattern.minDecimals = pattern.maxDecimals;
            } else if (c == u'0') {
                ++pattern.minIntegerDigits;
            }
        }
    }
    return pattern;
}

// The decimal digits of |value| rounded half away from zero to `decimals` places, taken
// from its 15 significant digits so that 2.675 (stored as 2.67499…) rounds to 2.68.
// Returns the digits and sets `integerDigits` to how many of them precede the point.
QString roundedDigits(double value, int decimals, int &integerDigits)
{
    const QString scientific = QString::number(std::fabs(value), 'e', 14);
    const qsizetype e = scientific.indexOf(u'e');
    QString digits = scientific.left(e);
    digits.remove(u'.');
    int point = scientific.mid(e + 1).toInt() + 1;
    while (point < 1) {
        digits.prepend(u'0');
        ++point;
    }
    const qsizetype keep = point + decimals;
    if (keep < digits.size()) {
        const bool up = digits.at(keep) >= u'5';
        digits.truncate(keep);
        for (qsizetype i = keep - 1; up && i >= 0; --i) {
            if (digits.at(i) == u'9') {
                digits[i] = u'0';
                if (i == 0) {
                    digits.prepend(u'1');
                    ++point;
                }
            } else {
                digits[i] = QChar(digits.at(i).unicode() + 1);
                break;
            }
        }
    }
    while (digits.size() < point + decimals)
        digits.append(u'0');
    integerDigits = point;
    return digits;
}

QString groupThousands(const QString &integer, const QString &separator)
{
    QString grouped;
    const qsizetype n = integer.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            grouped += separator;
        grouped += integer.at(i);
    }
    return grouped;
}

// The number without its sign; `isZero` tells whether it rounded to zero.
QString formatMagnitude(double value, const NumberPattern &pattern, bool &isZero)
{
    const QLocale locale;
    if (!pattern.digits)
        return {};
    int integerDigits = 0;
    const QString digits = roundedDigits(value, pattern.maxDecimals, integerDigits);
    isZero = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == u'0'; });

    QString integer = digits.left(integerDigits);
    while (!integer.isEmpty() && integer.at(0) == u'0')
        integer.remove(0, 1);
    while (integer.size() < pattern.minIntegerDigits)
        integer.prepend(u'0');
    QString fraction = digits.mid(integerDigits, pattern.maxDecimals);
    while (fraction.size() > pattern.minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);

    QString text = pattern.grouped ? groupThousands(integer, locale.groupSeparator()) : integer;
    if (!fraction.isEmpty())
        text += locale.decimalPoint() + fraction;
    return text;
}

QString formatNumber(double value, const QString &format)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const QStringList sections = formatSections(format);
    const bool negative = value < 0;
    const bool ownNegativeSection = negative && sections.size() > 1 && !sections.at(1).isEmpty();
    const QString &section = ownNegativeSection ? sections.at(1) : sections.at(0);
    const NumberPattern pattern = parseNumberPattern(section);
    const double scaled = pattern.percent ? value * 100 : value;

    bool isZero = false;
    const QString magnitude = formatMagnitude(scaled, pattern, isZero);
    if (isZero && sections.size() > 2 && !sections.at(2).isEmpty()) {
        const NumberPattern zeroPattern = parseNumberPattern(sections.at(2));
        bool unused = false;
        return zeroPattern.prefix + formatMagnitude(0, zeroPattern, unused) + zeroPattern.suffix;
    }
    const QString sign =
        (negative && !isZero && !ownNegativeSection) ? QStringLiteral("-") : QString();
    return sign + pattern.prefix + magnitude + pattern.suffix;
}

// ---- dates -------------------------------------------------------------------------------

QString padded(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

struct DateToken {
    QChar letter; // lower case
    qsizetype length = 0;
};

bool usesTwelveHourClock(const QString &format)
{
    return format.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive) ||
           format.contains(QLatin1String("A/P"), Qt::CaseInsensitive);
}

QString dateTokenText(const DateToken &token, const QDateTime &dateTime, bool twelveHour,
                      bool minuteContext)
{
    const QLocale locale;
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    const int n = static_cast<int>(token.length);
    switch (token.letter.unicode()) {
    case u'd':
        if (n == 1)
            return QString::number(date.day());
        if (n == 2)
            return padded(date.day(), 2);
        if (n == 3)
            return locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
        if (n == 4)
            return locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
        return locale.toString(date, n == 5 ? QLocale::ShortFormat : QLocale::LongFormat);
    case u'm':
        if (minuteContext && n <= 2)
            return n == 1 ? QString::number(time.minute()) : padded(time.minute(), 2);
        if (n == 1)
            return QString::number(date.month());
        if (n == 2)
            return padded(date.month(), 2);
        return locale.monthName(date.month(), n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
    case u'y':
        if (n == 1)
            return QString::number(date.dayOfYear());
        if (n == 2)
            return padded(date.year() % 100, 2);
        return QString::number(date.year());
    case u'h': {
        int hour = time.hour();
        if (twelveHour)
            hour = hour % 12 == 0 ? 12 : hour % 12;
        return n == 1 ? QString::number(hour) : padded(hour, 2);
    }
    case u'n': return n == 1 ? QString::number(time.minute()) : padded(time.minute(), 2);
    case u's': return n == 1 ? QString::number(time.second()) : padded(time.second(), 2);
    default: return {};
    }
}

// An AM/PM or A/P marker at `i`, written in the format's case; its length, or 0.
qsizetype meridiemAt(const QString &format, qsizetype i, const QTime &time, QString &text)
{
    const bool pm = time.hour() >= 12;
    if (format.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
        const QString am = format.mid(i, 2);
        const QString pmText = format.mid(i + 3, 2);
        text = pm ? pmText : am;
        return 5;
    }
    if (format.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
        text = pm ? format.mid(i + 2, 1) : format.mid(i, 1);
        return 3;
    }
    return 0;
}

QString formatDateTime(const QDateTime &dateTime, const QString &format)
{
    const bool twelveHour = usesTwelveHourClock(format);
    QString text;
    bool afterHour = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        QString marker;
        if (const qsizetype length = meridiemAt(format, i, dateTime.time(), marker)) {
            text += marker;
            i += length;
            continue;
        }
        if (c == u'"') {
            const qsizetype end = format.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            text += format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == u'\\' && i + 1 < format.size()) {
            text += format.at(i + 1);
            i += 2;
            continue;
        }
        const QChar letter = c.toLower();
        if (letter == u'd' || letter == u'm' || letter == u'y' || letter == u'h' ||
            letter == u'n' || letter == u's') {
            qsizetype length = 1;
            while (i + length < format.size() && format.at(i + length).toLower() == letter)
                ++length;
            text += dateTokenText({letter, length}, dateTime, twelveHour, afterHour);
            afterHour = letter == u'h';
            i += length;
            continue;
        }
        text += c;
        ++i;
    }
    return text;
}

// ---- the empty format --------------------------------------------------------------------

QString generalText(const QVariant &value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate: return locale.toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QTime: return locale.toString(value.toTime(), QLocale::ShortFormat);
    case QMetaType::QDateTime: {
        const QDateTime dateTime = value.toDateTime();
        QString text = locale.toString(dateTime.date(), QLocale::ShortFormat);
        if (dateTime.time() != QTime(0, 0))
            text += u' ' + locale.toString(dateTime.time(), QLocale::ShortFormat);
        return text;
    }
    default: break;
    }
    if (isInteger(value))
        return value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong
                   ? locale.toString(value.toULongLong())
                   : locale.toString(value.toLongLong());
    if (isNumeric(value))
        return locale.toString(value.toDouble(), 'g', 15);
    return value.toString();
}

} // namespace

QString formatValue(const QVariant &value, const QString &format)
{
    if (value.isNull() || !value.isValid())
        return {};
    if (format.isEmpty())
        return generalText(value);
    if (isNumberFormat(format)) {
        if (isNumeric(value))
            return formatNumber(value.toDouble(), format);
        if (value.typeId() == QMetaType::QString) {
            if (const std::optional<double> number = numberInText(value.toString()))
                return formatNumber(*number, format);
        }
        return generalText(value);
    }
    const QDateTime dateTime = asDateTime(value);
    if (dateTime.isValid())
        return formatDateTime(dateTime, format);
    return generalText(value);
}

} // namespace corvina::reporting
