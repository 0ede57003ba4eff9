// plimora-table update: a new edition of the table, with every row the user
// added carried over. The new store is written beside the old one, synced,
// and renamed over it; the old one stays as a dated backup. At every moment
// the store's name holds either the old file or the complete new one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/fault_point.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/commands.h"
#include "plimora_table/row_text.h"
#include "plimora_table/store_file.h"
#include "plimora_table/table_text.h"
#include "plimora_table/user_overrides.h"
#include "store/store_writer.h"
#include "store/text.h"

namespace table {

namespace {

constexpr std::uint64_t kRowsPerProgress = 1024;

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--table", "", "FILE", "新版本的号码表（TSV，如 data/quelto.tsv）"},
    {"--edition", "", "FILE", "新版本的版本说明（默认：号码表旁边的 edition.tsv）"},
    {"--shipped-from", "", "FILE", "从另一个 sys.dat（如新程序文件夹里的）取新版本的号码表"},
    {"--rows-from", "", "FILE", "把另一个 sys.dat（如旧程序文件夹里的）中您添加的行也带过来"},
    {"--if-newer", "", "", "只在新版本比存储文件里的版本新时更新，否则什么也不做"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "把存储文件换成新版本的号码表，并把您添加的每一行带过去。您的行与新版本\n"
    "重叠时以您的行为准，并在报告中列出新版本的答案。新文件先写在旁边，写完、\n"
    "落盘后才替换原文件；原文件保留为带日期的备份（sys.dat.年月日-时分秒.bak）。\n"
    "新版本来自 --table（文本号码表）或 --shipped-from（另一个 sys.dat）；两者都\n"
    "不给时沿用存储文件自己的版本，这时通常用 --rows-from 带来旧文件里您的行。\n"
    "更新时请先关闭 Plimora。";

// The rows of the new edition, and how far reading them has got.
struct NewEdition {
    store::Edition edition;
    std::optional<QueltoTsv> table;    // from a text table, or
    const StoreFile *store = nullptr;  // from a store's edition rows
    const Holdings *holdings = nullptr;
    std::uint64_t total = 0;  // bytes of the table, or rows of the store
};

// A file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Copies the open file fd to a new file at to. The store is read through a
// descriptor opened before its lock was taken: closing any other descriptor
// of it would drop this process's locks on it (POSIX record locks).
void copyFile(int fd, const std::string &from, const std::string &to) {
    cli::OutputFile out(to);
    char buffer[1 << 16];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0) {
            throw cli::unreadable(from, errno);
        }
        if (got == 0) {
            break;
        }
        if (std::fwrite(buffer, 1, static_cast<std::size_t>(got), out.stream()) !=
            static_cast<std::size_t>(got)) {
            throw cli::Failure(to, "写入失败：" + cli::describeErrno(errno));
        }
        offset += got;
    }
    out.commit();
}

// Gives the old store a second name, "<store>.<date-time>.bak", and returns
// it. A hard link costs neither time nor space; where the file system has
// none the file is copied.
std::string backUp(const std::string &storePath, int storeFd) {
    const std::string stamp = timestamp();
    for (int n = 1;; ++n) {
        const std::string backup =
            storePath + "." + stamp + (n > 1 ? "-" + std::to_string(n) : "") + ".bak";
        if (::link(storePath.c_str(), backup.c_str()) == 0) {
            return backup;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno == EPERM || errno == EXDEV || errno == EMLINK || errno == ENOTSUP ||
            errno == ENOSYS) {
            copyFile(storeFd, storePath, backup);
            return backup;
        }
        throw cli::Failure(storePath, "无法建立备份 " + backup + "：" + cli::describeErrno(errno));
    }
}

// Creates the new file empty (the writer fills it), so that a folder that
// does not take new files is named with the system's reason.
void createEmpty(const std::string &path, const std::string &storePath) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw cli::Failure(storePath, "无法在文件夹 " + cli::folderOf(path) + " 中建立新文件：" +
                                          cli::describeErrno(errno) + "；原来的文件没有改动");
    }
    ::close(fd);
}

