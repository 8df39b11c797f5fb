#include "reporting/labels/MailingList.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "localdb/Recordset.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

namespace corvina {

namespace {

// Letters and digits only, without case: "12 Main St." and "12 main st" are one address.
QString comparable(const QString &text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar *end = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            if ((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z'))
                *end++ = c;
            else if (u >= u'A' && u <= u'Z')
                *end++ = QChar(static_cast<char16_t>(u + (u'a' - u'A')));
        } else if (c.isLetterOrNumber()) {
            *end++ = c.toCaseFolded();
        }
    }
    out.truncate(end - out.constData());
    return out;
}

QString trimmedText(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().simplified();
}

QStringList nonEmpty(const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            out << line.simplified();
    }
    return out;
}

QString cityLine(const MailingAddress &entry)
{
    QString line = entry.city.simplified();
    const QString stateZip =
        QStringList{entry.state.simplified(), entry.zip.simplified()}.join(u' ').trimmed();
    if (!line.isEmpty() && !stateZip.isEmpty())
        line += QStringLiteral(", ");
    return line + stateZip;
}

struct Candidate {
    LabelRow row;
    // Sort keys, folded once: zip, city and first line.
    QString zipKey;
    QString cityKey;
    QString nameKey;
    int order = 0;
};

// A postal label: the name unless the first street line already names the addressee, the
// street lines, then the city line. Null when the address cannot carry mail.
std::optional<Candidate> postalLabel(const MailingAddress &entry, QString &key)
{
    QStringList street = nonEmpty(entry.street);
    const QString name = entry.name.simplified();
    const bool addr1Names = !street.isEmpty() && comparable(street.first()) == comparable(name);
    const int streetLines = static_cast<int>(street.size()) - (addr1Names ? 1 : 0);
    const bool hasPlace = !entry.city.trimmed().isEmpty() &&
                          !(entry.state.trimmed().isEmpty() && entry.zip.trimmed().isEmpty());
    if (streetLines < 1 || !hasPlace || (name.isEmpty() && street.size() < 2))
        return std::nullopt;
    key = comparable(street.join(QString()) + entry.city + entry.state + entry.zip);
    Candidate c;
    if (!addr1Names && !name.isEmpty())
        c.row.lines << name;
    c.row.lines << street << cityLine(entry);
    c.row.zip = entry.zip.simplified();
    c.zipKey = c.row.zip.toCaseFolded();
    c.cityKey = entry.city.simplified().toCaseFolded();
    c.nameKey = c.row.lines.first().toCaseFolded();
    return c;
}

// A label for a list without addresses: the name, and below it any street lines given.
std::optional<Candidate> nameLabel(const MailingAddress &entry, QString &key)
{
    Candidate c;
    c.row.lines = nonEmpty(QStringList{entry.name} + entry.street);
    if (c.row.lines.isEmpty())
        return std::nullopt;
    key = comparable(c.row.lines.join(QString()));
    c.nameKey = c.row.lines.first().toCaseFolded();
    return c;
}

bool zipOrder(const Candidate &a, const Candidate &b)
{
    // Labels without a zip go last.
    if (a.zipKey.isEmpty() != b.zipKey.isEmpty())
        return b.zipKey.isEmpty();
    return std::tie(a.zipKey, a.cityKey, a.nameKey, a.order) <
           std::tie(b.zipKey, b.cityKey, b.nameKey, b.order);
}

bool nameOrder(const Candidate &a, const Candidate &b)
{
    return std::tie(a.nameKey, a.order) < std::tie(b.nameKey, b.order);
}

} // namespace

LabelRows labelRows(const MailingList &list)
{
    LabelRows result;
    std::vector<Candidate> candidates;
    candidates.reserve(list.entries.size());
    QSet<QString> seen;
    seen.reserve(static_cast<qsizetype>(list.entries.size()));
    for (const MailingAddress &entry : list.entries) {
        QString key;
        std::optional<Candidate> label =
            list.needsAddress ? postalLabel(entry, key) : nameLabel(entry, key);
        if (!label) {
            ++result.unusable;
            continue;
        }
        if (seen.contains(key)) {
            ++result.duplicates;
            continue;
        }
        seen.insert(key);
        label->order = static_cast<int>(candidates.size());
        candidates.push_back(std::move(*label));
    }
    std::sort(candidates.begin(), candidates.end(), list.needsAddress ? zipOrder : nameOrder);
    result.labels.reserve(candidates.size());
    for (Candidate &c : candidates)
        result.labels.push_back(std::move(c.row));
    return result;
}

namespace {

class CustomerColumns {
public:
    explicit CustomerColumns(const std::vector<Field> &fields)
    {
        QHash<QString, int> index;
        for (size_t i = 0; i < fields.size(); ++i)
            index.insert(fields[i].name.toCaseFolded(), static_cast<int>(i));
        for (size_t c = 0; c < kColumns.size(); ++c)
            m_column[c] = index.value(QString::fromLatin1(kColumns[c]).toCaseFolded(), -1);
    }

