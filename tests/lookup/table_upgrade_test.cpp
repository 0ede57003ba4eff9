// A program folder taken through every way users upgrade it, the lookup
// window started each time as the program starts: the rows the user added
// are counted after each step, and the messages the user sees are checked.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QPointer>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/application.h"
#include "app/message_box.h"
#include "lookup/form1.h"
#include "plimora_table/table_text.h"
#include "store/backups.h"
#include "store/schema.h"
#include "tests/support/legacy_store.h"
#include "tests/support/store_query.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_store.h"
#include "tests/support/window_rows.h"

namespace {

using testing_support::queryText;

namespace fs = std::filesystem;
using testing_support::MessageRecorder;
using testing_support::TempFolder;
using Texts = std::array<std::string, 4>;

constexpr int kRanges = 200;
const Texts kMine = {"我的省", "我的市", "0999", "我的卡"};
const Texts kTangshan = {"河北", "唐山", "0315", "中国电信"};

std::string readBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The first column of the first row of sql on the store, as text ("" when
// there is none or the file cannot be read).
// The rows of the user's in a store with metadata.
int userRows(const fs::path &store) {
    const std::string count = queryText(
        store,
        "select count(*) from quelto where rowid > (select value from quelto_meta where key = "
        "'shipped_rows')");
    return count.empty() ? -1 : std::stoi(count);
}

std::string userNumber(int k) {
    return std::to_string(1300050 + k * 100) + "0000";
}

// A store file of edition serial: kRanges ranges of 50 keys with gaps of 50
// between them (edition 3 and later close the gaps and add 1991000-1991999).
void writeEdition(const fs::path &work, int serial, const fs::path &out) {
    const fs::path tsv = work / ("e" + std::to_string(serial) + ".tsv");
    const fs::path edition = work / ("e" + std::to_string(serial) + "-edition.tsv");
    {
        std::ofstream table(tsv);
        table << store::schema::kTsvHeader << "\n";
        for (int i = 0; i < kRanges; ++i) {
            const int low = 1300000 + i * 100;
            table << low << "\t" << low + (serial >= 3 ? 99 : 49) << "\t省" << i % 31 << "\t市"
                  << i % 50 << "\t0" << 100 + i << "\t版" << serial << "\n";
        }
        if (serial >= 3) {
            table << "1991000\t1991999\t河北\t唐山\t0315\t中国电信\n";
        }
        std::ofstream(edition) << "key\tvalue\nedition\t" << serial << "\ndate\t2027-0" << serial
                               << "-01\nsources\ttest edition " << serial << "\n";
    }
    fs::remove(out);
    table::buildSysdat(tsv.string(), out.string(), edition.string());
}

class TableUpgrade : public ::testing::Test {
protected:
    void SetUp() override {
        m_app = m_base.path() / "plimora";
        fs::create_directories(m_app);
        fs::create_directories(m_base.path() / "work");
        app::setProgramDirForTesting(m_app.string());
    }
    void TearDown() override { app::setProgramDirForTesting({}); }

    fs::path work() const { return m_base.path() / "work"; }
    fs::path store() const { return m_app / "sys.dat"; }

    // Starts the program's lookup window in the folder; true when it loaded.
    bool start() {
        QPointer<Form1> form = new Form1;
        const bool loaded = form->load();
        delete form;
        return loaded;
    }

    // Unpacks an archive over the folder: its edition.dat replaces the one
    // there, as tar or "extract and replace all" would.
    void unpackOver(int serial) {
        writeEdition(work(), serial, work() / "edition.dat");
        fs::copy_file(work() / "edition.dat", m_app / "edition.dat",
                      fs::copy_options::overwrite_existing);
    }

    TempFolder m_base;
    fs::path m_app;
};

TEST_F(TableUpgrade, TheUsersRowsSurviveEveryWayTheFolderIsUpgraded) {
    constexpr int kAdded = 50;
    MessageRecorder recorder;

    // A fresh folder: sys.dat is made from edition.dat without a word.
    unpackOver(2);
    ASSERT_TRUE(start()) << recorder.summary().toStdString();
    EXPECT_EQ(recorder.summary(), QString());
    EXPECT_EQ(readBytes(store()), readBytes(m_app / "edition.dat"));
    EXPECT_EQ(userRows(store()), 0);
    std::cout << "[ fresh start ] user rows: 0 -> " << userRows(store()) << "\n";
    for (int k = 0; k < kAdded; ++k) {
        ASSERT_TRUE(testing_support::addLikeTheWindow(m_app.string(), userNumber(k), kMine));
    }
    ASSERT_EQ(userRows(store()), kAdded);
    EXPECT_FALSE(testing_support::lookUpLikeTheWindow(m_app.string(), "19912345678"));

    // The same archive unpacked over it: nothing happens.
    const std::string before = readBytes(store());
    unpackOver(2);
    ASSERT_TRUE(start());
    EXPECT_EQ(recorder.summary(), QString());
    EXPECT_EQ(readBytes(store()), before) << "sys.dat was written";
    std::cout << "[ unpack over, same edition ] user rows: " << kAdded << " -> "
              << userRows(store()) << "\n";

    // A newer one: updated, with every row kept, and the user told once.
    unpackOver(3);
    ASSERT_TRUE(start());
    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    const QString told = recorder.messages()[0].text;
    EXPECT_TRUE(
        told.startsWith(QStringLiteral("号码表已更新到第 3 版（2027-03-01）。\n"
                                       "您添加的 50 行都已保留。")))
        << told.toStdString();
    const auto backups = store::backupsOf(store().string());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(told.endsWith(QString::fromStdString(backups[0]))) << told.toStdString();
    EXPECT_EQ(readBytes(backups[0]), before) << "the backup is not the old file";
    EXPECT_EQ(userRows(store()), kAdded);
    EXPECT_EQ(queryText(store(), "select value from quelto_meta where key = 'edition'"), "3");
    for (int k = 0; k < kAdded; ++k) {
        EXPECT_EQ(testing_support::lookUpLikeTheWindow(m_app.string(), userNumber(k)), kMine)
            << userNumber(k);
    }
    EXPECT_EQ(testing_support::lookUpLikeTheWindow(m_app.string(), "19912345678"), kTangshan);
    std::cout << "[ unpack over, newer edition ] user rows: " << kAdded << " -> "
              << userRows(store()) << "\n";
    recorder.clear();
    const std::string updated = readBytes(store());
    ASSERT_TRUE(start());
    EXPECT_EQ(recorder.summary(), QString()) << "told twice";

    // A damaged edition.dat, in each way a download or a disk damages one:
    // sys.dat stays as it is, and the user hears why the table was not updated.
    writeEdition(work(), 4, work() / "e4.dat");
    const std::string whole = readBytes(work() / "e4.dat");
    const struct {
        const char *what;
        std::string bytes;
    } damages[] = {
        {"cut in half", whole.substr(0, whole.size() / 2)},
        {"a block overwritten in the middle", whole.substr(0, whole.size() / 2) +
                                                  std::string(4096, '\x5a') +
                                                  whole.substr(whole.size() / 2 + 4096)},
        {"not a store at all", "<html>404</html>"},
        {"empty", ""},
    };
    for (const auto &damage : damages) {
        recorder.clear();
        writeBytes(m_app / "edition.dat", damage.bytes);
        ASSERT_TRUE(start()) << damage.what;
        EXPECT_EQ(recorder.messages().size(), 1u) << damage.what;
        EXPECT_TRUE(recorder.summary().startsWith(
            QStringLiteral("本程序文件夹里的 edition.dat 无法使用，号码表没有更新")))
            << damage.what << ": " << recorder.summary().toStdString();
        EXPECT_EQ(readBytes(store()), updated) << damage.what << ": sys.dat was changed";
        EXPECT_FALSE(fs::exists(m_app / "sys.dat.part")) << damage.what;
        std::cout << "[ damaged edition.dat, " << damage.what << " ] user rows: " << kAdded
                  << " -> " << userRows(store()) << "\n";
    }

    // An older edition.dat (an old archive unpacked over a newer folder).
    recorder.clear();
    unpackOver(2);
    ASSERT_TRUE(start());
    EXPECT_EQ(recorder.summary(), QString());
    EXPECT_EQ(readBytes(store()), updated);
    std::cout << "[ unpack over, older edition ] user rows: " << kAdded << " -> "
              << userRows(store()) << "\n";
}

// The first release shipped sys.dat itself, built before stores recorded
// their edition. Its folder, with rows the user added, unpacked over by this
// release's archive, which ships edition.dat.
TEST_F(TableUpgrade, TheFirstReleasesFolderUnpackedOverByThisOne) {
    constexpr int kAdded = 50;
    testing_support::buildLegacyStore(FIRST_EDITION_DIR "/quelto.tsv", store().string());
    std::vector<std::string> numbers;
    for (int key = 1700000; numbers.size() < kAdded; key += 37) {
        const std::string number = std::to_string(key) + "1234";
        if (testing_support::addLikeTheWindow(m_app.string(), number, kMine)) {
            numbers.push_back(number);
        }
    }
    const std::string before = readBytes(store());
    fs::copy_file(PLIMORA_EDITION_DAT, m_app / "edition.dat");

    MessageRecorder recorder;
    ASSERT_TRUE(start());
    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    EXPECT_TRUE(recorder.messages()[0].text.startsWith(
        QStringLiteral("号码表已更新到第 %1 版（%2）。\n您添加的 50 行都已保留。")
            .arg(QString::fromStdString(queryText(
                m_app / "edition.dat", "select value from quelto_meta where key = 'edition'")))
            .arg(QString::fromStdString(queryText(
                m_app / "edition.dat", "select value from quelto_meta where key = 'date'")))))
        << recorder.summary().toStdString();
    EXPECT_EQ(userRows(store()), kAdded);
    for (const std::string &number : numbers) {
        EXPECT_EQ(testing_support::lookUpLikeTheWindow(m_app.string(), number), kMine) << number;
    }
    EXPECT_EQ(testing_support::lookUpLikeTheWindow(m_app.string(), "19912345678"), kTangshan)
        << "edition 1 had no 19x numbers; this one has";
    const auto backups = store::backupsOf(store().string());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(readBytes(backups[0]), before);
    std::cout << "[ first release's folder, unpacked over ] user rows: " << kAdded << " -> "
              << userRows(store()) << "\n";
}

TEST_F(TableUpgrade, WithNeitherFileTheWindowSaysTheSoftwareIsDamaged) {
    MessageRecorder recorder;
    EXPECT_FALSE(start());
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("软件已损坏，请重新安装！"));
    EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("软件信息"));

