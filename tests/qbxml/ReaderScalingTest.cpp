// The reader's cost must grow with the answer's size, not with its square: hostile answers
// built from many small pieces are read at 10,000 and 100,000 pieces and the times compared.
// The best of several runs is taken and the allowed ratio is generous (linear is 10, and
// caches past the small size push it to 30 or more on a loaded machine; quadratic is 100).
#include "base/Error.h"
#include "qbxml/Document.h"
#include "qbxml/Records.h"
#include "qbxml/ResponseSet.h"
#include "qbxml/XmlScanner.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace corvina;
using namespace corvina::qb;

namespace {

constexpr int kSmall = 10'000;
constexpr int kLarge = 100'000;

QByteArray repeated(QByteArrayView piece, int times)
{
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out.append(piece);
    return out;
}

QByteArray customerAnswer(const QByteArray &nameContent, const QByteArray &extraAttributes = {},
                          const QByteArray &prolog = {})
{
    return prolog + "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0\"" + extraAttributes +
           "><CustomerRet><ListID>1</ListID><Name>" + nameContent +
           "</Name></CustomerRet></CustomerQueryRs></QBXMLMsgsRs></QBXML>";
}

struct Shape {
    const char *name;
    std::function<QByteArray(int pieces)> build;
    qsizetype nameLength; // per piece; 0 when the answer is refused
};

const Shape kShapes[] = {
    {"text split by CDATA sections",
     [](int n) { return customerAnswer(repeated("<![CDATA[ab]]>", n)); }, 2},
    {"text split by comments", [](int n) { return customerAnswer(repeated("ab<!---->", n)); }, 2},
    {"text split by instructions", [](int n) { return customerAnswer(repeated("ab<?p?>", n)); }, 2},
    {"references", [](int n) { return customerAnswer(repeated("a&amp;", n)); }, 2},
    {"text around child elements", [](int n) { return customerAnswer(repeated("ab<X/>", n)); }, 2},
    {"attributes",
     [](int n) {
         QByteArray attributes;
         for (int i = 0; i < n; ++i)
             attributes += " a" + QByteArray::number(i) + "=\"\"";
         return customerAnswer("ab", attributes);
     },
     0},
    {"document types",
     [](int n) { return customerAnswer("ab", {}, repeated("<!DOCTYPE QBXML>", n)); }, 0},
};

// The name read, or an empty optional when the answer was refused.
std::optional<QString> readName(const QByteArray &xml)
{
    try {
        const ResponseSet set = ResponseSet::parse(xml);
        return CustomerRet(set.response(0).record(0)).name();
    } catch (const Error &) {
        return std::nullopt;
    }
}

qint64 bestNanoseconds(const QByteArray &xml, int runs)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        (void)readName(xml);
        best = std::min(best, timer.nsecsElapsed());
    }
    return best;
}

} // namespace

TEST(ReaderScaling, TimeGrowsLinearlyWithThePieces)
{
    // Below a millisecond, timer and scheduler noise outweigh the work.
    constexpr qint64 kFloor = 1'000'000;
    for (const Shape &shape : kShapes) {
        const QByteArray small = shape.build(kSmall);
        const QByteArray large = shape.build(kLarge);
        const std::optional<QString> name = readName(large);
        if (shape.nameLength > 0) {
            ASSERT_TRUE(name) << shape.name;
            EXPECT_EQ(name->size(), shape.nameLength * kLarge) << shape.name;
        }
        const qint64 smallTime = std::max(bestNanoseconds(small, 5), kFloor);
        const qint64 largeTime = std::max(bestNanoseconds(large, 5), kFloor);
        EXPECT_LT(static_cast<double>(largeTime) / static_cast<double>(smallTime), 50.0)
            << shape.name << ": " << smallTime << " ns for " << kSmall << " pieces, " << largeTime
            << " ns for " << kLarge;
    }
}

TEST(ReaderScaling, TextInManyPiecesIsStoredOnce)
{
    for (const char *piece : {"<![CDATA[ab]]>", "ab<!---->", "ab<?p?>"}) {
        for (const int n : {kSmall, kLarge}) {
            const QByteArray xml = "<Name>" + repeated(piece, n) + "</Name>";
            XmlScanner scanner(xml);
            ASSERT_EQ(scanner.next(), XmlScanner::Token::StartElement);
            Document document;
            const auto name = document.readElement(scanner);
            ASSERT_FALSE(scanner.hasError()) << scanner.errorString().toStdString();
            EXPECT_EQ(document.textOf(document.node(name)).size(), 2 * n) << piece;
            EXPECT_EQ(document.textBytes(), static_cast<std::size_t>(2 * n)) << piece << " x " << n;
        }
    }
}
