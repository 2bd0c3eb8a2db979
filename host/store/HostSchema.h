#ifndef NORV_HOST_STORE_HOSTSCHEMA_H_
#define NORV_HOST_STORE_HOSTSCHEMA_H_

namespace norvhost {

// The table definitions, as compiled into the program.
const char* SqliteSchemaText();
const char* PostgresSchemaText();

}  // namespace norvhost

#endif  // NORV_HOST_STORE_HOSTSCHEMA_H_
