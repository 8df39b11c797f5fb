// The company generator's value formats: numbers, dates and moments as qbXML writes them,
// identifiers and listing keys.

#include "qbsim/GeneratorModel.h"

namespace corvina::qbsim::gen {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;

QDate nthSunday(int year, int month, int n)
{
    const QDate first(year, month, 1);
    return first.addDays((7 - first.dayOfWeek()) % 7 + 7 * (n - 1));
}

} // namespace

QString twoDigits(qint64 value)
{
    return value < 10 ? u'0' + QString::number(value) : QString::number(value);
}

QString hundredths(qint64 value)
{
    const qint64 magnitude = value < 0 ? -value : value;
    QString text = value < 0 ? u"-"_s : QString();
    text += QString::number(magnitude / 100);
    text += u'.';
    text += twoDigits(magnitude % 100);
    return text;
}

QString quantityText(qint64 value)
{
    QString text = hundredths(value);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString dateText(QDate date)
{
    return date.toString(Qt::ISODate);
}

int Moment::utcOffsetHours() const
{
    const int year = date.year();
    return date >= nthSunday(year, 3, 2) && date < nthSunday(year, 11, 1) ? -4 : -5;
}

qint64 Moment::epoch() const
{
    return (date.toJulianDay() - kUnixEpochJulianDay) * 86400 + seconds - utcOffsetHours() * 3600;
}

QString Moment::text() const
{
    const int offset = utcOffsetHours();
    return dateText(date) + u'T' + twoDigits(seconds / 3600) + u':' + twoDigits(seconds / 60 % 60) +
           u':' + twoDigits(seconds % 60) + (offset < 0 ? u'-' : u'+') +
           twoDigits(offset < 0 ? -offset : offset) + u":00"_s;
}

Moment officeMoment(Random &random, QDate date)
{
    return {date, random.betweenInt(8 * 3600, 18 * 3600)};
}

Moment laterMoment(Random &random, const Moment &from, QDate last)
{
    const qint64 days = from.date.daysTo(last);
    if (days <= 0)
        return from;
    return officeMoment(random, from.date.addDays(random.between(1, days)));
}

QString sequenceId(std::uint64_t sequence, qint64 epoch)
{
    return QString::number(sequence, 16).toUpper() + u'-' + QString::number(epoch);
}

QString sortKey(const QString &fullName)
{
    QString key = fullName.toCaseFolded();
    key.replace(u':', QChar(1));
    return key;
}

} // namespace corvina::qbsim::gen
