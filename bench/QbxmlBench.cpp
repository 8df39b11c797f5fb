// The qbXML figures: a generated company's invoice answer, built by the stand-in and parsed by
// the request library, with the time and peak memory of each step.
//
//   qbxml_bench [--invoices N] [--customers N] [--seed S] [--folder DIR]
//
// Each step runs in a child process of its own so that its peak memory is its own.
#include "BenchSupport.h"

#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "qbsim/QueryEngine.h"
#include "qbxml/Records.h"
#include "qbxml/RequestSet.h"
#include "qbxml/ResponseSet.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace corvina;
using namespace corvina::bench;

namespace {

int generate(const QString &out, int invoices, int customers, quint64 seed)
{
    QElapsedTimer timer;
    timer.start();
    qbsim::GeneratorOptions options;
    options.invoices = invoices;
    options.customers = customers;
    options.seed = seed;
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !qbsim::generateCompany(options, file) ||
        !file.commit())
        return 1;
    report({{u"seconds"_qs, static_cast<double>(timer.elapsed()) / 1000.0},
            {u"mib"_qs, static_cast<double>(QFileInfo(out).size()) / 1048576.0}});
    return 0;
}

// Loads the company, then answers the invoice query with line items, as a retrieval asks it.
int answer(const QString &company, const QString &out)
{
    QElapsedTimer timer;
    timer.start();
    const qbsim::CompanyFile file = qbsim::CompanyFile::load(company);
    const double loadSeconds = static_cast<double>(timer.elapsed()) / 1000.0;
    const double loadPeak = peakRssMiB();

    qb::RequestSet requests(2, 1);
    requests.setOnError(qb::OnError::Continue);
    requests.appendInvoiceQuery().setIncludeLineItems(true);
    resetPeak();
    const double before = rssMiB();
    timer.restart();
    const QByteArray response = qbsim::processRequest(file, requests.toQbxml());
    const double answerSeconds = static_cast<double>(timer.elapsed()) / 1000.0;
    const double answerPeak = peakRssMiB();

    QFile target(out);
    if (!target.open(QIODevice::WriteOnly) || target.write(response) != response.size())
        return 1;
    report({{u"load_seconds"_qs, loadSeconds},
            {u"load_peak_mib"_qs, loadPeak},
            {u"answer_seconds"_qs, answerSeconds},
            {u"answer_before_mib"_qs, before},
            {u"answer_peak_mib"_qs, answerPeak},
            {u"response_mib"_qs, static_cast<double>(response.size()) / 1048576.0},
            {u"invoices"_qs, static_cast<double>(file.invoices().size())}});
    return 0;
}

// Reads every value an invoice retrieval reads, so lazily decoded values are paid for.
std::pair<int, int> walk(const qb::Response &response)
{
    int lines = 0;
    int itemLines = 0;
    const auto readLine = [&](const qb::InvoiceLineRet &line) {
        ++lines;
        if (line.itemRef())
            ++itemLines;
        (void)line.desc(), (void)line.quantity(), (void)line.rate(), (void)line.ratePercent();
        (void)line.amount(), (void)line.classRef();
    };
    for (int i = 0; i < response.count(); ++i) {
        const qb::InvoiceRet inv(response.record(i));
        (void)inv.customerRef(), (void)inv.classRef(), (void)inv.dueDate(), (void)inv.fob();
        (void)inv.memo(), (void)inv.poNumber(), (void)inv.refNumber(), (void)inv.salesRepRef();
        (void)inv.shipDate(), (void)inv.shipMethodRef(), (void)inv.termsRef(), (void)inv.txnDate();
        for (const auto &entry : inv.lines()) {
            if (const auto line = entry.line())
                readLine(*line);
            if (const auto group = entry.group())
                for (const auto &member : group->lines())
                    readLine(member);
        }
    }
    return {lines, itemLines};
}

