#include "qbxml/Wire.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

namespace corvina::qb::wire {

namespace {

void appendU32(QByteArray &out, std::uint32_t value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

PayloadWriter &PayloadWriter::u8(std::uint8_t value)
{
    m_payload.append(static_cast<char>(value));
    return *this;
}

PayloadWriter &PayloadWriter::i32(std::int32_t value)
{
    appendU32(m_payload, static_cast<std::uint32_t>(value));
    return *this;
}

PayloadWriter &PayloadWriter::str(QByteArrayView utf8)
{
    appendU32(m_payload, static_cast<std::uint32_t>(utf8.size()));
    m_payload.append(utf8);
    return *this;
}

QByteArray PayloadWriter::frame() const
{
    QByteArray out;
    out.reserve(m_payload.size() + kHeaderSize);
    appendU32(out, static_cast<std::uint32_t>(m_payload.size()));
    out.append(m_payload);
    return out;
}

std::optional<std::uint8_t> PayloadReader::u8()
{
    if (m_payload.size() - m_pos < 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(m_payload[m_pos++]);
}

std::optional<std::int32_t> PayloadReader::i32()
{
    if (m_payload.size() - m_pos < 4)
        return std::nullopt;
    const auto value = qFromBigEndian<std::uint32_t>(m_payload.data() + m_pos);
    m_pos += 4;
    return static_cast<std::int32_t>(value);
}

std::optional<QByteArray> PayloadReader::bytes()
{
    if (m_payload.size() - m_pos < 4)
        return std::nullopt;
    const auto length = qFromBigEndian<std::uint32_t>(m_payload.data() + m_pos);
    if (static_cast<std::uint64_t>(m_payload.size() - m_pos - 4) < length)
        return std::nullopt;
    m_pos += 4;
    QByteArray out(m_payload.data() + m_pos, static_cast<qsizetype>(length));
    m_pos += static_cast<qsizetype>(length);
    return out;
}

std::optional<QString> PayloadReader::str()
{
    auto raw = bytes();
    if (!raw)
        return std::nullopt;
    return QString::fromUtf8(*raw);
}

std::uint32_t frameLength(QByteArrayView header)
{
    return qFromBigEndian<std::uint32_t>(header.data());
}

FrameBuffer::Status FrameBuffer::take(QByteArray &payload)
{
    if (m_buffer.size() < kHeaderSize)
        return Status::Incomplete;
    const std::uint32_t length = frameLength(m_buffer);
    if (length > m_maxFrame)
        return Status::TooLarge;
    const auto total = static_cast<qsizetype>(length) + kHeaderSize;
    if (m_buffer.size() < total)
        return Status::Incomplete;
    payload = m_buffer.mid(kHeaderSize, static_cast<qsizetype>(length));
    m_buffer.remove(0, total);
    return Status::Ready;
}

QByteArray okReply(QByteArrayView result)
{
    PayloadWriter w;
    w.u8(0).str(result);
    return w.payload();
}

QByteArray errorReply(std::int32_t number, const QString &description)
{
    PayloadWriter w;
    w.u8(1).i32(number).str(description);
    return w.payload();
}

QString defaultSocketPath(QString *error)
{
    const QString name = QStringLiteral("corvina-qbsim.sock");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QDir(QString::fromLocal8Bit(runtime)).filePath(name);

    const uid_t uid = ::getuid();
    const QString folder = QStringLiteral("/tmp/corvina-qbsim-%1").arg(uid);
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1.").arg(folder);
        return {};
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid ||
        (info.st_mode & 077) != 0) {
        if (error)
            *error =
                QStringLiteral("The folder %1 is not a private folder of this user.").arg(folder);
        return {};
    }
    return QDir(folder).filePath(name);
}

} // namespace corvina::qb::wire
