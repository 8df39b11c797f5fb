// Retrieval figures: a generated company's customers and invoices copied into QBData.mdb by
// the real retrievals, from the answer in hand to the rows committed, against the floor
// (the same rows bulk-loaded by SQLite in one transaction) and the naive way (row-at-a-time
// autocommit), all in one run, with peak memory.
//
//   retrieval_bench [--invoices N] [--customers N] [--seed S] [--naive-sample N]
#include "BenchSupport.h"

#include "base/Screen.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "qbsim/QueryEngine.h"
#include "qbxml/RequestProcessor.h"
#include "qbxml/RequestSet.h"
#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>

using namespace corvina;
using namespace corvina::bench;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Notes the first call for the clock, which comes right after the rows are committed.
class TimingScreen : public HeadlessScreen {
public:
    Answer message(const QString &, const QString &, Buttons) override { return Answer::Ok; }
    QDateTime now() const override
    {
        if (!committed)
            committed = Clock::now();
        return QDateTime::currentDateTime();
    }
    mutable std::optional<Clock::time_point> committed;
};

// Hands over answers already in memory and notes when the first one was handed over.
class AnswerInHand : public qb::RequestProcessor {
public:
    AnswerInHand(QByteArray first, QByteArray items, std::optional<Clock::time_point> &handedOver)
        : m_first(std::move(first)), m_items(std::move(items)), m_handedOver(handedOver)
    {
    }
    void openConnection(const QString &, const QString &) override {}
    void beginSession(const QString &, int) override {}
    QString currentCompanyFile() override { return QStringLiteral("/bench/Company.qbw"); }
    QByteArray processRequest(QByteArrayView request) override
    {
        if (request.contains("ItemQueryRq"))
            return m_items;
        m_handedOver = Clock::now();
        return std::move(m_first);
    }
    void endSession() override {}
    void closeConnection() override {}

private:
    QByteArray m_first, m_items;
    std::optional<Clock::time_point> &m_handedOver;
};

int generate(const QString &out, int invoices, int customers, quint64 seed)
{
    qbsim::GeneratorOptions options;
    options.invoices = invoices;
    options.customers = customers;
    options.seed = seed;
    QSaveFile file(out);
    return file.open(QIODevice::WriteOnly) && qbsim::generateCompany(options, file) && file.commit()
               ? 0
               : 1;
}

int answer(const QString &company, const QString &folder)
{
    const qbsim::CompanyFile file = qbsim::CompanyFile::load(company);
    const auto write = [&](const QString &name,
                           const std::function<void(qb::RequestSet &)> &build) {
        qb::RequestSet requests(2, 1);
        requests.setOnError(qb::OnError::Continue);
        build(requests);
        QFile out(QDir(folder).filePath(name));
        return out.open(QIODevice::WriteOnly) &&
               out.write(qbsim::processRequest(file, requests.toQbxml())) > 0;
    };
    const bool ok =
        write(u"customers.qbxml"_qs, [](qb::RequestSet &r) { r.appendCustomerQuery(); }) &&
        write(u"invoices.qbxml"_qs,
              [](qb::RequestSet &r) { r.appendInvoiceQuery().setIncludeLineItems(true); }) &&
        write(u"items.qbxml"_qs, [](qb::RequestSet &r) { r.appendItemQuery(); });
    return ok ? 0 : 1;
}

int parseAlone(const QString &path)
{
    const QByteArray bytes = readAll(path);
    resetPeak();
    const auto start = Clock::now();
    const qb::ResponseSet answer = qb::ResponseSet::parse(bytes);
    report({{u"seconds"_qs, secondsSince(start)},
            {u"peak_mib"_qs, peakRssMiB()},
            {u"records"_qs, answer.response(0).count()}});
    return 0;
}