    // A damaged edition.dat and no sys.dat: nothing to start on, and the
    // same message, which is right: reinstalling loses nothing.
    recorder.clear();
    writeBytes(m_app / "edition.dat", "not a store");
    EXPECT_FALSE(start());
    EXPECT_EQ(recorder.summary(), QStringLiteral("软件已损坏，请重新安装！"));
    EXPECT_FALSE(fs::exists(store()));
}

TEST_F(TableUpgrade, OlderFoldersBesideAreOfferedOnceAndOnlyReadFrom) {
    // Three older folders beside this one: two with rows this one lacks,
    // one whose rows it has; and a folder with a sys.dat but no program.
    const struct {
        const char *name;
        int rows;
        bool program;
    } folders[] = {
        {"plimora-0.9", 2, true},
        {"plimora-1.0", 3, true},
        {"plimora-copy", 0, true},
        {"backups", 4, false},
    };
    for (const auto &folder : folders) {
        const fs::path dir = m_base.path() / folder.name;
        fs::create_directories(dir);
        writeEdition(work(), 2, dir / "sys.dat");
        if (folder.program) {
            writeBytes(dir / "plimora", "#!/bin/sh\n");
        }
        for (int k = 0; k < folder.rows; ++k) {
            ASSERT_TRUE(testing_support::addLikeTheWindow(dir.string(), userNumber(10 + k), kMine));
        }
    }
    const std::string oldBytes = readBytes(m_base.path() / "plimora-1.0" / "sys.dat");
    unpackOver(3);

    MessageRecorder recorder;
    std::vector<QString> asked;
    app::setQuestionSink([&](const app::Message &question) {
        asked.push_back(question.text);
        // No to the first folder, yes to the second.
        return asked.size() == 2;
    });
    ASSERT_TRUE(start());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].contains(
        QStringLiteral("plimora-0.9 里有另一个 Plimora，它的号码表里有您添加的 2 行")))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[1].contains(QStringLiteral("plimora-1.0")) &&
                asked[1].contains(QStringLiteral("3 行")))
        << asked[1].toStdString();
    // The fresh folder's sys.dat is made without a word; the merge is told.
    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    EXPECT_TRUE(recorder.messages()[0].text.contains(
        QStringLiteral("plimora-1.0 带来 3 行，号码表里现在共有您添加的 3 行。")))
        << recorder.summary().toStdString();
    EXPECT_EQ(userRows(store()), 3);
    EXPECT_EQ(testing_support::lookUpLikeTheWindow(m_app.string(), userNumber(11)), kMine);
    EXPECT_EQ(readBytes(m_base.path() / "plimora-1.0" / "sys.dat"), oldBytes)
        << "the old folder was written";

    asked.clear();
    recorder.clear();
    ASSERT_TRUE(start());
    EXPECT_TRUE(asked.empty()) << "asked again: " << asked.front().toStdString();
    EXPECT_EQ(recorder.summary(), QString());
    app::setQuestionSink({});
}

}  // namespace
