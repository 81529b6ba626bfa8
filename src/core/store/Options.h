#pragma once

#include <QString>

namespace kv {

// The option settings, one variable per row of tblOptions, loaded by GetOptions at start-up.
inline qint16 gShutDownTime = 0;
inline quint8 gShutDownTimeByte = 0;
inline bool gShowPasswordText = false;
inline bool gShowPasswordColumn = false;
inline bool gShowPriorUserIDPassword = false;
inline bool gShowDeletedRecord = false;
inline bool gShutDownKeyvale = false;
inline bool gConfirmUpdate = false;
inline QString gBackupLocation;
inline qint32 gGridBackColorOdd = 0;
inline qint32 gGridForeColorOdd = 0;
inline qint32 gGridBackColorEven = 0;
inline qint32 gGridForeColorEven = 0;
inline QString gImportSelectPath;
inline bool gExportPassword = false;

// The default rows added when missing.
inline constexpr qint32 kDefaultGridBackColorOdd = 16776960;
inline constexpr qint32 kDefaultGridForeColorOdd = 0;
inline constexpr qint32 kDefaultGridBackColorEven = 16777215;
inline constexpr qint32 kDefaultGridForeColorEven = 8421504;

// Reads every row of gRsOptions into the variables, then adds the missing default rows. An error is
// reported with the standard message and ends the loading at that row; the answer is then false.
bool GetOptions();
// Writes the variables back into the rows of gRsOptions; rows of unknown names are left as they are.
void gSaveOptions();

// Conversions of stored option texts, as the settings have always been read.
// "-1" / any non-zero number: true; "0": false; "True"/"False" as such; anything else fails with 13.
bool optionToBool(const QVariant& value);
// A whole number, rounded half to even; fails with 13 for text that is not a number, 6 beyond the range.
qint64 optionToInteger(const QVariant& value, qint64 lowest, qint64 highest);
// The stored text of a colour: one leading blank for zero or more, a minus sign otherwise.
QString colorOptionText(qint32 color);

} // namespace kv
