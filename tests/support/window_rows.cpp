#include "tests/support/window_rows.h"

#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"

namespace testing_support {

bool addLikeTheWindow(const std::string &folder, const std::string &number,
                      const std::array<std::string, 4> &texts) {
    store::DataConnection connection;
    store::bind(connection, folder);
    if (store::lookUp(connection, number)) {
        return false;
    }
    store::Recordset &set = connection.Recordset();
    set.AddNew();
    const double key = store::prefixKey(number);
    set.Fields(store::schema::kLow) = key;
    set.Fields(store::schema::kHigh) = key;
    set.Fields(store::schema::kProvince) = texts[0];
    set.Fields(store::schema::kCity) = texts[1];
    set.Fields(store::schema::kAreaCode) = texts[2];
    set.Fields(store::schema::kCard) = texts[3];
    set.Update();
    return true;
}

std::optional<std::array<std::string, 4>> lookUpLikeTheWindow(const std::string &folder,
                                                              const std::string &number) {
    store::DataConnection connection;
    store::bind(connection, folder);
    if (!store::lookUp(connection, number)) {
        return std::nullopt;
    }
    store::Recordset &set = connection.Recordset();
    return std::array<std::string, 4>{
        set.Fields(store::schema::kProvince).text(), set.Fields(store::schema::kCity).text(),
        set.Fields(store::schema::kAreaCode).text(), set.Fields(store::schema::kCard).text()};
}

}  // namespace testing_support
