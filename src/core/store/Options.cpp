#include "store/Options.h"

#include "platform/Error.h"
#include "platform/AppPaths.h"
#include "store/modDBstuff.h"

#include <cmath>

namespace kv {

namespace {

Error typeMismatch() { return Error(err::TypeMismatch, QStringLiteral("Type mismatch")); }

void requireValue(const QVariant& value) {
    if (value.isNull()) throw Error(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
}

double optionToNumber(const QVariant& value) {
    requireValue(value);
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (!ok) throw typeMismatch();
    return number;
}

} // namespace

bool optionToBool(const QVariant& value) {
    requireValue(value);
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    return optionToNumber(value) != 0.0;
}

qint64 optionToInteger(const QVariant& value, qint64 lowest, qint64 highest) {
    const double rounded = std::nearbyint(optionToNumber(value));
    if (rounded < double(lowest) || rounded > double(highest)) throw Error(err::Overflow, QStringLiteral("Overflow"));
    return qint64(rounded);
}

QString colorOptionText(qint32 color) {
    return color >= 0 ? QStringLiteral(" %1").arg(color) : QString::number(color);
}

bool GetOptions() {
    try {
        Recordset& rs = opened(gRsOptions);
        rs.moveFirst();
        while (!rs.eof()) {
            const QString name = rs.field(QStringLiteral("optionName")).toString();
            const QVariant value = rs.field(QStringLiteral("OptionValue"));
            auto is = [&name](const char* key) { return name.compare(QLatin1String(key), Qt::CaseSensitive) == 0; };
            if (is("ShutDownTime")) {
                gShutDownTime = qint16(optionToInteger(value, -32768, 32767));
                // The idle timer keeps the time in 8 bits: bound a larger stored value instead of failing.
                gShutDownTimeByte = quint8(std::clamp<int>(gShutDownTime, 0, 255));
                gShutDownTime = qint16(gShutDownTimeByte);
            } else if (is("ShowPasswordText")) {
                gShowPasswordText = optionToBool(value);
            } else if (is("ShowPasswordColumn")) {
                gShowPasswordColumn = optionToBool(value);
            } else if (is("ShowPriorUserIDPassword")) {
                gShowPriorUserIDPassword = optionToBool(value);
            } else if (is("ShowDeletedRecord")) {
                gShowDeletedRecord = optionToBool(value);
            } else if (is("ShutDownKeyvale")) {
                gShutDownKeyvale = optionToBool(value);
            } else if (is("ConfirmUpdate")) {
                gConfirmUpdate = optionToBool(value);
            } else if (is("BackupLocation")) {
                gBackupLocation = value.isNull() ? gAppPath : value.toString();
            } else if (is("GridBackColorOdd")) {
                gGridBackColorOdd = qint32(optionToInteger(value, INT32_MIN, INT32_MAX));
            } else if (is("GridForeColorOdd")) {
                gGridForeColorOdd = qint32(optionToInteger(value, INT32_MIN, INT32_MAX));
            } else if (is("GridBackColorEven")) {
                gGridBackColorEven = qint32(optionToInteger(value, INT32_MIN, INT32_MAX));
            } else if (is("GridForeColorEven")) {
                gGridForeColorEven = qint32(optionToInteger(value, INT32_MIN, INT32_MAX));
            } else if (is("ImportSelectPath")) {
                gImportSelectPath = value.isNull() ? QString() : value.toString();
            } else if (is("ExportPassword")) {
                gExportPassword = optionToBool(value);
            }
            rs.moveNext();
        }

        struct DefaultRow {
            const char* name;
            QString value;
            qint32* color;
        };
        const DefaultRow defaults[] = {
            {"GridBackColorOdd", QString::number(kDefaultGridBackColorOdd), &gGridBackColorOdd},
            {"GridForeColorOdd", QString::number(kDefaultGridForeColorOdd), &gGridForeColorOdd},
            {"GridBackColorEven", QString::number(kDefaultGridBackColorEven), &gGridBackColorEven},
            {"GridForeColorEven", QString::number(kDefaultGridForeColorEven), &gGridForeColorEven},
            {"ImportSelectPath", QStringLiteral(""), nullptr},
            {"ExportPassword", QStringLiteral("0"), nullptr},
        };
        for (const DefaultRow& row : defaults) {
            rs.moveFirst();
            if (rs.find(QStringLiteral("OptionName"), QString::fromLatin1(row.name))) continue;
            if (row.color) *row.color = row.value.toInt();
            rs.addNew();
            rs.setField(QStringLiteral("optionName"), QString::fromLatin1(row.name));
            rs.setField(QStringLiteral("OptionValue"), row.value);
            rs.update();
        }
        return true;
    } catch (const Error& e) {
        // A row the database refused must not be tried again at every later move of the shared options.
        if (gRsOptions) gRsOptions->cancelUpdate();
        reportError(e, QStringLiteral("GetOptions of Module modKeyvale"));
        return false;
    }
}

void gSaveOptions() {
    try {
        Recordset& rs = opened(gRsOptions);
        auto yesNo = [](bool v) { return v ? QStringLiteral("-1") : QStringLiteral("0"); };
        rs.moveFirst();
        while (!rs.eof()) {
            const QString name = rs.field(QStringLiteral("optionName")).toString();
            auto is = [&name](const char* key) { return name.compare(QLatin1String(key), Qt::CaseSensitive) == 0; };
            const QString value = QStringLiteral("OptionValue");
            if (is("ShutDownTime")) rs.setField(value, QString::number(gShutDownTime));
            else if (is("ShowPasswordText")) rs.setField(value, yesNo(gShowPasswordText));
            else if (is("ShowPasswordColumn")) rs.setField(value, yesNo(gShowPasswordColumn));
            else if (is("ShowPriorUserIDPassword")) rs.setField(value, yesNo(gShowPriorUserIDPassword));
            else if (is("ShowDeletedRecord")) rs.setField(value, yesNo(gShowDeletedRecord));
            else if (is("ShutDownKeyvale")) rs.setField(value, yesNo(gShutDownKeyvale));
            else if (is("ConfirmUpdate")) rs.setField(value, yesNo(gConfirmUpdate));
            else if (is("BackupLocation")) rs.setField(value, gBackupLocation);
            else if (is("GridBackColorOdd")) rs.setField(value, colorOptionText(gGridBackColorOdd));
            else if (is("GridForeColorOdd")) rs.setField(value, colorOptionText(gGridForeColorOdd));
            else if (is("GridBackColorEven")) rs.setField(value, colorOptionText(gGridBackColorEven));
            else if (is("GridForeColorEven")) rs.setField(value, colorOptionText(gGridForeColorEven));
            else if (is("ExportPassword")) rs.setField(value, yesNo(gExportPassword));
            rs.update();
            rs.moveNext();
        }
    } catch (const Error& e) {
        // A row the database refused must not be tried again at every later move of the shared options.
        if (gRsOptions) gRsOptions->cancelUpdate();
        reportError(e, QStringLiteral("gSaveOptions of Module modKeyvale"));
    }
}

} // namespace kv
