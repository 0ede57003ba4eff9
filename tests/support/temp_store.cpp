#include "tests/support/temp_store.h"

#include <QFile>
#include <QStringList>
#include <filesystem>
#include <stdexcept>

#include "app/application.h"
#include "plimora_table/table_text.h"
#include "store/schema.h"

namespace testing_support {

TempStore::TempStore(const std::vector<Row> &rows, bool withFile, const std::string &editionFile)
    : m_dir(m_folder.file("plimora")) {
    std::filesystem::create_directory(m_dir);
    app::setProgramDirForTesting(m_dir);
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
    const std::string tsvPath = m_folder.file("quelto.tsv");
    QFile file(QString::fromStdString(tsvPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(tsv.toUtf8()) < 0) {
        throw std::runtime_error("cannot write the test table");
    }
    file.close();
    table::buildSysdat(tsvPath, m_dir + "/sys.dat", editionFile);
}

TempStore::~TempStore() {
    app::setProgramDirForTesting({});
}

void TempStore::exec(const QString &sql) const {
    execSql(m_dir + "/sys.dat", sql.toStdString());
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
