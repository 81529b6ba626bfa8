#pragma once

#include <QString>

namespace kv {

// Creates the database file as it is delivered: the five tables, the cascading relation between the
// group names and the records, the index for the group/website order, and the option rows with their
// starting values. The file is created owner-only; an existing file is never touched (throws).
void createDeliveredDatabase(const QString& path);

namespace sql {
class Connection;
}
// Throws kv::Error unless the open database holds every table of the delivered one with all its fields,
// each of the kind of value the program stores in it; the message names the table and the field. Fields
// are found by name: their order and any further fields do not matter.
void checkDeliveredTables(const sql::Connection& connection);
// Throws kv::Error (err::DatabaseDamaged, saying where) unless every page of the file reads back whole.
// Reads the whole file.
void checkDatabaseIntact(const sql::Connection& connection);
// Throws kv::Error (err::ReadOnlyDatabase, saying why) when changes could not be stored in the file.
void checkDatabaseWritable(const sql::Connection& connection);

} // namespace kv
