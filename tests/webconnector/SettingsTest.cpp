#include "base/Error.h"
#include "support/TempAppFolder.h"
#include "webconnector/ConnectionSettings.h"
#include "webconnector/QwcFile.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

using namespace corvina;
using namespace corvina::wc;

TEST(ConnectionSettingsTest, DefaultsWithoutAFileAndRoundTripsWithoutTheClearPassword)
{
    test::TempAppFolder folder;
    const QString path = QDir(folder.path()).filePath(ConnectionSettings::kFileName);
    EXPECT_EQ(ConnectionSettings::load(path).mode, ConnectionSettings::Mode::Socket);
    EXPECT_FALSE(QFile::exists(path));

    ConnectionSettings s;
    s.mode = ConnectionSettings::Mode::WebConnector;
    s.port = 9443;
    s.userName = QStringLiteral("office");
    s.password = PasswordHash::make(QStringLiteral("clear text secret"), 1000);
    s.quietTimeoutSeconds = 90;
    s.schedulerMinutes = 2;
    s.save(path);
    EXPECT_FALSE(QUuid::fromString(s.fileId).isNull());
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_FALSE(raw.readAll().contains("clear text secret"));
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());

    const ConnectionSettings back = ConnectionSettings::load(path);
    EXPECT_EQ(back.mode, ConnectionSettings::Mode::WebConnector);
    EXPECT_EQ(back.port, 9443);
    EXPECT_EQ(back.userName, QStringLiteral("office"));
    EXPECT_EQ(back.password.derive(QStringLiteral("clear text secret")), back.password.hash);
    EXPECT_EQ(back.quietTimeoutSeconds, 90);
    EXPECT_EQ(back.schedulerMinutes, 2);
    EXPECT_EQ(back.fileId, s.fileId);
}

TEST(ConnectionSettingsTest, ABadFileIsNamedAndLeftAlone)
{
    test::TempAppFolder folder;
    const QString path = QDir(folder.path()).filePath(ConnectionSettings::kFileName);
    const QByteArray cases[] = {"{",
                                "[]",
                                R"({"mode":"telepathy"})",
                                R"({"port":70000})",
                                R"({"port":"8443"})",
                                R"({"fileId":"nope"})"};
    for (const QByteArray &text : cases) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        try {
            ConnectionSettings::load(path);
            ADD_FAILURE() << text.constData();
        } catch (const Error &e) {
            EXPECT_TRUE(e.description().contains(path)) << e.description().toStdString();
        }
        QFile again(path);
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.readAll(), text);
    }
}

TEST(QwcFileTest, WritesWhatTheWebConnectorReads)
{
    QwcFields fields;
    fields.appUrl = QStringLiteral("https://office-pc:8443/qbwc");
    fields.userName = QStringLiteral("office & co");
    fields.fileId = QStringLiteral("{0C7A1E2B-0000-4000-8000-000000000001}");
    fields.runEveryMinutes = 15;
    QXmlStreamReader xml(qwcDocument(fields));
    std::map<std::string, QString> values;
    QString root;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (root.isEmpty())
            root = xml.name().toString();
        else if (xml.name() != u"Scheduler")
            values[xml.name().toString().toStdString()] = xml.readElementText();
    }
    ASSERT_FALSE(xml.hasError());
    EXPECT_EQ(root, QStringLiteral("QBWCXML"));
    EXPECT_EQ(values["AppURL"], fields.appUrl);
    EXPECT_EQ(values["AppSupport"], QStringLiteral("https://office-pc:8443/"));
    EXPECT_EQ(values["UserName"], QStringLiteral("office & co"));
    EXPECT_EQ(values["OwnerID"], kCorvinaOwnerId);
    EXPECT_FALSE(QUuid::fromString(values["OwnerID"]).isNull());
    EXPECT_EQ(values["FileID"], fields.fileId);
    EXPECT_EQ(values["QBType"], QStringLiteral("QBFS"));
    EXPECT_EQ(values["IsReadOnly"], QStringLiteral("true"));
    EXPECT_EQ(values["RunEveryNMinutes"], QStringLiteral("15"));
    EXPECT_EQ(values.count("Password"), 0u);
}
