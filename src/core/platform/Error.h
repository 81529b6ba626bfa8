#pragma once

#include <QString>
#include <stdexcept>

namespace kv {

// An error with the number and description that the program's error messages show.
class Error : public std::runtime_error {
public:
    Error(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    int number() const { return number_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};

// The error numbers the program tells apart.
namespace err {
inline constexpr int Overflow = 6;
inline constexpr int TypeMismatch = 13;
inline constexpr int FileNotFound = 53;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidUseOfNull = 94;
inline constexpr int ItemNotFound = 3265;
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int DuplicateValue = 3022;
inline constexpr int ReadOnlyDatabase = 3027;
inline constexpr int DatabaseDamaged = 3049;
inline constexpr int FileMissing = 3024;
inline constexpr int NotAValidPassword = 3031;
inline constexpr int TableMissing = 3078;
inline constexpr int RelatedRecordRequired = 3201;
inline constexpr int NotADatabase = 3343;
inline constexpr int DatabaseError = 3146;
} // namespace err

// "Error N (description) in procedure X of Form Y": `where` is everything after "in procedure ",
// e.g. "gInitializeDB of module modDBstuff".
QString errorText(int number, const QString& description, const QString& where);
QString errorText(const Error& e, const QString& where);

// Shows the standard error message: OK button, no icon, the application's title.
void reportError(const Error& e, const QString& where);
// The same for any other exception that reached a handler.
void reportError(const std::exception& e, const QString& where);

// "N - description" with the critical icon, the form some start-up routines use.
void reportCritical(const Error& e);

} // namespace kv