// The new file takes over the old one's permissions (and, for root, owner).
void keepAccess(const std::string &storePath, const std::string &newPath) {
    struct stat status {};
    if (::stat(storePath.c_str(), &status) != 0) {
        return;
    }
    ::chmod(newPath.c_str(), status.st_mode & 07777);
    if (::geteuid() == 0) {
        // Best effort: the file stays usable by root if this fails.
        [[maybe_unused]] const int ignored = ::chown(newPath.c_str(), status.st_uid, status.st_gid);
    }
}

}  // namespace

int runUpdate(const std::vector<std::string> &words) {
    const auto parsed = commandOptions(words, "plimora-table update [选项]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    refuseArguments(options, "update");
    const auto tablePath = options.value("--table");
    const auto shippedFrom = options.value("--shipped-from");
    const auto rowsFrom = options.value("--rows-from");
    if (tablePath && shippedFrom) {
        throw cli::UsageError("--table 和 --shipped-from 只能给一个");
    }
    if (options.has("--edition") && !tablePath) {
        throw cli::UsageError("--edition 要和 --table 一起用");
    }
    if (!tablePath && !shippedFrom && !rowsFrom) {
        throw cli::UsageError(
            "请用 --table 或 --shipped-from 指明新版本，或用 --rows-from 指明旧文件");
    }
    const std::string storePath = storePathOf(options);

    NewEdition next;
    if (tablePath) {
        next.edition = readEdition(
            options.value("--edition").value_or(cli::folderOf(*tablePath) + "/edition.tsv"));
        next.table.emplace(*tablePath);
        next.total = next.table->size();
    }
    StoreFile store(storePath, StoreFile::Access::Write);
    std::optional<StoreFile> source;
    std::optional<Holdings> sourceHoldings;
    if (shippedFrom) {
        source.emplace(*shippedFrom, StoreFile::Access::Read);
        sourceHoldings = readHoldings(*source);
        if (sourceHoldings->overridden > 0) {
            throw cli::Failure(
                *shippedFrom,
                "这个文件里的版本已有一部分让给了您的行，不完整，不能作为新版本的来源；"
                "请用新程序文件夹里没有改动过的 sys.dat");
        }
        next.edition = sourceHoldings->edition;
        next.store = &*source;
        next.holdings = &*sourceHoldings;
        next.total = sourceHoldings->shippedRows;
    }

    const long long currentSerial = storedSerial(store);
    if (tablePath || shippedFrom) {
        const long long newSerial = next.edition.serial().value_or(0);
        if (options.has("--if-newer") && newSerial <= currentSerial) {
            return 0;
        }
        if (newSerial < currentSerial) {
            throw cli::Failure(tablePath ? *tablePath : *shippedFrom,
                               "是第 " + std::to_string(newSerial) + " 版，比 " + storePath +
                                   " 里的第 " + std::to_string(currentSerial) + " 版旧；没有更新");
        }
    } else if (options.has("--if-newer")) {
        return 0;
    }

    // Everything else is opened before the store is locked (see copyFile).
    std::optional<Holdings> otherHoldings;
    if (rowsFrom) {
        const StoreFile other(*rowsFrom, StoreFile::Access::Read);
        otherHoldings = readHoldings(other);
    }
    const Descriptor storeFile(::open(storePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (storeFile.get() < 0) {
        throw cli::unreadable(storePath, errno);
    }

    store.lock();
    const Holdings holdings = readHoldings(store);
    cli::faultPoint("update-locked");
    if (!tablePath && !shippedFrom) {
        next.edition = holdings.edition;
        next.store = &store;
        next.holdings = &holdings;
        next.total = holdings.shippedRows;
    }

    std::vector<StoredRow> userRows = holdings.userRows;
    std::size_t broughtOver = 0;
    if (otherHoldings) {
        for (const StoredRow &row : otherHoldings->userRows) {
            const bool known =
                std::any_of(userRows.begin(), userRows.end(),
                            [&](const StoredRow &mine) { return mine.row == row.row; });
            if (!known) {
                userRows.push_back(row);
                ++broughtOver;
            }
        }
    }

    UserOverrides overrides(userRows);
    const std::string partPath = storePath + ".part";
    std::string backupPath;
    bool replaced = false;
    auto failWriting = [&](const store::StoreError &error) {
        try {
            failOnStore(storePath, error);
        } catch (const cli::Failure &failure) {
            throw cli::Failure(storePath, failure.message() + "（写入新文件 " + partPath +
                                              " 时）；原来的文件没有改动");
        }
    };
    try {
        std::optional<store::StoreWriter> writer;
        createEmpty(partPath, storePath);
        try {
            writer.emplace(partPath);
        } catch (const store::StoreError &error) {
            failWriting(error);
        }
        cli::Progress progress("正在写入新的号码表", next.total);
        std::uint64_t rowsRead = 0;
        auto addShipped = [&](const store::Row &row) {
            try {
                for (const store::Row &part : overrides.uncovered(row)) {
                    writer->addShipped(part);
                }
            } catch (const store::StoreError &error) {
                failWriting(error);
            }
            ++rowsRead;
            if (rowsRead % kRowsPerProgress == 0) {
                progress.update(next.table ? next.table->bytesRead() : rowsRead);
            }
        };
        if (next.table) {
            store::Row row;
            while (next.table->next(row)) {
                addShipped(row);
            }
        } else {
            try {
                forEachShippedRow(*next.store, *next.holdings, addShipped);
            } catch (const store::StoreError &error) {
                next.store->fail(error);
            }
        }
        cli::faultPoint("update-shipped");
        try {
            for (const StoredRow &row : userRows) {
                writer->addUser(row.row);
            }
            progress.finish();
            // A store that is its own source has its earlier cuts still missing.
            const long long earlier = next.store == &store ? holdings.overridden : 0;
            writer->finish(next.edition, earlier + overrides.overridden());
        } catch (const store::StoreError &error) {
            failWriting(error);
        }
        writer.reset();
        cli::faultPoint("update-written");
        keepAccess(storePath, partPath);
        backupPath = backUp(storePath, storeFile.get());
        cli::faultPoint("update-backed-up");
        cli::replaceFile(partPath, storePath);
        replaced = true;
        cli::faultPoint("update-replaced");
    } catch (...) {
        std::remove(partPath.c_str());
        if (!replaced && !backupPath.empty()) {
            std::remove(backupPath.c_str());
        }
        throw;
    }
    store.rollback();

    std::string line = storePath + "：";
    const long long newSerial = next.edition.serial().value_or(0);
    line += newSerial != currentSerial
                ? "已从第 " + std::to_string(currentSerial) + " 版更新到" + next.edition.describe()
                : "已按" + next.edition.describe() + "重新写入";
    line += "，保留了您添加的 " + std::to_string(userRows.size()) + " 行";
    if (rowsFrom) {
        line += "（其中 " + std::to_string(broughtOver) + " 行来自 " + *rowsFrom + "）";
    }
    line += "；原文件备份为 " + backupPath;
    std::printf("%s\n", store::escapedText(line).c_str());
    if (!holdings.fromMetadata) {
        std::printf(
            "原文件没有版本信息：已与第 1 版逐行比对，第 1 版的 %zu 行相同，其余 %zu 行是您的",
            holdings.shippedRows, holdings.userRows.size());
        if (holdings.changedRows > 0) {
            std::printf("（其中 %zu 行是改动过的第 1 版的行，按您的行保留）", holdings.changedRows);
        }
        if (holdings.missingRows > 0) {
            std::printf("；第 1 版有 %zu 行已不在文件里，这些号码现在由新版本回答",
                        holdings.missingRows);
        }
        std::printf("\n");
    }
    if (!overrides.overlaps().empty()) {
        std::printf("以下您的行，新版本里也有这些号码；查询时以您的行为准：\n");
        for (const auto &overlap : overrides.overlaps()) {
            const store::Row &mine = userRows[overlap.userRow].row;
            const store::Row &theirs = overlap.shipped;
            const bool same = mine.province == theirs.province && mine.city == theirs.city &&
                              mine.areaCode == theirs.areaCode && mine.card == theirs.card;
            std::printf("  您的：%s    新版本：%s%s\n", describeRow(mine).c_str(),
                        describeRow(overlap.shipped).c_str(), same ? "（内容相同）" : "");
        }
    }
    const auto clashes = overlappingPairs(userRows);
    if (!clashes.empty()) {
        std::printf("注意：以下您自己的行互相重叠，查询时会得到其中任意一行：\n");
        for (const auto &[a, b] : clashes) {
            std::printf("  %s    与    %s\n", describeRow(userRows[a].row).c_str(),
                        describeRow(userRows[b].row).c_str());
        }
    }
    return 0;
}

}  // namespace table
