#include "localdb/SavedRecordset.h"

#include "base/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <limits>

namespace corvina {

namespace {

const QString kFormatTag = QStringLiteral("corvina-recordset");
constexpr int kVersion = 1;
// Saved recordsets hold a few hundred rows; anything near this size is not one of ours.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// Why a file is not a readable saved recordset, without the file's name.
struct Fault {
    QString what;
};

std::vector<Field> fieldsFor(const QString &name)
{
    if (name == u"Dates")
        return {{QStringLiteral("Name"), FieldKind::Text, 20},
                {QStringLiteral("Date"), FieldKind::Date, 0}};
    if (name == u"ItemTypes")
        return {{QStringLiteral("Type"), FieldKind::Text, 30}};
    return {};
}

bool isWholeNumber(const QJsonValue &json, double low, double high)
{
    if (!json.isDouble())
        return false;
    const double number = json.toDouble();
    return std::trunc(number) == number && number >= low && number <= high;
}

Field readField(const QJsonValue &json, int index)
{
    const QString where = QStringLiteral("field %1").arg(index + 1);
    if (!json.isObject())
        throw Fault{where + QStringLiteral(" is not an object")};
    const QJsonObject object = json.toObject();
    Field field;
    field.name = object.value(u"name").toString();
    if (field.name.isEmpty())
        throw Fault{where + QStringLiteral(" has no name")};
    if (!fieldKindFromName(object.value(u"kind").toString(), &field.kind))
        throw Fault{QStringLiteral("field \"%1\" has an unknown kind").arg(field.name)};
    const QJsonValue size = object.value(u"size");
    if (!size.isUndefined()) {
        if (!isWholeNumber(size, 0, std::numeric_limits<int>::max()))
            throw Fault{QStringLiteral("field \"%1\" has an invalid size").arg(field.name)};
        field.definedSize = size.toInt();
    }
    return field;
}

QVariant readValue(const QJsonValue &json, const Field &field)
{
    if (json.isNull())
        return {};
    switch (field.kind) {
    case FieldKind::Text:
        if (!json.isString())
            throw Fault{QStringLiteral("is not text")};
        if (field.definedSize > 0 && json.toString().size() > field.definedSize)
            throw Fault{QStringLiteral("is longer than %1 characters").arg(field.definedSize)};
        return json.toString();
    case FieldKind::Date: {
        const QDateTime date = dateFromStorage(json.toString());
        if (!date.isValid())
            throw Fault{QStringLiteral("is not a date of the form YYYY-MM-DD HH:MM:SS")};
        return date;
    }
    case FieldKind::Double:
        if (!json.isDouble())
            throw Fault{QStringLiteral("is not a number")};
        return json.toDouble();
    case FieldKind::Boolean:
        if (!json.isBool())
            throw Fault{QStringLiteral("is not true or false")};
        return json.toBool();
    case FieldKind::Integer:
        if (!isWholeNumber(json, std::numeric_limits<qint32>::min(),
                           std::numeric_limits<qint32>::max()))
            throw Fault{QStringLiteral("is not a 32-bit whole number")};
        return static_cast<qint32>(json.toDouble());
    }
    return {};
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Fault{QStringLiteral("cannot be opened: ") + file.errorString()};
    if (file.size() > kMaxFileSize)
        throw Fault{QStringLiteral("it is too large to be a saved recordset")};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Fault{QStringLiteral("cannot be read: ") + file.errorString()};
    return bytes;
}

Recordset readRecordset(const QString &path)
{
    const QByteArray bytes = readBytes(path);
    if (bytes.trimmed().isEmpty())
        throw Fault{QStringLiteral("the file is empty")};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        throw Fault{QStringLiteral("not valid JSON (%1 at byte %2)")
                        .arg(parseError.errorString())
                        .arg(parseError.offset)};
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(u"format").toString() != kFormatTag)
        throw Fault{QStringLiteral("not a saved recordset (its format tag is missing or wrong)")};
    const QJsonValue version = root.value(u"version");
    if (!isWholeNumber(version, kVersion, kVersion)) {
        throw Fault{version.isDouble()
                        ? QStringLiteral("unsupported version %1").arg(version.toDouble())
                        : QStringLiteral("the version is missing")};
    }

