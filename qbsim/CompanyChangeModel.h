#pragma once

// The state of one `changeCompany`: the records as trees where changed, and the operations.
// Private to CompanyChange*.cpp.

#include "qbsim/CompanyChange.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/GeneratorModel.h"
#include "qbsim/XmlTree.h"

#include <QDate>
#include <QHash>
#include <QSet>

#include <functional>
#include <optional>
#include <vector>

namespace corvina::qbsim::change {

struct Record {
    ByteSpan span;               // the original bytes; empty for an added record
    std::optional<Element> tree; // once read or changed
    bool removed = false;
    bool touched = false; // changed or deleted by this change: left alone from then on
    bool added = false;
};

// An instant of the day's work and how it is written.
struct Stamp {
    qint64 epoch = 0;
    QString text;
};

class Changer {
public:
    Changer(const CompanyFile &company, const ChangeOptions &options);
    QByteArray run(QStringList *log);

private:
    // CompanyChange.cpp: the records, times, names and the written file.
    Element &tree(Record &record);
    Stamp nextStamp();
    void stamp(Element &element, const Stamp &when);
    QString newListId(const Stamp &when);
    QString newTxnId(const Stamp &when);
    // Gives every record naming one of `names` (ListID to its new FullName) that name, in
    // references and, for the records themselves, their FullName; times stay as they are.
    void renameEverywhere(const QHash<QString, QString> &names);
    // Reads the records not read yet that name a renamed record, so that they follow.
    void renameUnread();
    // The customers (or items) below `listId`, at any depth, parents before children.
    std::vector<Record *> descendants(std::vector<Record> &list, const QString &listId);
    QString parentId(Record &record);
    bool nameTaken(std::vector<Record> &list, const QString &fullName);
    QByteArray write();
    void writeSection(QByteArray &out, Section section, const std::vector<Record> &records,
                      const std::vector<Element> &added);
    void appendRecord(QByteArray &out, const Record &record, QByteArrayView indent) const;
    void note(const QString &line) { m_log.append(line); }

    // CompanyChangeEdits.cpp: the operations; each false when nothing fits it.
    bool editAmounts();
    bool addLine();
    bool removeLine();
    bool moveDate();
    bool renameCustomer();
    bool deactivateCustomer();
    bool customerToJob();
    bool renameItem();
    bool deleteInvoice();
    bool deleteUnused();
    void addInvoice();
    void addCustomer(bool job);
    // A random record of `list` that is neither touched nor removed and meets `fits`.
    Record *pick(std::vector<Record> &list, const std::function<bool(Record &)> &fits);
    void adjustTotals(Element &invoice, qint64 delta, bool taxable);
    QString companyName();

    const CompanyFile &m_company;
    ChangeOptions m_options;
    gen::Random m_random;
    std::vector<Record> m_customers, m_items, m_invoices;
    std::vector<Element> m_deletedTxns, m_deletedLists;
    std::vector<Stamp> m_stamps;
    std::size_t m_nextStamp = 0;
    QDate m_day; // the day of the work, in the company's time
    std::uint64_t m_listSequence = 0, m_txnSequence = 0;
    qint64 m_txnNumber = 0, m_refNumber = 0;
    QStringList m_log;
    QHash<QString, int> m_listIdUses;  // how often the file names each ListID, once counted
    QHash<QString, QString> m_renamed; // ListID to FullName, of every record renamed so far
};

// Shared by the operations.
bool isLine(const Element &e); // an invoice line or group line
std::vector<qsizetype> topLines(const Element &invoice);
bool isTopLevel(Record &record, const Element &e);
bool isActive(const Element &e);
void setActive(Element &e, bool active);
QString dateText(QDate date);
void shiftDate(Element &e, QStringView name, qint64 days);
Element ref(const QString &name, const QString &listId, const QString &fullName);

// Amounts in hundredths ("12.50", "-3", "0.5"); nullopt for other text or finer values.
std::optional<qint64> parseHundredths(const QString &text);

} // namespace corvina::qbsim::change
