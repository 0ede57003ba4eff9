// lookup_bench [quelto.tsv ...]
//
// Builds a sys.dat from each given table (the shipped one when none is
// given) in a temporary folder, then times single lookups of the same
// 100,000 random numbers in several ways, every way for each number before
// the next number, the way that goes first rotating, so that all of them see
// the same numbers under the same machine load:
//   - in each store, the lookup as the lookup window runs it: store::lookUp
//     (the range query as record source, Refresh) and its four column reads;
//   - in each store, the same with the range query followed by a space as
//     record source: the same SQL, but not the range query's exact text, so
//     it is prepared from its text for every lookup, as every lookup was
//     before range queries got a statement of their own;
//   - when built with libphonenumber: its parse of "+86" and the number and
//     its offline geocoder's description of it in Chinese.
// With two tables (an old and a new one) their medians compare fairly too.
// Prints each build time and, for each way, the median, p99, mean and max of
// all lookups and of those that found an answer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "plimora_table/table_text.h"
#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"

#ifdef PLIMORA_HAVE_LIBPHONENUMBER
#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumberutil.h>
#include <unicode/locid.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLookups = 100000;
constexpr int kWarmUpLookups = 1000;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

struct Store {
    std::string tsv;
    std::filesystem::path dir{};
    // One for each way, as each window has its own: a lookup must not find
    // the pages another way has just read in its connection's cache.
    std::unique_ptr<store::DataConnection> window{};
    std::unique_ptr<store::DataConnection> text{};
};

// One way of looking a number up; lookUp returns whether it found an answer.
struct Way {
    std::string name;
    std::function<bool(const std::string &number)> lookUp;
    std::vector<double> latencies{};
    std::vector<double> foundLatencies{};
};

struct Summary {
    double mean;
    double median;
    double p99;
    double max;
};

Summary summarise(std::vector<double> &latencies) {
    if (latencies.empty()) {
        return {0, 0, 0, 0};
    }
    std::sort(latencies.begin(), latencies.end());
    double total = 0;
    for (double l : latencies) {
        total += l;
    }
    const std::size_t n = latencies.size();
    return {total / static_cast<double>(n), latencies[n / 2], latencies[n * 99 / 100],
            latencies.back()};
}

// The four column reads the lookup window makes after a lookup that found a row.
bool readRow(store::DataConnection &connection) {
    auto &set = connection.Recordset();
    const std::string shown =
        set.Fields(store::schema::kProvince).text() + set.Fields(store::schema::kCity).text() +
        set.Fields(store::schema::kAreaCode).text() + set.Fields(store::schema::kCard).text();
    return !shown.empty();
}

bool windowLookUp(store::DataConnection &connection, const std::string &number) {
    return store::lookUp(connection, number) && readRow(connection);
}

bool textLookUp(store::DataConnection &connection, const std::string &number) {
    connection.RecordSource = store::rangeQuery(store::keyText(store::prefixKey(number))) + " ";
    connection.Refresh();
    return !connection.Recordset().Eof() && readRow(connection);
}

#ifdef PLIMORA_HAVE_LIBPHONENUMBER
class PhoneNumberLookUp {
public:
    bool operator()(const std::string &number) {
        i18n::phonenumbers::PhoneNumber parsed;
        if (m_util.Parse("+86" + number, "ZZ", &parsed) !=
            i18n::phonenumbers::PhoneNumberUtil::NO_PARSING_ERROR) {
            return false;
        }
        return !m_geocoder->GetDescriptionForNumber(parsed, m_chinese).empty();
    }

private:
    const i18n::phonenumbers::PhoneNumberUtil &m_util =
        *i18n::phonenumbers::PhoneNumberUtil::GetInstance();
    std::shared_ptr<i18n::phonenumbers::PhoneNumberOfflineGeocoder> m_geocoder =
        std::make_shared<i18n::phonenumbers::PhoneNumberOfflineGeocoder>();
    icu::Locale m_chinese{"zh"};
};
#endif

}  // namespace

