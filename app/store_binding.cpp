#include "app/store_binding.h"

#include "app/application.h"
#include "app/reaction.h"
#include "store/data_connection.h"

namespace app {

void bindStore(store::DataConnection &connection) {
    store::bind(connection, programDir());
    connection.setBusyHook(whileStoreBusy);
}

}  // namespace app
