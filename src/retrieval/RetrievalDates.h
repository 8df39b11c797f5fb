#pragma once

#include "localdb/SavedRecordset.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace corvina {

// The retrieval times kept in Dates.adtg.
struct RetrievalDates {
    std::optional<QDateTime> cust; // last customer retrieval
    std::optional<QDateTime> inv;  // last invoice retrieval
};

// Reads Dates.adtg from the application folder, making it empty first when it is missing.
// Rows named exactly "Cust" and "Inv" (case matters) give the times; when a name occurs
// twice the later row wins; other rows are ignored. An unreadable file is kept aside and
// made anew, and *notice says so.
RetrievalDates readRetrievalDates(const QString &appFolder, std::optional<RecoveryNotice> *notice);

// A date-time as the main window shows it: the short date, followed by the time of day
// when that is not midnight.
QString generalDateText(const QDateTime &value);

} // namespace corvina
