// Temporary folders and store files for tests that need no window: each test
// gets a folder of its own, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// A fresh, empty folder under the system's temporary directory.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    // The folder as the store and the windows take a program directory.
    std::string dir() const { return m_path.string(); }
    std::string file(const std::string &name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Runs sql on the store file at path through a connection of its own.
// Throws std::runtime_error with SQLite's message when it fails.
void execSql(const std::string &path, const std::string &sql);

// A folder holding a sys.dat whose quelto table is made by schemaSql.
class StoreFile {
public:
    explicit StoreFile(const std::string &schemaSql);

    std::string dir() const { return m_folder.dir(); }
    std::string path() const { return m_folder.file("sys.dat"); }

    void exec(const std::string &sql) const { execSql(path(), sql); }
    // Adds a row of the six columns.
    void insert(int low, int high, const std::string &province, const std::string &city,
                const std::string &areaCode, const std::string &card) const;

private:
    TempFolder m_folder;
};

}  // namespace testing_support
