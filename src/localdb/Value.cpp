#include "localdb/Value.h"

#include <array>
#include <utility>

namespace corvina {

namespace {

const std::array<std::pair<FieldKind, const char16_t *>, 5> kKindNames{{
    {FieldKind::Text, u"text"},
    {FieldKind::Date, u"date"},
    {FieldKind::Double, u"double"},
    {FieldKind::Boolean, u"boolean"},
    {FieldKind::Integer, u"integer"},
}};

const QString kStorageFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// "YYYY-MM-DD HH:MM:SS" exactly: digits where digits belong, the separators in place.
bool hasStorageShape(const QString &text)
{
    static constexpr char16_t kShape[] = u"0000-00-00 00:00:00";
    constexpr qsizetype kLength = static_cast<qsizetype>(std::size(kShape)) - 1;
    if (text.size() != kLength)
        return false;
    for (qsizetype i = 0; i < kLength; ++i) {
        const char16_t want = kShape[i];
        const char16_t got = text.at(i).unicode();
        if (want == u'0' ? (got < u'0' || got > u'9') : got != want)
            return false;
    }
    return true;
}

} // namespace

QString fieldKindName(FieldKind kind)
{
    for (const auto &[k, name] : kKindNames) {
        if (k == kind)
            return QString::fromUtf16(name);
    }
    return {};
}

bool fieldKindFromName(const QString &name, FieldKind *kind)
{
    for (const auto &[k, n] : kKindNames) {
        if (name == QStringView(n)) {
            *kind = k;
            return true;
        }
    }
    return false;
}

QString dateToStorage(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    return value.toLocalTime().toString(kStorageFormat);
}

QDateTime dateFromStorage(const QString &text)
{
    if (!hasStorageShape(text))
        return {};
    QDateTime value = QDateTime::fromString(text, kStorageFormat);
    // A local time skipped by a daylight-saving change is not a date we could have stored.
    if (!value.isValid() || value.toString(kStorageFormat) != text)
        return {};
    return value;
}

bool isNumeric(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double: return true;
    default: return false;
    }
}

} // namespace corvina
