#include "tests/support/temp_store.h"

#include <sqlite3.h>

#include <QFile>
#include <QStringList>
#include <stdexcept>

#include "app/application.h"
#include "store/schema.h"
#include "tools/sysdat_builder.h"

namespace testing_support {

TempStore::TempStore(const std::vector<Row> &rows, bool withFile) {
    if (!m_dir.isValid()) {
        throw std::runtime_error("no temporary folder");
    }
    app::setProgramDirForTesting(m_dir.path());
    if (!withFile) {
        return;
    }
    QString tsv = QString::fromUtf8(store::schema::kTsvHeader.data(),
                                    static_cast<qsizetype>(store::schema::kTsvHeader.size())) +
                  u'\n';
    for (const Row &row : rows) {
        tsv += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                   .arg(row.low)
                   .arg(row.high)
                   .arg(row.province, row.city, row.areaCode, row.card);
    }
    const QString tsvPath = m_dir.filePath(QStringLiteral("quelto.tsv"));
    QFile file(tsvPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(tsv.toUtf8()) < 0) {
        throw std::runtime_error("cannot write the test table");
    }
    file.close();
    tools::buildSysdat(tsvPath.toStdString(), path().toStdString());
}

TempStore::~TempStore() {
    app::setProgramDirForTesting({});
}

void TempStore::exec(const QString &sql) const {
    sqlite3 *db = nullptr;
    const int openRc =
        sqlite3_open_v2(path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::string error;
    if (openRc == SQLITE_OK) {
        char *message = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            error = message ? message : "failed";
        }
        sqlite3_free(message);
    } else {
        error = "cannot open the test store";
    }
    sqlite3_close(db);
    if (!error.empty()) {
        throw std::runtime_error(error);
    }
}

MessageRecorder::MessageRecorder() {
    app::setMessageSink([this](const app::Message &message) { m_messages.push_back(message); });
}

MessageRecorder::~MessageRecorder() {
    app::setMessageSink({});
}

QString MessageRecorder::summary() const {
    QStringList texts;
    for (const auto &message : m_messages) {
        texts << message.text;
    }
    return texts.join(QStringLiteral(" | "));
}

}  // namespace testing_support
