#pragma once

// A generated company parsed into a small tree, with the helpers the generator's tests read
// it with.

#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"

#include <QBuffer>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace corvina::qbsim::test {

using namespace Qt::Literals::StringLiterals;

inline QByteArray generate(int customers, int invoices, std::uint64_t seed = 2026)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    GeneratorOptions options;
    options.customers = customers;
    options.invoices = invoices;
    options.seed = seed;
    EXPECT_TRUE(generateCompany(options, buffer));
    return bytes;
}

// An element of the parsed document.
struct Node {
    QString name;
    QString text;
    std::vector<Node> children;

    const Node *child(QStringView wanted) const
    {
        for (const Node &c : children) {
            if (c.name == wanted)
                return &c;
        }
        return nullptr;
    }
    // The child named `wanted`, or an empty node.
    const Node &at(QStringView wanted) const
    {
        static const Node none;
        const Node *c = child(wanted);
        return c ? *c : none;
    }
    QString value(QStringView wanted) const
    {
        const Node *c = child(wanted);
        return c ? c->text : QString();
    }
    QString refId(QStringView ref) const
    {
        return child(ref) ? child(ref)->value(u"ListID") : QString();
    }
    QString refName(QStringView ref) const
    {
        return child(ref) ? child(ref)->value(u"FullName") : QString();
    }
    std::vector<const Node *> all(QStringView wanted) const
    {
        std::vector<const Node *> found;
        for (const Node &c : children) {
            if (c.name == wanted)
                found.push_back(&c);
        }
        return found;
    }
};

inline Node parse(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    Node root;
    std::vector<Node *> open{&root};
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            open.back()->children.push_back({reader.name().toString(), {}, {}});
            open.push_back(&open.back()->children.back());
        } else if (reader.isEndElement()) {
            open.pop_back();
        } else if (reader.isCharacters() && !reader.isWhitespace()) {
            open.back()->text += reader.text();
        }
    }
    EXPECT_FALSE(reader.hasError())
        << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    return root;
}

// Every node under `node` (itself included), depth first.
inline void visit(const Node &node, const std::function<void(const Node &)> &f)
{
    f(node);
    for (const Node &c : node.children)
        visit(c, f);
}

// "12.34" / "-0.50" in hundredths; the test fails on any other shape.
inline qint64 hundredths(const QString &text)
{
    static const QRegularExpression shape(u"^-?\\d+(\\.\\d{1,2})?$"_s);
    EXPECT_TRUE(shape.match(text).hasMatch()) << text.toStdString();
    const bool negative = text.startsWith(u'-');
    const QStringList parts = text.mid(negative ? 1 : 0).split(u'.');
    qint64 value = parts[0].toLongLong() * 100;
    if (parts.size() > 1)
        value += parts[1].leftJustified(2, u'0').toLongLong();
    return negative ? -value : value;
}

inline qint64 roundedDiv(qint64 a, qint64 b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

// One generated company, parsed once for all the tests that read it. 1100 invoices span
// several of the blocks the generator writes in parallel.
class GeneratedCompany : public ::testing::Test {
protected:
    static constexpr int kCustomers = 150;
    static constexpr int kInvoices = 1100;

    static void SetUpTestSuite()
    {
        s_bytes = new QByteArray(generate(kCustomers, kInvoices));
        s_doc = new Node(parse(*s_bytes));
    }
    static void TearDownTestSuite()
    {
        delete s_doc;
        delete s_bytes;
    }

    static const Node &response(QStringView name)
    {
        return s_doc->at(u"QBXML").at(u"QBXMLMsgsRs").at(name);
    }
    static const Node &customers() { return response(u"CustomerQueryRs"); }
    static const Node &invoices() { return response(u"InvoiceQueryRs"); }
    static const Node &items() { return response(u"ItemQueryRs"); }
    static const Node &reps() { return response(u"SalesRepQueryRs"); }

    // Each invoice's lines with the group members flattened in.
    static std::vector<const Node *> pricedLines(const Node &invoice)
    {
        std::vector<const Node *> lines;
        for (const Node &entry : invoice.children) {
            if (entry.name == u"InvoiceLineRet")
                lines.push_back(&entry);
            for (const Node *member : entry.all(u"InvoiceLineRet"))
                lines.push_back(member);
        }
        return lines;
    }

    static inline QByteArray *s_bytes = nullptr;
    static inline Node *s_doc = nullptr;
};

} // namespace corvina::qbsim::test
