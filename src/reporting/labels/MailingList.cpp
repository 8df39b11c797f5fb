#include "reporting/labels/MailingList.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "localdb/Recordset.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace corvina {

namespace {

// Letters and digits only, without case: "12 Main St." and "12 main st" are one address.
QString comparable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            out += c.toCaseFolded();
    }
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
    QString city;
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
    const bool hasPlace =
        !entry.city.trimmed().isEmpty() &&
        !(entry.state.trimmed().isEmpty() && entry.zip.trimmed().isEmpty());
    if (streetLines < 1 || !hasPlace || (name.isEmpty() && street.size() < 2))
        return std::nullopt;
    key = comparable(street.join(QString()) + entry.city + entry.state + entry.zip);
    Candidate c;
    if (!addr1Names && !name.isEmpty())
        c.row.lines << name;
    c.row.lines << street << cityLine(entry);
    c.row.zip = entry.zip.simplified();
    c.city = entry.city.simplified();
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
    return c;
}

bool zipOrder(const Candidate &a, const Candidate &b)
{
    // Labels without a zip go last.
    if (a.row.zip.isEmpty() != b.row.zip.isEmpty())
        return b.row.zip.isEmpty();
    if (const int z = a.row.zip.compare(b.row.zip, Qt::CaseInsensitive); z != 0)
        return z < 0;
    if (const int c = a.city.compare(b.city, Qt::CaseInsensitive); c != 0)
        return c < 0;
    if (const int n = a.row.lines.first().compare(b.row.lines.first(), Qt::CaseInsensitive); n != 0)
        return n < 0;
    return a.order < b.order;
}

bool nameOrder(const Candidate &a, const Candidate &b)
{
    if (const int n = a.row.lines.first().compare(b.row.lines.first(), Qt::CaseInsensitive); n != 0)
        return n < 0;
    return a.order < b.order;
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
        std::optional<Candidate> label = list.needsAddress ? postalLabel(entry, key)
                                                           : nameLabel(entry, key);
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
        for (size_t i = 0; i < fields.size(); ++i)
            m_index.insert(fields[i].name.toCaseFolded(), static_cast<int>(i));
    }

    MailingAddress entry(const std::vector<QVariant> &row) const
    {
        MailingAddress a;
        for (const char *field : {"BillAddr1", "BillAddr2", "BillAddr3", "BillAddr4"})
            a.street << text(row, field);
        a.city = text(row, "BillCity");
        a.state = text(row, "BillState");
        a.zip = text(row, "BillZip");
        a.name = addressee(row, a.street.first());
        return a;
    }

private:
    QString text(const std::vector<QVariant> &row, const char *field) const
    {
        const int i = m_index.value(QString::fromLatin1(field).toCaseFolded(), -1);
        return i < 0 || static_cast<size_t>(i) >= row.size() ? QString() : trimmedText(row[size_t(i)]);
    }

    // The company, else the person, else the list name; Addr1 itself when it already names
    // the customer under any of these, so that it is printed once.
    QString addressee(const std::vector<QVariant> &row, const QString &addr1) const
    {
        const QString person =
            QStringList{text(row, "FirstName"), text(row, "LastName")}.join(u' ').trimmed();
        const QStringList names{text(row, "CompanyName"), person, text(row, "Name"),
                                text(row, "FullName")};
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

    QHash<QString, int> m_index;
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
    Statement byId = db.prepare(QStringLiteral("Select %1 From Customers Where ListID = ?")
                                    .arg(columns));
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
