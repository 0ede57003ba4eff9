// A store of its own for each window test: a temporary folder that the
// windows take for the program's directory, with a sys.dat built from rows
// the test gives.
#pragma once

#include <QColor>
#include <QString>
#include <ostream>
#include <vector>

#include "app/message_box.h"
#include "tests/support/temp_folder.h"

namespace testing_support {

struct Row {
    int low;
    int high;
    QString province;
    QString city;
    QString areaCode;
    QString card;
};

class TempStore {
public:
    // Builds sys.dat from rows (without withFile: no sys.dat at all, however
    // many rows are given) and points app::programDir() at the folder until
    // destruction. The folder is alone in a temporary folder of its own, so
    // that the lookup window finds no other program folder beside it.
    // With editionFile (an edition file like data/edition.tsv) the store's
    // metadata records that edition.
    explicit TempStore(const std::vector<Row> &rows, bool withFile = true,
                       const std::string &editionFile = {});
    ~TempStore();

    QString dir() const { return QString::fromStdString(m_dir); }
    QString path() const { return QString::fromStdString(m_dir + "/sys.dat"); }

    // Runs SQL on the file through a connection of the test's own.
    void exec(const QString &sql) const;

private:
    TempFolder m_folder;
    std::string m_dir;
};

// Records every message box instead of showing it, until destruction.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();

    const std::vector<app::Message> &messages() const { return m_messages; }
    // The texts seen so far, joined by " | ", for failure output.
    QString summary() const;
    void clear() { m_messages.clear(); }

private:
    std::vector<app::Message> m_messages;
};

}  // namespace testing_support

// Let GoogleTest print texts and colours readably when an expectation on them
// fails.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QColor &colour, std::ostream *out) {
    *out << colour.name().toStdString();
}
