#pragma once

#include <QString>

namespace corvina {

// Names of the files in the application folder.
namespace appfile {
inline const QString kLog = QStringLiteral("Corvina.log");
inline const QString kClip = QStringLiteral("Download.gif");
inline const QString kMailMergeGuide = QStringLiteral("MailMergeOverview.doc");
inline const QString kQbPath = QStringLiteral("QBPath.txt");
inline const QString kDates = QStringLiteral("Dates.adtg");
} // namespace appfile

} // namespace corvina
