// The store file as plimora-table's commands meet it. It lives in the update
// core (upgrade/store_file.h), which the program shares; the commands name
// it from their own namespace.
#pragma once

#include "upgrade/failure.h"
#include "upgrade/store_file.h"

namespace table {

using upgrade::failOnStore;
using upgrade::forEachRow;
using upgrade::forEachShippedRow;
using upgrade::Holdings;
using upgrade::kBusyTimeoutMs;
using upgrade::readHoldings;
using upgrade::StoredRow;
using upgrade::storedSerial;
using upgrade::storeErrorText;
using upgrade::StoreFile;

}  // namespace table
