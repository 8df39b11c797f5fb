#pragma once

#include "localdb/Recordset.h"

#include <QString>

#include <optional>

namespace corvina {

// Saved recordsets: small tables kept as files in the application folder (Dates.adtg,
// ItemTypes.adtg). The file is a JSON document:
//   {"format": "corvina-recordset", "version": 1,
//    "fields": [{"name": "Name", "kind": "text", "size": 20}, ...],
//    "rows": [["Cust", "2026-12-08 09:30:00"], ...]}
// with dates in storage form and null for an empty value.

// The file of a saved recordset: application folder + "/" + name + ".adtg".
QString savedRecordsetPath(const QString &appFolder, const QString &name);

// Reads a whole saved recordset. Throws Error (errc::kFileFailure) naming the file and the
// fault when it cannot be read or is not a well-formed saved recordset.
Recordset loadRecordset(const QString &path);
// Writes the whole recordset (all stored rows, ignoring filter) atomically: the file is
// either the old one or the complete new one. Throws Error on failure.
void saveRecordset(const Recordset &set, const QString &path);

// Makes the empty saved recordset `name` in the application folder: "Dates" has Name (text,
// 20) and Date (date); "ItemTypes" has Type (text, 30); any other name has no fields.
void CreateSavedRecordset(const QString &appFolder, const QString &name);

// What was done about a saved recordset that could not be read.
struct RecoveryNotice {
    QString file;      // the unreadable file
    QString movedTo;   // where it was kept aside (file + ".bad"), empty if it could not be moved
    QString fault;     // why it could not be read
    QString message() const; // a sentence for the user saying all of this
};

// Opens the saved recordset `name`, creating it empty when missing. A file that cannot be
// read is moved aside to "<file>.bad" (replacing an older one), recreated empty, and
// described in *notice; the empty set is returned so the caller can go on.
Recordset openSavedRecordset(const QString &appFolder, const QString &name,
                             std::optional<RecoveryNotice> *notice);

} // namespace corvina
