#include "qbxml/DateTime.h"

namespace corvina::qb {

namespace {

bool digits(QByteArrayView text, qsizetype from, qsizetype count, int *value)
{
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

} // namespace

std::optional<DateTime> DateTime::parse(QByteArrayView text)
{
    text = text.trimmed();
    int year, month, day, hour, minute, second;
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || !digits(text, 0, 4, &year) ||
        !digits(text, 5, 2, &month) || !digits(text, 8, 2, &day) || !digits(text, 11, 2, &hour) ||
        !digits(text, 14, 2, &minute) || !digits(text, 17, 2, &second))
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    int offset = 0;
    bool zoned = false;
    const QByteArrayView zone = text.sliced(19);
    if (zone == "Z") {
        zoned = true;
    } else if (!zone.isEmpty()) {
        int hours, minutes;
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' ||
            !digits(zone, 1, 2, &hours) || !digits(zone, 4, 2, &minutes) || hours > 14 ||
            minutes > 59)
            return std::nullopt;
        offset = (hours * 3600 + minutes * 60) * (zone[0] == '-' ? -1 : 1);
        zoned = true;
    }
    DateTime result;
    result.m_time = QDateTime(date, time, Qt::OffsetFromUTC, offset);
    result.m_zoned = zoned;
    return result;
}

DateTime DateTime::fromInstant(const QDateTime &instant, bool zoned)
{
    DateTime result;
    result.m_time = instant.toOffsetFromUtc(instant.offsetFromUtc());
    result.m_zoned = zoned;
    return result;
}

DateTime DateTime::addSecs(qint64 seconds) const
{
    DateTime result = *this;
    result.m_time = m_time.addSecs(seconds);
    return result;
}

QString DateTime::text() const
{
    if (!isValid())
        return {};
    QString out = m_time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!m_zoned)
        return out;
    const int offset = m_time.offsetFromUtc();
    const int magnitude = offset < 0 ? -offset : offset;
    out += QChar(offset < 0 ? u'-' : u'+');
    return out + QStringLiteral("%1:%2")
                     .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
                     .arg(magnitude % 3600 / 60, 2, 10, QLatin1Char('0'));
}

} // namespace corvina::qb
