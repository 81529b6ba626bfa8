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
// Throws kv::Error unless the open database holds every table of the delivered one with all its fields.
void checkDeliveredTables(const sql::Connection& connection);

} // namespace kv