// The rows a retrieval writes, read back from a database it filled, as the floor's input.
std::vector<std::vector<QVariant>> rowsOf(const QString &dbPath, const QString &table,
                                          QStringList &columns)
{
    Database db = Database::open(dbPath, Database::Mode::ReadOnly);
    Statement st = db.prepare(QStringLiteral("SELECT * FROM %1").arg(table));
    std::vector<std::vector<QVariant>> rows;
    for (int c = 0; c < st.columnCount(); ++c)
        columns << st.columnName(c);
    while (st.step()) {
        std::vector<QVariant> row;
        for (int c = 0; c < st.columnCount(); ++c)
            row.push_back(st.value(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

// SQLite alone: one transaction, one prepared insert, values bound straight from memory.
int bulk(const QString &source, const QString &table, const QString &target, int limit,
         bool autocommit)
{
    QStringList columns;
    auto rows = rowsOf(source, table, columns);
    if (limit > 0 && rows.size() > static_cast<std::size_t>(limit))
        rows.resize(static_cast<std::size_t>(limit));
    // Text prepared as UTF-8 beforehand, so that only SQLite's work is timed.
    std::vector<std::vector<QByteArray>> text(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (const QVariant &v : rows[r])
            text[r].push_back(v.isNull() ? QByteArray() : v.toString().toUtf8());
    QDir().mkpath(target);
    ensureLocalDb(target);
    sqlite3 *db = nullptr;
    sqlite3_open(qPrintable(localDbPath(target)), &db);
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << u"?"_qs;
    const QByteArray sql = u"INSERT INTO %1 (\"%2\") VALUES (%3)"_qs
                               .arg(table, columns.join(u"\",\""_qs), marks.join(u","_qs))
                               .toUtf8();
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr);
    resetPeak();
    const auto start = Clock::now();
    if (!autocommit)
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const int index = static_cast<int>(c) + 1;
            const QVariant &v = rows[r][c];
            if (v.isNull())
                sqlite3_bind_null(insert, index);
            else if (v.typeId() == QMetaType::Double)
                sqlite3_bind_double(insert, index, v.toDouble());
            else
                sqlite3_bind_text(insert, index, text[r][c].constData(),
                                  static_cast<int>(text[r][c].size()), SQLITE_STATIC);
        }
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    if (!autocommit)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = secondsSince(start);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    report({{u"seconds"_qs, seconds},
            {u"rows"_qs, static_cast<double>(rows.size())},
            {u"peak_mib"_qs, peakRssMiB()}});
    return 0;
}

// The retrieval itself, with the answer already in memory.
int retrieve(const QString &kind, const QString &folder, const QString &appFolder)
{
    QByteArray first = readAll(QDir(folder).filePath(kind + u".qbxml"_qs));
    QByteArray items = readAll(QDir(folder).filePath(u"items.qbxml"_qs));
    QDir().mkpath(appFolder);
    ensureLocalDb(appFolder);
    QFile path(QDir(appFolder).filePath(u"QBPath.txt"_qs));
    if (!path.open(QIODevice::WriteOnly) || path.write("/bench/Company.qbw\n") <= 0)
        return 1;
    path.close();

    TimingScreen screen;
    ProgramState state(appFolder, screen);
    std::optional<Clock::time_point> handedOver;
    state.quickBooks().makeProcessor = [&] {
        return std::make_unique<AnswerInHand>(std::move(first), std::move(items), handedOver);
    };
    resetPeak();
    if (kind == u"invoices")
        GetInvoices(state);
    else
        GetCustomers(state);
    if (!handedOver || !screen.committed || state.errors().count() > 0) {
        std::fprintf(stderr, "the %s retrieval did not complete\n", qPrintable(kind));
        return 1;
    }
    const double seconds = std::chrono::duration<double>(*screen.committed - *handedOver).count();
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    const QString table = kind == u"invoices" ? u"Invoices"_qs : u"Customers"_qs;
    report({{u"seconds"_qs, seconds},
            {u"peak_mib"_qs, peakRssMiB()},
            {u"rows"_qs, static_cast<double>(db.countRows(table))}});
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == u"step") {
        const QString &step = args[2];
        if (step == u"generate" && args.size() == 7)
            return generate(args[3], args[4].toInt(), args[5].toInt(), args[6].toULongLong());
        if (step == u"answer" && args.size() == 5)
            return answer(args[3], args[4]);
        if (step == u"parse" && args.size() == 4)
            return parseAlone(args[3]);
        if (step == u"bulk" && args.size() == 8)
            return bulk(args[3], args[4], args[5], args[6].toInt(), args[7] == u"autocommit");
        if (step == u"retrieve" && args.size() == 6)
            return retrieve(args[3], args[4], args[5]);
        return 64;
    }

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {u"invoices"_qs, u"Invoices in the generated company."_qs, u"N"_qs, u"100000"_qs});
    parser.addOption({u"customers"_qs, u"Top-level customers in the generated company."_qs, u"N"_qs,
                      u"100000"_qs});
    parser.addOption({u"seed"_qs, u"Generator seed."_qs, u"S"_qs, u"1"_qs});
    parser.addOption({u"naive-sample"_qs,
                      u"Rows timed for the autocommit baseline, then scaled."_qs, u"N"_qs,
                      u"2000"_qs});
    parser.process(app);

    QTemporaryDir temp;
    const QString folder = temp.path();
    const QString company = QDir(folder).filePath(u"company.qbxml"_qs);
    runChild({u"step"_qs, u"generate"_qs, company, parser.value(u"invoices"_qs),
              parser.value(u"customers"_qs), parser.value(u"seed"_qs)});
    runChild({u"step"_qs, u"answer"_qs, company, folder});

    std::vector<QStringList> table;
    for (const auto &[kind, tableName] :
         {std::pair{u"customers"_qs, u"Customers"_qs}, std::pair{u"invoices"_qs, u"Invoices"_qs}}) {
        const QString app1 = QDir(folder).filePath(kind + u"-app"_qs);
        const Result retrieval = runChild({u"step"_qs, u"retrieve"_qs, kind, folder, app1});
        const Result parse =
            runChild({u"step"_qs, u"parse"_qs, QDir(folder).filePath(kind + u".qbxml"_qs)});
        const QString source = localDbPath(app1);
        const Result floor =
            runChild({u"step"_qs, u"bulk"_qs, source, tableName,
                      QDir(folder).filePath(kind + u"-floor"_qs), u"0"_qs, u"one-transaction"_qs});
        const Result naive = runChild({u"step"_qs, u"bulk"_qs, source, tableName,
                                       QDir(folder).filePath(kind + u"-naive"_qs),
                                       parser.value(u"naive-sample"_qs), u"autocommit"_qs});
        const double naiveSeconds =
            naive.number(u"seconds"_qs) / naive.number(u"rows"_qs) * retrieval.number(u"rows"_qs);
        const double baseline = parse.number(u"seconds"_qs) + floor.number(u"seconds"_qs);
        table.push_back({u"%1: %2 records, %3 rows"_qs.arg(tableName)
                             .arg(parse.number(u"records"_qs))
                             .arg(retrieval.number(u"rows"_qs)),
                         fixed(parse.number(u"seconds"_qs)), fixed(floor.number(u"seconds"_qs)),
                         fixed(naiveSeconds, 1), fixed(retrieval.number(u"seconds"_qs)),
                         fixed(retrieval.number(u"seconds"_qs) / baseline),
                         fixed(retrieval.number(u"peak_mib"_qs), 0)});
    }
    printTable(
        u"Retrieval, answer in hand to rows committed (seconds; naive autocommit scaled from %1 rows)"_qs
            .arg(parser.value(u"naive-sample"_qs)),
        {u"retrieval"_qs, u"parse alone"_qs, u"SQLite bulk, one transaction"_qs,
         u"row-at-a-time autocommit"_qs, u"retrieval"_qs, u"retrieval / (parse + bulk)"_qs,
         u"retrieval peak RSS MiB"_qs},
        table);
    return 0;
}
