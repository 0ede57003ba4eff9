#include "tests/plimora_table/tool_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

#include "store/schema.h"

#ifndef PLIMORA_TABLE
#error "PLIMORA_TABLE must name the plimora-table executable"
#endif

namespace table_test {

namespace {

constexpr uid_t kNobody = 65534;

struct Outputs {
    std::string out;
    std::string err;
};

std::map<pid_t, Outputs> &outputs() {
    static std::map<pid_t, Outputs> files;
    return files;
}

std::string tempName(const char *what) {
    static std::mt19937_64 random(std::random_device{}());
    return (fs::temp_directory_path() /
            ("plimora-table-test-" + std::string(what) + "-" + std::to_string(random())))
        .string();
}

struct Db {
    explicit Db(const std::string &path) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            throw std::runtime_error("cannot open " + path);
        }
    }
    ~Db() { sqlite3_close(db); }
    sqlite3 *db = nullptr;
};

}  // namespace

pid_t start(const std::vector<std::string> &args, const RunOptions &options) {
    const Outputs files{tempName("out"), tempName("err")};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int out = ::open(files.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(files.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        if (!options.standardInput.empty()) {
            const int in = ::open(options.standardInput.c_str(), O_RDONLY);
            ::dup2(in, STDIN_FILENO);
        }
        if (options.asNobody &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            std::fputs(kCannotDropRights, stderr);
            ::_exit(125);
        }
        if (options.fileSizeLimit > 0) {
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const std::string &variable : options.environment) {
            ::putenv(const_cast<char *>(variable.c_str()));
        }
        const char *program = options.program ? options.program : PLIMORA_TABLE;
        std::vector<char *> argv{const_cast<char *>(program)};
        for (const std::string &arg : args) {
            argv.push_back(const_cast<char *>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program, argv.data());
        // As nobody, the tool itself may be out of reach (a build under a
        // folder only root may enter): such a test cannot run here.
        if (options.asNobody) {
            std::fputs(kCannotDropRights, stderr);
            ::_exit(125);
        }
        ::_exit(127);
    }
    outputs()[pid] = files;
    return pid;
}

Result finish(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Result result;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    const Outputs files = outputs()[pid];
    outputs().erase(pid);
    result.out = readFile(files.out);
    result.err = readFile(files.err);
    std::remove(files.out.c_str());
    std::remove(files.err.c_str());
    return result;
}

Result run(const std::vector<std::string> &args, const RunOptions &options) {
    return finish(start(args, options));
}

TempDir::TempDir() : m_path(tempName("dir")) {
    fs::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string checksum(const std::string &path) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : readFile(path)) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string tsv(const std::vector<std::string> &lines) {
    std::string text(store::schema::kTsvHeader);
    text += '\n';
    for (const std::string &line : lines) {
        text += line + '\n';
    }
    return text;
}

std::string editionFile(int serial) {
    return "key\tvalue\nedition\t" + std::to_string(serial) + "\ndate\t2027-0" +
           std::to_string(serial % 10) + "-01\nsources\ttest edition " + std::to_string(serial) +
           "\n";
}

std::string queryText(const std::string &storePath, const std::string &sql) {
    const Db db(storePath);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db.db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        return {};
    }
    std::string text;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        const auto *value = sqlite3_column_text(statement, 0);
        text = value ? reinterpret_cast<const char *>(value) : "";
    }
    sqlite3_finalize(statement);
    return text;
}

std::string metadataValue(const std::string &storePath, const std::string &key) {
    return queryText(storePath, "select value from quelto_meta where key = '" + key + "'");
}

void execSql(const std::string &storePath, const std::string &sql) {
    const Db db(storePath);
    char *message = nullptr;
    if (sqlite3_exec(db.db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "failed";
        sqlite3_free(message);
        throw std::runtime_error(sql + ": " + text);
    }
}

}  // namespace table_test
