#include "retrieval/RetrievalDates.h"

#include <QLocale>

namespace corvina {

RetrievalDates readRetrievalDates(const QString &appFolder, std::optional<RecoveryNotice> *notice)
{
    const Recordset dates = openSavedRecordset(appFolder, QStringLiteral("Dates"), notice);
    const int nameField = dates.fieldIndex(QStringLiteral("Name"));
    const int dateField = dates.fieldIndex(QStringLiteral("Date"));
    RetrievalDates result;
    if (nameField < 0 || dateField < 0)
        return result;

    for (int row = 0; row < dates.storedRowCount(); ++row) {
        const auto &values = dates.storedRow(row);
        const QString name = values[static_cast<size_t>(nameField)].toString();
        const QVariant &date = values[static_cast<size_t>(dateField)];
        std::optional<QDateTime> when;
        if (!date.isNull() && date.toDateTime().isValid())
            when = date.toDateTime();
        if (name == u"Cust")
            result.cust = when;
        else if (name == u"Inv")
            result.inv = when;
    }
    return result;
}

QString generalDateText(const QDateTime &value)
{
    const QLocale locale;
    QString text = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() != QTime(0, 0)) {
        // The locale's short time without seconds would hide part of a retrieval's time.
        QString format = locale.timeFormat(QLocale::ShortFormat);
        if (!format.contains(QLatin1String("ss"))) {
            const qsizetype minutes = format.indexOf(QLatin1String("mm"));
            if (minutes >= 0)
                format.insert(minutes + 2, QLatin1String(":ss"));
        }
        text += QLatin1Char(' ') + locale.toString(value.time(), format);
    }
    return text;
}

} // namespace corvina
