// The company generator's entry: the company as the answers of the four list
// queries, one qbXML 2.1 response document written with QXmlStreamWriter. Customers, items and
// reps are held in memory; invoices are made block by block on several threads and streamed
// out in order, so memory stays small however many are asked for.

#include "qbsim/Generator.h"
#include "qbsim/GeneratorModel.h"
#include "qbsim/GeneratorWriter.h"

#include <QIODevice>
#include <QThread>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstring>
#include <thread>

namespace corvina::qbsim {
namespace {

using namespace Qt::StringLiterals;
using namespace gen;

// Collects QXmlStreamWriter's many small writes (every tag, name and indent is one) and, given
// a target, passes them on in large blocks; without one it keeps everything.
class BlockDevice : public QIODevice {
public:
    explicit BlockDevice(QIODevice *target = nullptr) : m_target(target)
    {
        m_block.resize(kBlockSize);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }

    QByteArrayView collected() const { return QByteArrayView(m_block.constData(), m_used); }

    // Passes the collected bytes on; false once a write to the target has failed.
    bool passOn()
    {
        if (!m_failed && m_target && m_used > 0) {
            m_failed = m_target->write(m_block.constData(), m_used) != m_used;
            m_used = 0;
        }
        return !m_failed;
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_used + size > m_block.size() && m_target && !passOn())
            return -1;
        if (m_used + size > m_block.size())
            m_block.resize(std::max(m_block.size() * 2, m_used + size));
        std::memcpy(m_block.data() + m_used, data, static_cast<std::size_t>(size));
        m_used += size;
        return size;
    }

private:
    static constexpr qsizetype kBlockSize = 1 << 18;
    QIODevice *m_target;
    QByteArray m_block;
    qsizetype m_used = 0;
    bool m_failed = false;
};

// Writes one block of invoices on its own writer. The writer is first brought to where the
// document's writer stands after an invoice, so the block's bytes are exactly those that writer
// would produce for these invoices.
QByteArray invoiceBlock(const Company &company, InvoiceCursor cursor, qint64 count)
{
    BlockDevice device;
    RecordWriter writer(device, company);
    QXmlStreamWriter &xml = writer.xml();
    for (const QString &name : {u"QBXML"_s, u"QBXMLMsgsRs"_s, u"InvoiceQueryRs"_s, u"InvoiceRet"_s})
        xml.writeStartElement(name);
    xml.writeEndElement();
    const qsizetype start = device.collected().size();
    for (qint64 i = 0; i < count; ++i)
        writer.writeInvoice(nextInvoice(company, cursor));
    return device.collected().sliced(start).toByteArray();
}

// Writes the invoices: the first on the document's writer, the others in blocks made on several
// threads, a few blocks at a time, and passed on in order. False when writing failed.
bool writeInvoices(RecordWriter &writer, QIODevice &device, const Company &company,
                   const InvoicePlan &plan)
{
    if (plan.count == 0)
        return true;
    InvoiceCursor first = plan.starts.front();
    writer.writeInvoice(nextInvoice(company, first));
    const std::size_t threads =
        static_cast<std::size_t>(std::clamp(QThread::idealThreadCount(), 1, 8));
    for (std::size_t k = 1; k < plan.starts.size(); k += threads) {
        const std::size_t n = std::min(threads, plan.starts.size() - k);
        std::vector<QByteArray> blocks(n);
        const auto make = [&](std::size_t j) {
            const qint64 start = 1 + static_cast<qint64>(k + j - 1) * InvoicePlan::kBlockSize;
            blocks[j] = invoiceBlock(company, plan.starts[k + j],
                                     std::min(InvoicePlan::kBlockSize, plan.count - start));
        };
        std::vector<std::thread> helpers;
        for (std::size_t j = 1; j < n; ++j)
            helpers.emplace_back(make, j);
        make(0);
        for (std::thread &helper : helpers)
            helper.join();
        for (const QByteArray &block : blocks) {
            if (device.write(block) != block.size())
                return false;
        }
    }
    return !writer.xml().hasError();
}

// Writes the whole document to `out`. False when writing failed; stops early then.
bool writeCompany(const Company &company, const InvoicePlan &plan, QIODevice &out)
{
    BlockDevice device(&out);
    device.write("<?xml version=\"1.0\" ?>");
    RecordWriter writer(device, company);
    QXmlStreamWriter &xml = writer.xml();
    xml.writeProcessingInstruction(u"qbxml"_s, u"version=\"2.1\""_s);
    xml.writeStartElement(u"QBXML"_s);
    xml.writeStartElement(u"QBXMLMsgsRs"_s);
    writer.startResponse(u"CustomerQueryRs"_s, 1);
    for (const qsizetype i : listingOrder(company.customers))
        writer.writeCustomer(company.customers[i]);
    xml.writeEndElement();
    writer.startResponse(u"InvoiceQueryRs"_s, 2);
    if (!writeInvoices(writer, device, company, plan))
        return false;
    xml.writeEndElement();
    writer.startResponse(u"ItemQueryRs"_s, 3);
    writer.writeItems();
    xml.writeEndElement();
    writer.startResponse(u"SalesRepQueryRs"_s, 4);
    for (const SalesRep &rep : company.reps)
        writer.writeRep(rep);
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError() && device.passOn();
}

} // namespace

bool generateCompany(const GeneratorOptions &options, QIODevice &out)
{
    if (options.customers < 0 || options.invoices < 0 || !options.lastDate.isValid() ||
        (options.invoices > 0 && options.customers == 0))
        return false;
    Random random(options.seed);
    const std::uint64_t invoiceSeed = random.next();
    Company company;
    buildCompany(company, options, random);
    const InvoicePlan plan = planInvoices(company, invoiceSeed, options.invoices);
    return writeCompany(company, plan, out);
}

} // namespace corvina::qbsim