int parse(const QString &responsePath)
{
    const QByteArray bytes = readAll(responsePath);
    const double before = rssMiB();
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    const qb::ResponseSet answer = qb::ResponseSet::parse(bytes);
    const double parseSeconds = static_cast<double>(timer.elapsed()) / 1000.0;
    timer.restart();
    const auto [lines, itemLines] = walk(answer.response(0));
    const double walkSeconds = static_cast<double>(timer.elapsed()) / 1000.0;
    report({{u"parse_seconds"_qs, parseSeconds},
            {u"walk_seconds"_qs, walkSeconds},
            {u"before_mib"_qs, before},
            {u"peak_mib"_qs, peakRssMiB()},
            {u"invoices"_qs, answer.response(0).count()},
            {u"lines"_qs, lines},
            {u"item_lines"_qs, itemLines}});
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == u"step") {
        if (args[2] == u"generate" && args.size() == 7)
            return generate(args[3], args[4].toInt(), args[5].toInt(), args[6].toULongLong());
        if (args[2] == u"answer" && args.size() == 5)
            return answer(args[3], args[4]);
        if (args[2] == u"parse" && args.size() == 4)
            return parse(args[3]);
        return 64;
    }

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {u"invoices"_qs, u"Invoices in the generated company."_qs, u"N"_qs, u"100000"_qs});
    parser.addOption(
        {u"customers"_qs, u"Customers in the generated company."_qs, u"N"_qs, u"20000"_qs});
    parser.addOption({u"seed"_qs, u"Generator seed."_qs, u"S"_qs, u"1"_qs});
    parser.addOption(
        {u"folder"_qs, u"Where to keep the files (default: a temporary folder)."_qs, u"DIR"_qs});
    parser.process(app);

    QTemporaryDir temp;
    const QString folder = parser.isSet(u"folder"_qs) ? parser.value(u"folder"_qs) : temp.path();
    QDir().mkpath(folder);
    const QString company = QDir(folder).filePath(u"company.qbxml"_qs);
    const QString response = QDir(folder).filePath(u"response.qbxml"_qs);

    const Result gen = runChild({u"step"_qs, u"generate"_qs, company, parser.value(u"invoices"_qs),
                                 parser.value(u"customers"_qs), parser.value(u"seed"_qs)});
    const Result ans = runChild({u"step"_qs, u"answer"_qs, company, response});
    const Result par = runChild({u"step"_qs, u"parse"_qs, response});

    const double mib = ans.number(u"response_mib"_qs);
    printTable(
        u"qbXML invoice answer: %1 invoices, %2 lines (%3 with an item), answer %4 MiB, company file %5 MiB"_qs
            .arg(par.number(u"invoices"_qs))
            .arg(par.number(u"lines"_qs))
            .arg(par.number(u"item_lines"_qs))
            .arg(fixed(mib, 1), fixed(gen.number(u"mib"_qs), 1)),
        {u"step"_qs, u"seconds"_qs, u"MiB/s"_qs, u"peak RSS MiB"_qs, u"RSS before MiB"_qs},
        {
            {u"generate company file"_qs, fixed(gen.number(u"seconds"_qs)), u"-"_qs, u"-"_qs,
             u"-"_qs},
            {u"stand-in: load company file"_qs, fixed(ans.number(u"load_seconds"_qs)),
             fixed(gen.number(u"mib"_qs) / ans.number(u"load_seconds"_qs), 0),
             fixed(ans.number(u"load_peak_mib"_qs), 0), u"-"_qs},
            {u"stand-in: answer the invoice query"_qs, fixed(ans.number(u"answer_seconds"_qs)),
             fixed(mib / ans.number(u"answer_seconds"_qs), 0),
             fixed(ans.number(u"answer_peak_mib"_qs), 0),
             fixed(ans.number(u"answer_before_mib"_qs), 0)},
            {u"library: parse the answer"_qs, fixed(par.number(u"parse_seconds"_qs)),
             fixed(mib / par.number(u"parse_seconds"_qs), 0), fixed(par.number(u"peak_mib"_qs), 0),
             fixed(par.number(u"before_mib"_qs), 0)},
            {u"library: read every retrieved value"_qs, fixed(par.number(u"walk_seconds"_qs)),
             u"-"_qs, u"-"_qs, u"-"_qs},
        });
    return 0;
}
