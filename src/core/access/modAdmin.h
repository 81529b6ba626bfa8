#pragma once

#include <QString>
#include <optional>

namespace kv {

// The rules every new master password must meet, as stored (deciphered) in tbladmin: the minimum length
// exactly as the user typed it (e.g. "6"), and "YES" when letters and digits must be mixed ("NOS" when
// not). Both stay empty until loaded, which means no rule at all.
inline QString gPwdLength;
inline QString gAlphaNumeric;

// Loads the rules from the first row of tbladmin; errors are reported and leave what was read so far.
void GetAdminInfo();

// Checks a new master password against the rules. When it breaks one, shows that rule's message (only
// one, the length first) and answers false.
bool gAdminValidation(const QString& password);

// The number a text starts with: leading blanks are skipped, the number ends at the first character that
// cannot continue it, and a text that does not start with a number gives 0 (so " 6.5x" gives 6.5).
double leadingNumber(const QString& text);

// A text the user typed as a number (surrounding blanks and a decimal part allowed, in the user's
// locale or with a decimal point); nullopt when it is not a finite number.
std::optional<double> parseNumber(const QString& text);

// The characters of a new master password or recovery answer that could not be stored so that its
// upper-case form comes back unchanged, each once, as typed; empty when the text can be stored.
QString unstorableTypedCharacters(const QString& text);

// Whether a new master password (as typed) can be stored so that the same typing logs on at the next
// start: every character must survive the field cipher, and it must not begin or end with a blank, since
// the stored values are trimmed when they are read. Shows the reason and answers false when not.
bool CanStoreMasterPassword(const QString& password);
// The same for a new recovery answer (its blanks are kept, it is only compared in full).
bool CanStoreRecoveryAnswer(const QString& answer);

} // namespace kv
