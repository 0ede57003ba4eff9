#include "lookup/table_upgrade.h"

#include <QApplication>
#include <QProgressDialog>
#include <QString>
#include <memory>

#include "app/message_box.h"
#include "store/backups.h"
#include "store/files.h"
#include "store/schema.h"
#include "upgrade/folder_step.h"

namespace lookup {

namespace {

using Outcome = upgrade::FolderState::Outcome;

const char *const kCaption = "软件信息";
constexpr int kProgressSteps = 100;
constexpr int kProgressDelayMs = 500;

QString text(const std::string &bytes) {
    return QString::fromStdString(bytes);
}

// "第 3 版（2026-12-09）": the edition as its date names it.
QString editionText(const store::Edition &edition) {
    QString result = QStringLiteral("第 %1 版").arg(edition.serial().value_or(0));
    if (const auto date = edition.value(store::schema::kDateKey); date && !date->empty()) {
        result += QStringLiteral("（%1）").arg(text(*date));
    }
    return result;
}

// Which of the user's rows the table also answers, and where the old file is.
QString overlapsAndBackup(const upgrade::UpdateReport &report, const QString &table) {
    QString result;
    if (!report.overlaps.empty()) {
        result += QStringLiteral("其中 %1 行的号码%2里也有，查询时仍以您的行为准。")
                      .arg(report.overlaps.size())
                      .arg(table);
    }
    return result + QStringLiteral("\n原来的 sys.dat 备份为：\n%1").arg(text(report.backup));
}

void tellUpdated(const upgrade::UpdateReport &report, QWidget *parent) {
    const QString rows = report.keptRows > 0
                             ? QStringLiteral("您添加的 %1 行都已保留。").arg(report.keptRows)
                             : QStringLiteral("原来的号码表里没有您添加的行。");
    app::msgBox(QStringLiteral("号码表已更新到%1。\n%2%3")
                    .arg(editionText(report.edition), rows,
                         overlapsAndBackup(report, QStringLiteral("新版本"))),
                app::Icon::Information, QString::fromUtf8(kCaption), parent);
}

// A progress box for an update, which takes seconds, often before any window
// shows: it appears once the update has taken more than a moment.
class UpdateProgress {
public:
    explicit UpdateProgress(QWidget *parent) : m_parent(parent) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~UpdateProgress() { QApplication::restoreOverrideCursor(); }
    UpdateProgress(const UpdateProgress &) = delete;
    UpdateProgress &operator=(const UpdateProgress &) = delete;

    upgrade::ProgressHook hook() {
        return [this](std::uint64_t done, std::uint64_t total) {
            if (!m_box) {
                m_box = std::make_unique<QProgressDialog>(
                    QStringLiteral("正在更新号码表，您添加的行都会保留……"), QString(), 0,
                    kProgressSteps, m_parent);
                m_box->setWindowTitle(QString::fromUtf8(kCaption));
                m_box->setMinimumDuration(kProgressDelayMs);
                m_box->setAutoClose(false);
            }
            m_box->setValue(total ? static_cast<int>(done * kProgressSteps / total) : 0);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
    }

private:
    QWidget *m_parent;
    std::unique_ptr<QProgressDialog> m_box;
};

void offerSiblings(const std::string &dir, QWidget *parent) {
    const std::string storePath = store::joinPath(dir, std::string(upgrade::kStoreName));
    for (const upgrade::Sibling &sibling : upgrade::siblingsToAsk(dir)) {
        const bool yes = app::askYesNo(
            QStringLiteral("旁边的文件夹 %1 里有另一个 Plimora，它的号码表里有您添加的 %2 行，"
                           "这里的号码表还没有。\n要把这些行带到这里的号码表里吗？\n"
                           "（那个文件夹不会被改动；这个问题只问一次。）")
                .arg(text(sibling.folder))
                .arg(sibling.newRows),
            QString::fromUtf8(kCaption), parent);
        try {
            if (yes) {
                upgrade::UpdateRequest request;
                request.storePath = storePath;
                request.rowsFrom = sibling.storePath;
                upgrade::UpdateReport report;
                {
                    UpdateProgress progress(parent);
                    request.progress = progress.hook();
                    report = upgrade::updateStore(request);
                }
                upgrade::rememberAnswer(storePath, sibling.folder, "yes");
                app::msgBox(QStringLiteral("已从 %1 带来 %2 行，号码表里现在共有您添加的 %3 行。%4")
                                .arg(text(sibling.folder))
                                .arg(report.broughtOver)
                                .arg(report.keptRows)
                                .arg(overlapsAndBackup(report, QStringLiteral("号码表原有的行"))),
                            app::Icon::Information, QString::fromUtf8(kCaption), parent);
            } else {
                upgrade::rememberAnswer(storePath, sibling.folder, "no");
            }
        } catch (const upgrade::Failure &failure) {
            app::msgBox(QStringLiteral("没能从 %1 带来您的行，这里的号码表没有改动；"
                                       "下次启动时会再问。\n原因：%2")
                            .arg(text(sibling.folder), text(failure.what())),
                        app::Icon::Exclamation, QString::fromUtf8(kCaption), parent);
        }
    }
}

}  // namespace

bool upgradeTable(const std::string &dir, QWidget *parent) {
    upgrade::FolderState state;
    {
        UpdateProgress progress(parent);
        state = upgrade::makeCurrent(dir, progress.hook());
    }
    const std::string storePath = store::joinPath(dir, std::string(upgrade::kStoreName));
    const bool haveStore = store::identityOf(storePath).has_value();
    switch (state.outcome) {
        case Outcome::Updated:
            tellUpdated(state.report, parent);
            break;
        case Outcome::Created:
            if (const auto backup = store::newestBackup(storePath)) {
                app::msgBox(QStringLiteral(
                                "文件夹里没有 sys.dat，已从 edition.dat 建立了新的号码表（%1）。\n"
                                "您以前添加的行可能在备份 %2 里：用\n"
                                "plimora-table update --rows-from %2\n可以把它们带回来。")
                                .arg(editionText(state.edition), text(*backup)),
                            app::Icon::Information, QString::fromUtf8(kCaption), parent);
            }
            break;
        case Outcome::EditionUnusable:
            if (haveStore) {
                app::msgBox(QStringLiteral("本程序文件夹里的 edition.dat 无法使用，号码表没有更新，"
                                           "仍使用原来的 sys.dat；您添加的行都在其中。\n原因：%1\n"
                                           "请重新解压本程序的压缩包，以取得完整的 edition.dat。")
                                .arg(text(state.failure->what())),
                            app::Icon::Exclamation, QString::fromUtf8(kCaption), parent);
            }
            break;
        case Outcome::NotUpdated:
            app::msgBox(QStringLiteral("号码表没有更新到 edition.dat 的%1，仍使用原来的 sys.dat；"
                                       "您添加的行都在其中。\n原因：%2")
                            .arg(editionText(state.edition), text(state.failure->what())),
                        app::Icon::Exclamation, QString::fromUtf8(kCaption), parent);
            break;
        case Outcome::NotCreated:
            app::msgBox(QStringLiteral("无法从 edition.dat 建立号码表 sys.dat。\n原因：%1\n"
                                       "请把本程序放到可以写入的文件夹后再启动。")
                            .arg(text(state.failure->what())),
                        app::Icon::Exclamation, QString::fromUtf8(kCaption), parent);
            return false;
        case Outcome::NoEdition:
        case Outcome::Current:
        case Outcome::StoreUnreadable:
            break;
    }
    if (haveStore) {
        offerSiblings(dir, parent);
    }
    return true;
}

}  // namespace lookup
