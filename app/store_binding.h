// How a window's data connection is tied to the store beside the program.
#pragma once

namespace store {
class DataConnection;
}

namespace app {

// Binds connection to the store in programDir() (store::bind(): the file
// opened is sys.dat in that folder, whatever its name; nothing is opened
// yet), and has every wait of it for a store
// that another program is writing handled by whileStoreBusy(): busy cursor,
// windows painting, no other reaction. The 30 s limit of a wait stays.
void bindStore(store::DataConnection &connection);

}  // namespace app
