#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace corvina::qb {

// A qbXML date-time, "YYYY-MM-DDThh:mm:ss" followed by a UTC offset ("-05:00"), "Z" or
// nothing. Values compare as instants; one without an offset counts as UTC. The form it was
// read in is kept, so a value handed back to QuickBooks (a "modified since" bound) means to
// QuickBooks exactly what it meant when QuickBooks wrote it.
class DateTime {
public:
    DateTime() = default;

    // Nothing when the text is not such a date-time.
    static std::optional<DateTime> parse(QByteArrayView text);
    static std::optional<DateTime> fromText(const QString &text)
    {
        return parse(QByteArrayView(text.toLatin1()));
    }
    // An instant written with the offset it carries (none when `zoned` is false).
    static DateTime fromInstant(const QDateTime &instant, bool zoned = true);

    bool isValid() const { return m_time.isValid(); }
    // The instant, with the offset it was written with (0 for "Z" and for none).
    const QDateTime &instant() const noexcept { return m_time; }
    bool zoned() const noexcept { return m_zoned; }
    // The same form, moved by `seconds`.
    DateTime addSecs(qint64 seconds) const;
    // The qbXML text: the local time of its offset, then the offset unless there was none.
    QString text() const;

    friend bool operator<(const DateTime &a, const DateTime &b) { return a.m_time < b.m_time; }
    friend bool operator==(const DateTime &a, const DateTime &b) { return a.m_time == b.m_time; }

private:
    QDateTime m_time;
    bool m_zoned = false;
};

} // namespace corvina::qb