    const QJsonValue fieldsJson = root.value(u"fields");
    const QJsonValue rowsJson = root.value(u"rows");
    if (!fieldsJson.isArray())
        throw Fault{QStringLiteral("the field list is missing")};
    if (!rowsJson.isArray())
        throw Fault{QStringLiteral("the row list is missing")};

    Recordset set;
    const QJsonArray fields = fieldsJson.toArray();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const Field field = readField(fields.at(i), static_cast<int>(i));
        if (set.fieldIndex(field.name) >= 0)
            throw Fault{QStringLiteral("field \"%1\" appears twice").arg(field.name)};
        set.appendField(field);
    }

    const QJsonArray rows = rowsJson.toArray();
    const auto &setFields = set.fields();
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QString where = QStringLiteral("row %1").arg(r + 1);
        const QJsonArray row = rows.at(r).toArray();
        if (!rows.at(r).isArray() || row.size() != static_cast<qsizetype>(setFields.size())) {
            throw Fault{where +
                        QStringLiteral(" does not hold exactly %1 values").arg(setFields.size())};
        }
        set.addNew();
        for (size_t f = 0; f < setFields.size(); ++f) {
            try {
                set.setValue(static_cast<int>(f),
                             readValue(row.at(static_cast<qsizetype>(f)), setFields[f]));
            } catch (const Fault &fault) {
                throw Fault{QStringLiteral("%1, field \"%2\": the value %3")
                                .arg(where, setFields[f].name, fault.what)};
            }
        }
    }
    set.moveFirst();
    return set;
}

QJsonValue toJson(const QVariant &value, FieldKind kind)
{
    if (value.isNull())
        return QJsonValue::Null;
    switch (kind) {
    case FieldKind::Text: break;
    case FieldKind::Date: {
        const QString text = dateToStorage(value.toDateTime());
        return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
    }
    case FieldKind::Double: return value.toDouble();
    case FieldKind::Boolean: return value.toBool();
    case FieldKind::Integer: return value.toLongLong();
    }
    return value.toString();
}

void writeRecordset(const Recordset &set, const QString &path)
{
    QJsonArray fields;
    for (const Field &field : set.fields()) {
        fields.append(QJsonObject{{QStringLiteral("name"), field.name},
                                  {QStringLiteral("kind"), fieldKindName(field.kind)},
                                  {QStringLiteral("size"), field.definedSize}});
    }
    QJsonArray rows;
    for (int r = 0; r < set.storedRowCount(); ++r) {
        const std::vector<QVariant> &values = set.storedRow(r);
        QJsonArray row;
        for (size_t f = 0; f < values.size(); ++f)
            row.append(toJson(values[f], set.fields()[f].kind));
        rows.append(row);
    }
    const QJsonObject root{{QStringLiteral("format"), kFormatTag},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("fields"), fields},
                           {QStringLiteral("rows"), rows}};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Fault{QStringLiteral("cannot be written: ") + file.errorString()};
    // A short write (disk full, file size limit) is not always flagged as an error, and
    // commit() would then put the truncated file in place; nor is a failure to write out
    // the buffer of a small file, which commit() would put in place empty.
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("only part of it could be written");
        file.cancelWriting();
        throw Fault{QStringLiteral("cannot be written: ") + reason};
    }
    if (!file.commit())
        throw Fault{QStringLiteral("cannot be written: ") + file.errorString()};
}

