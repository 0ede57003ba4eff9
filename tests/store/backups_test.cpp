// The backups an update makes are told from every other file by their names
// alone: the update removes the older ones, and the messages about a missing
// or damaged store name the newest.
#include "store/backups.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "store/store_error.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(Backups, AreToldByTheirNamesAlone) {
    const struct {
        const char *name;
        bool ours;
    } names[] = {
        {"sys.dat.20261208-153000.bak", true},
        {"sys.dat.20261208-153000-2.bak", true},
        {"sys.dat.20261208-153000-17.bak", true},
        {"sys.dat.bak", false},                      // a copy made by hand
        {"sys.dat.old.bak", false},                  //
        {"sys.dat.20261208-153000-1.bak", false},    // never made: the first has no count
        {"sys.dat.20261208-153000-02.bak", false},   //
        {"sys.dat.20261208-153000-.bak", false},     //
        {"sys.dat.2026128-153000.bak", false},       // a digit short
        {"sys.dat.20261208_153000.bak", false},      //
        {"sys.dat.20261208-153000.bak.tmp", false},  //
        {"sys.dat.20261208-153000", false},          //
        {"other.dat.20261208-153000.bak", false},    // another store's
        {"xsys.dat.20261208-153000.bak", false},     //
        {"sys.dat.part", false},                     //
    };
    for (const auto &n : names) {
        EXPECT_EQ(store::isBackupName("sys.dat", n.name), n.ours) << n.name;
    }
}

TEST(Backups, TheNewestIsNamedForAMissingOrDamagedStore) {
    testing_support::TempFolder folder;
    const std::string store = folder.file("sys.dat");
    EXPECT_EQ(store::newestBackup(store), std::nullopt);
    for (const char *name : {"sys.dat.20261208-153000.bak", "sys.dat.20261209-090000.bak",
                             "sys.dat.20261209-090000-2.bak", "sys.dat.20261101-090000-3.bak",
                             "sys.dat.bak", "sys.dat.20991231-235959.bak.tmp"}) {
        std::ofstream(folder.file(name)) << "x";
    }
    const std::string newest = folder.file("sys.dat.20261209-090000-2.bak");
    EXPECT_EQ(store::newestBackup(store), newest);
    EXPECT_EQ(store::backupsOf(store).size(), 4u);

    const struct {
        store::StoreError error;
        const char *starts;
    } cases[] = {
        {store::missingStoreError(store), "数据文件 sys.dat 已不在程序所在的文件夹中"},
        {store::StoreError(SQLITE_CORRUPT, "database disk image is malformed"),
         "数据文件 sys.dat 已损坏。请先用 plimora-table export 导出"},
        {store::StoreError(SQLITE_NOTADB, "file is not a database"),
         "sys.dat 不是本程序的数据文件。请先用 plimora-table export 导出"},
    };
    for (const auto &c : cases) {
        const std::string text = store::describeStoreError(c.error, store);
        EXPECT_EQ(text.rfind(c.starts, 0), 0u) << text;
        EXPECT_NE(text.find("最新的备份是 " + newest), std::string::npos) << text;
        EXPECT_EQ(text.find("重新安装"), std::string::npos) << text;
        EXPECT_EQ(text.find("只读"), std::string::npos) << text;
    }
}

}  // namespace