int main(int argc, char **argv) {
    store::setUpEngine();  // as the program does at its start
    std::vector<Store> stores;
    for (int i = 1; i < argc; ++i) {
        stores.push_back(Store{argv[i]});
    }
    if (stores.empty()) {
        stores.push_back(Store{PLIMORA_SOURCE_DIR "/data/quelto.tsv"});
    }
    const auto root = std::filesystem::temp_directory_path() / "plimora-bench";
    std::filesystem::remove_all(root);
    try {
        std::vector<Way> ways;
        for (std::size_t i = 0; i < stores.size(); ++i) {
            Store &s = stores[i];
            s.dir = root / std::to_string(i);
            std::filesystem::create_directories(s.dir);
            const auto buildStart = Clock::now();
            const auto rows = table::buildSysdat(s.tsv, (s.dir / "sys.dat").string());
            const double buildSeconds = microseconds(Clock::now() - buildStart) / 1e6;
            std::printf("%s: built sys.dat: %zu rows, %ju bytes, %.2f s\n", s.tsv.c_str(), rows,
                        static_cast<std::uintmax_t>(std::filesystem::file_size(s.dir / "sys.dat")),
                        buildSeconds);
            s.window = std::make_unique<store::DataConnection>();
            store::bind(*s.window, s.dir.string());
            s.text = std::make_unique<store::DataConnection>();
            store::bind(*s.text, s.dir.string());
            const std::string name = std::filesystem::path(s.tsv).filename().string();
            ways.push_back(Way{name + ": window lookup",
                               [connection = s.window.get()](const std::string &number) {
                                   return windowLookUp(*connection, number);
                               }});
            ways.push_back(Way{name + ": record source as text",
                               [connection = s.text.get()](const std::string &number) {
                                   return textLookUp(*connection, number);
                               }});
        }
#ifdef PLIMORA_HAVE_LIBPHONENUMBER
        ways.push_back(Way{"libphonenumber: parse + geocode (zh)", PhoneNumberLookUp()});
#endif
        for (Way &way : ways) {
            way.latencies.reserve(kLookups);
        }

        std::uniform_int_distribution<long long> number(13000000000LL, 19999999999LL);
        std::mt19937 warmUp(1);
        for (int i = 0; i < kWarmUpLookups; ++i) {
            const std::string text = std::to_string(number(warmUp));
            for (Way &way : ways) {
                way.lookUp(text);
            }
        }
        std::mt19937 random(20261208);  // fixed seed: the same numbers every run
        for (int i = 0; i < kLookups; ++i) {
            const std::string text = std::to_string(number(random));
            for (std::size_t k = 0; k < ways.size(); ++k) {
                Way &way = ways[(k + static_cast<std::size_t>(i)) % ways.size()];
                const auto start = Clock::now();
                const bool found = way.lookUp(text);
                const double took = microseconds(Clock::now() - start);
                way.latencies.push_back(took);
                if (found) {
                    way.foundLatencies.push_back(took);
                }
            }
        }

        std::printf("%d lookups of random numbers 13000000000..19999999999 each way\n", kLookups);
        // A lookup that finds a row also reads its four texts, so a table
        // that answers more numbers is slower on average for that alone; the
        // found lookups are summarised on their own to compare like with like.
        for (Way &way : ways) {
            const std::size_t found = way.foundLatencies.size();
            const Summary all = summarise(way.latencies);
            const Summary answered = summarise(way.foundLatencies);
            std::printf(
                "%s: %zu found\n"
                "  all lookups:   median %.1f us, p99 %.1f us, mean %.1f us, max %.1f us\n"
                "  found lookups: median %.1f us, p99 %.1f us, mean %.1f us, max %.1f us\n",
                way.name.c_str(), found, all.median, all.p99, all.mean, all.max, answered.median,
                answered.p99, answered.mean, answered.max);
        }
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    stores.clear();
    std::filesystem::remove_all(root);
    return 0;
}