// A set that reads but lacks a field the program relies on (Dates.adtg without Date, say)
// would fail only later, when it is written; it counts as unreadable.
void requireFields(const Recordset &set, const QString &name)
{
    for (const Field &needed : fieldsFor(name)) {
        const int index = set.fieldIndex(needed.name);
        if (index < 0)
            throw Fault{QStringLiteral("it lacks the field \"%1\"").arg(needed.name)};
        const FieldKind kind = set.fields()[static_cast<size_t>(index)].kind;
        if (kind != needed.kind) {
            throw Fault{QStringLiteral("its field \"%1\" holds %2 instead of %3")
                            .arg(needed.name, fieldKindName(kind), fieldKindName(needed.kind))};
        }
    }
}

// Why a missing saved recordset is missing: a link to nothing is named as such.
QString missingFault(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        return QStringLiteral("is a link to %1, which does not exist")
            .arg(QFile::symLinkTarget(path));
    }
    return QStringLiteral("is missing");
}

[[noreturn]] void throwFileFailure(const QString &path, const QString &what)
{
    throw Error(errc::kFileFailure, QFileInfo(path).fileName() + QStringLiteral(": ") + what);
}

} // namespace

QString savedRecordsetPath(const QString &appFolder, const QString &name)
{
    return appFolder + QLatin1Char('/') + name + QStringLiteral(".adtg");
}

Recordset loadRecordset(const QString &path)
{
    try {
        return readRecordset(path);
    } catch (const Fault &fault) {
        throwFileFailure(path, fault.what);
    }
}

void saveRecordset(const Recordset &set, const QString &path)
{
    try {
        writeRecordset(set, path);
    } catch (const Fault &fault) {
        throwFileFailure(path, fault.what);
    }
}

void CreateSavedRecordset(const QString &appFolder, const QString &name)
{
    saveRecordset(Recordset(fieldsFor(name)), savedRecordsetPath(appFolder, name));
}

QString RecoveryNotice::message() const
{
    const QString name = QFileInfo(file).fileName();
    if (remakeFault.isEmpty()) {
        if (movedTo.isEmpty()) {
            return QStringLiteral("The file %1 could not be read (%2). It could not be kept aside, "
                                  "and an empty %1 was made in its place; what it held is lost.")
                .arg(name, fault);
        }
        return QStringLiteral("The file %1 could not be read (%2). It was kept as %3, and an empty "
                              "%1 was made in its place; what it held is no longer shown.")
            .arg(name, fault, movedTo);
    }
    QString text = missing ? QStringLiteral("The file %1 %2").arg(name, fault)
                           : QStringLiteral("The file %1 could not be read (%2)").arg(name, fault);
    text += QStringLiteral(", and an empty one could not be made in %1: it %2.")
                .arg(QFileInfo(file).absolutePath(), remakeFault);
    if (!movedTo.isEmpty())
        text += QStringLiteral(" The unreadable file was kept as %1.").arg(movedTo);
    text += QStringLiteral(" Corvina goes on without it; what it would keep cannot be saved until "
                           "this is put right.");
    return text;
}

Recordset openSavedRecordset(const QString &appFolder, const QString &name,
                             std::optional<RecoveryNotice> *notice)
{
    if (notice != nullptr)
        notice->reset();
    const QString path = savedRecordsetPath(appFolder, name);
    const Recordset empty(fieldsFor(name));
    RecoveryNotice recovery;
    recovery.file = path;
    if (!QFileInfo::exists(path)) {
        recovery.missing = true;
        recovery.fault = missingFault(path);
    } else {
        try {
            Recordset set = readRecordset(path);
            requireFields(set, name);
            return set;
        } catch (const Fault &fault) {
            recovery.fault = fault.what;
        }
        const QString aside = path + QStringLiteral(".bad");
        QFile::remove(aside);
        if (QFile::rename(path, aside))
            recovery.movedTo = aside;
    }
    try {
        writeRecordset(empty, path);
        if (recovery.missing)
            return empty; // nothing was wrong that the user needs to know
    } catch (const Fault &fault) {
        recovery.remakeFault = fault.what;
    }
    if (notice != nullptr)
        *notice = std::move(recovery);
    return empty;
}

} // namespace corvina
