#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace corvina {

// Kinds of column and field the local data uses. Values travel as QVariant: a null QVariant
// is an empty value; otherwise Text → QString, Date → QDateTime (local time, whole seconds),
// Double → double, Boolean → bool, Integer → qint32.
enum class FieldKind { Text, Date, Double, Boolean, Integer };

QString fieldKindName(FieldKind kind);
// Inverse of fieldKindName; false when the name is unknown.
bool fieldKindFromName(const QString &name, FieldKind *kind);

// The storage form of dates in QBData.mdb and the saved recordsets: "YYYY-MM-DD HH:MM:SS".
QString dateToStorage(const QDateTime &value);
// Null QDateTime when the text is not a stored date.
QDateTime dateFromStorage(const QString &text);

// Whether a value holds a number of any integer or floating-point type.
bool isNumeric(const QVariant &value);

} // namespace corvina
