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

// What was done about a saved recordset that could not be read or made.
struct RecoveryNotice {
    QString file;            // the saved recordset's file
    QString fault;           // why it could not be read; for a missing file, "is missing" or why
    QString movedTo;         // where it was kept aside (file + ".bad"), empty if it was not moved
    QString remakeFault;     // why no empty file could be made in its place; empty when one was
    bool missing = false;    // the file was not there (a link to nothing counts as missing)
    QString message() const; // a sentence for the user saying all of this
};

// Opens the saved recordset `name`, creating it empty when missing. A file that cannot be
// read, or that lacks a field the set is made with ("Dates" without "Date", say), is moved
// aside to "<file>.bad" (replacing an older one) and recreated empty. Whatever cannot be done
// (the folder is read-only, the name is a link to nowhere) throws nothing: it is described
// in *notice and the empty set is returned, so the caller can go on without the file. A
// missing file made anew gives no notice.
Recordset openSavedRecordset(const QString &appFolder, const QString &name,
                             std::optional<RecoveryNotice> *notice);

} // namespace corvina
