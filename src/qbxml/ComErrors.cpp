#include "qbxml/ComErrors.h"

namespace corvina::qb::hr {

QString description(std::int32_t number)
{
    switch (number) {
    case kXmlParse:
        return QStringLiteral(
            "QuickBooks found an error when parsing the provided XML text stream.");
    case kCouldNotAccess: return QStringLiteral("Could not access QuickBooks.");
    case kCouldNotStart: return QStringLiteral("Could not start QuickBooks.");
    case kOtherFileOpen:
        return QStringLiteral("A QuickBooks company data file is already open and it is different "
                              "from the one requested.");
    case kRollbackUnsupported:
        return QStringLiteral("QuickBooks does not support the \"rollbackOnError\" value of the "
                              "\"onError\" attribute.");
    case kNeedFileName:
        return QStringLiteral("If QuickBooks is not running, a call to the \"BeginSession\" method "
                              "must include the name of the QuickBooks company data file.");
    case kNoAutoLogin:
        return QStringLiteral(
            "This application is not allowed to log into this QuickBooks company data file "
            "automatically. The QuickBooks administrator can grant permission for an automatic "
            "login through the Integrated Application preferences.");
    case kVersionUnsupported:
        return QStringLiteral(
            "The version of QBXML that was requested is not supported or is unknown.");
    case kUnexpected: return QStringLiteral("Catastrophic failure");
    case kAborted: return QStringLiteral("Operation aborted");
    case kInvalidArgument: return QStringLiteral("The parameter is incorrect.");
    case kInvalidData: return QStringLiteral("The data is invalid.");
    default: return {};
    }
}

} // namespace corvina::qb::hr
