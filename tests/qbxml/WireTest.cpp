#include "qbxml/Wire.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace corvina::qb::wire;

TEST(Wire, FramesArriveInPiecesAndTogether)
{
    const QByteArray a = PayloadWriter().u8(4).str(QByteArrayView("<QBXML/>")).frame();
    const QByteArray b = PayloadWriter().u8(5).frame();
    const QByteArray stream = a + b;

    // Fed one byte at a time, each frame appears exactly when its last byte arrives.
    FrameBuffer buffer(kMaxRequestFrame);
    QList<QByteArray> payloads;
    for (char byte : stream) {
        buffer.append(QByteArrayView(&byte, 1));
        QByteArray payload;
        while (buffer.take(payload) == FrameBuffer::Status::Ready)
            payloads << payload;
    }
    ASSERT_EQ(payloads.size(), 2);
    PayloadReader first(payloads[0]);
    EXPECT_EQ(first.u8(), 4);
    EXPECT_EQ(first.str(), QStringLiteral("<QBXML/>"));
    EXPECT_TRUE(first.atEnd());
    EXPECT_EQ(PayloadReader(payloads[1]).u8(), 5);
    EXPECT_EQ(buffer.buffered(), 0);
}

TEST(Wire, OversizedFrameIsRefusedBeforeItsPayloadArrives)
{
    FrameBuffer buffer(16);
    buffer.append(PayloadWriter().str(QByteArrayView("0123456789abcdefXYZ")).frame().left(6));
    QByteArray payload;
    EXPECT_EQ(buffer.take(payload), FrameBuffer::Status::TooLarge);
}

TEST(Wire, ReaderRefusesFieldsPastTheEnd)
{
    // A string whose stated length runs past the payload.
    QByteArray payload = PayloadWriter().u8(1).str(QByteArrayView("abc")).payload();
    payload.chop(1);
    PayloadReader reader(payload);
    EXPECT_EQ(reader.u8(), 1);
    EXPECT_FALSE(reader.str());
    EXPECT_FALSE(PayloadReader(QByteArray("\x01\x02", 2)).i32());

    PayloadReader reply(errorReply(-2147220470, QStringLiteral("Wrong file")));
    EXPECT_EQ(reply.u8(), 1);
    EXPECT_EQ(reply.i32(), -2147220470);
    EXPECT_EQ(reply.str(), QStringLiteral("Wrong file"));
}

TEST(Wire, DefaultSocketLivesInTheRuntimeFolder)
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_EQ(defaultSocketPath(),
              QDir(runtime.path()).filePath(QStringLiteral("corvina-qbsim.sock")));

    // Without one, a private folder under /tmp holds it.
    qunsetenv("XDG_RUNTIME_DIR");
    QString error;
    const QString fallback = defaultSocketPath(&error);
    ASSERT_FALSE(fallback.isEmpty()) << error.toStdString();
    const QFileInfo folder(QFileInfo(fallback).path());
    EXPECT_TRUE(folder.isDir());
    EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);
    if (!saved.isNull())
        qputenv("XDG_RUNTIME_DIR", saved);
}