    MailingAddress entry(const std::vector<QVariant> &row) const
    {
        MailingAddress a;
        a.street =
            QStringList{text(row, Addr1), text(row, Addr2), text(row, Addr3), text(row, Addr4)};
        a.city = text(row, City);
        a.state = text(row, State);
        a.zip = text(row, Zip);
        a.name = addressee(row, a.street.first());
        return a;
    }

private:
    enum Column { Name, Company, First, Last, Full, Addr1, Addr2, Addr3, Addr4, City, State, Zip };
    static constexpr std::array<const char *, 12> kColumns = {
        "Name",      "CompanyName", "FirstName", "LastName", "FullName",  "BillAddr1",
        "BillAddr2", "BillAddr3",   "BillAddr4", "BillCity", "BillState", "BillZip"};

    QString text(const std::vector<QVariant> &row, Column column) const
    {
        const int i = m_column[static_cast<size_t>(column)];
        return i < 0 || static_cast<size_t>(i) >= row.size() ? QString()
                                                             : trimmedText(row[size_t(i)]);
    }

    // The company, else the person, else the list name; Addr1 itself when it already names
    // the customer under any of these, so that it is printed once.
    QString addressee(const std::vector<QVariant> &row, const QString &addr1) const
    {
        const QString person = QStringList{text(row, First), text(row, Last)}.join(u' ').trimmed();
        const QStringList names{text(row, Company), person, text(row, Name), text(row, Full)};
        const QString first = comparable(addr1);
        for (const QString &n : names) {
            if (!first.isEmpty() && comparable(n) == first)
                return addr1;
        }
        for (const QString &n : names) {
            if (!n.isEmpty())
                return n;
        }
        return {};
    }

    std::array<int, kColumns.size()> m_column{};
};

} // namespace

MailingList mailingListFromCustomers(const Recordset &customers, const QString &title)
{
    MailingList list{title, {}, true};
    const CustomerColumns columns(customers.fields());
    list.entries.reserve(static_cast<size_t>(customers.storedRowCount()));
    for (int r = 0; r < customers.storedRowCount(); ++r)
        list.entries.push_back(columns.entry(customers.storedRow(r)));
    return list;
}

MailingList mailingListForCustomerIds(Database &db, const QStringList &listIds,
                                      const QString &title)
{
    const QString columns = QStringLiteral(
        "Name, CompanyName, FirstName, LastName, FullName, BillAddr1, BillAddr2, BillAddr3, "
        "BillAddr4, BillCity, BillState, BillZip");
    Statement byId =
        db.prepare(QStringLiteral("Select %1 From Customers Where ListID = ?").arg(columns));
    std::optional<Statement> byJob;
    if (hasTable(db, QStringLiteral("CustomerJobs")))
        byJob.emplace(db.prepare(QStringLiteral("Select %1 From Customers Where ListID = "
                                                "(Select CustListID From CustomerJobs Where "
                                                "ListID = ? Limit 1)")
                                     .arg(columns)));
    std::vector<Field> fields;
    for (const QString &name : columns.split(QStringLiteral(", ")))
        fields.push_back(Field{name, FieldKind::Text, 0});
    const CustomerColumns read(fields);
    MailingList list{title, {}, true};
    for (const QString &id : listIds) {
        Statement *found = nullptr;
        for (Statement *s : {&byId, byJob ? &*byJob : nullptr}) {
            if (s && (s->reset(), s->bind(1, id).step())) {
                found = s;
                break;
            }
        }
        if (!found)
            continue;
        const QVariantList values = found->values();
        list.entries.push_back(read.entry(std::vector<QVariant>(values.begin(), values.end())));
        found->reset();
    }
    return list;
}

MailingList mailingListFromReps(const Recordset &reps, const QString &title)
{
    MailingList list{title, {}, false};
    const int rep = reps.fieldIndex(QStringLiteral("Rep"));
    const int name = reps.fieldIndex(QStringLiteral("Name"));
    for (int r = 0; r < reps.storedRowCount(); ++r) {
        const std::vector<QVariant> &row = reps.storedRow(r);
        const QString shortName = rep < 0 ? QString() : trimmedText(row[size_t(rep)]);
        const QString fullName = name < 0 ? QString() : trimmedText(row[size_t(name)]);
        MailingAddress entry;
        entry.name = fullName.isEmpty() ? shortName : fullName;
        if (!fullName.isEmpty() && !shortName.isEmpty() &&
            comparable(fullName) != comparable(shortName))
            entry.street << shortName;
        list.entries.push_back(entry);
    }
    return list;
}

} // namespace corvina
