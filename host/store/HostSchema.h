#ifndef NORV_HOST_STORE_HOSTSCHEMA_H_
#define NORV_HOST_STORE_HOSTSCHEMA_H_

namespace norvhost {

// The table definitions, as compiled into the program.
const char* SqliteSchemaText();
const char* PostgresSchemaText();
// The end of `schema` that defines the host's own tables, which follow the
// library's and never touch them.
const char* HostTablesText(const char* schema);

}  // namespace norvhost

#endif  // NORV_HOST_STORE_HOSTSCHEMA_H_
