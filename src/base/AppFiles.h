#pragma once

#include <QString>

namespace corvina {

// Names of the files in the application folder, and of the files the program ships with
// (the clip and the mail-merge guide), which an installed program reads from its shared
// folder instead.
namespace appfile {
inline const QString kLog = QStringLiteral("Corvina.log");
inline const QString kClip = QStringLiteral("Download.gif");
inline const QString kMailMergeGuide = QStringLiteral("MailMergeOverview.doc");
inline const QString kQbPath = QStringLiteral("QBPath.txt");
inline const QString kDates = QStringLiteral("Dates.adtg");
} // namespace appfile

} // namespace corvina
