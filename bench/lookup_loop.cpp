// lookup_loop FOLDER COUNT [text]
//
// Looks COUNT random numbers up in FOLDER/sys.dat one after the other, the
// way the lookup window does (or, with "text", with the range query followed
// by a space, so that it is prepared from its text every time), and reads the
// four columns of every row found. Nothing else runs, so it is the thing to
// put under a profiler, strace -c or valgrind --tool=callgrind. Prints how
// many numbers a row answered.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: lookup_loop FOLDER COUNT [text]\n");
        return 2;
    }
    store::setUpEngine();
    store::DataConnection connection;
    store::bind(connection, argv[1]);
    const long count = std::atol(argv[2]);
    const bool asText = argc > 3 && std::string(argv[3]) == "text";
    std::mt19937 random(20261208);
    std::uniform_int_distribution<long long> number(13000000000LL, 19999999999LL);
    long found = 0;
    try {
        for (long i = 0; i < count; ++i) {
            const std::string text = std::to_string(number(random));
            if (asText) {
                connection.RecordSource =
                    store::rangeQuery(store::keyText(store::prefixKey(text))) + " ";
                connection.Refresh();
            } else {
                store::lookUp(connection, text);
            }
            store::Recordset &set = connection.Recordset();
            if (set.Eof()) {
                continue;
            }
            const std::string shown = set.Fields(store::schema::kProvince).text() +
                                      set.Fields(store::schema::kCity).text() +
                                      set.Fields(store::schema::kAreaCode).text() +
                                      set.Fields(store::schema::kCard).text();
            found += shown.empty() ? 0 : 1;
        }
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    std::printf("%ld of %ld found\n", found, count);
    return 0;
}
