#include "about/about.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <optional>

#include "lookup/form1.h"
#include "tests/support/temp_store.h"

#ifndef PLIMORA_EDITION_TSV
#error "PLIMORA_EDITION_TSV must name data/edition.tsv"
#endif

namespace {

using testing_support::MessageRecorder;

// A registry that holds at most the tool's full path, and a program start
// that only records what it was asked to start.
class ToolPlatform : public sysinfo::Platform {
public:
    std::optional<std::string> toolPath;
    bool startFails = false;
    std::vector<std::string> started;

    long openKey(sysinfo::Key, const std::string &keyPath, std::uint32_t, std::uint32_t,
                 sysinfo::Key &key) override {
        key = toolPath && keyPath == sysinfo::kToolKey ? 1 : 0;
        return key ? sysinfo::kSuccess : sysinfo::kFileNotFound;
    }
    long queryValue(sysinfo::Key, const std::string &, std::uint32_t &type,
                    std::span<std::uint8_t> data, std::uint32_t &size) override {
        type = sysinfo::kRegSz;
        const std::string stored = *toolPath + '\0';
        std::copy(stored.begin(), stored.end(), data.begin());
        size = static_cast<std::uint32_t>(stored.size());
        return sysinfo::kSuccess;
    }
    long closeKey(sysinfo::Key) override { return sysinfo::kSuccess; }
    bool isNormalFile(const std::string &) override { return false; }
    void startProgram(const std::string &path, int) override {
        if (startFails) {
            throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory));
        }
        started.push_back(path);
    }
};

QMap<QString, QString> readEdition() {
    QMap<QString, QString> values;
    QFile file(QStringLiteral(PLIMORA_EDITION_TSV));
    if (!file.open(QIODevice::ReadOnly)) {
        return values;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype tab = lines[i].indexOf(QLatin1Char('\t'));
        if (tab > 0) {
            values.insert(lines[i].left(tab), lines[i].mid(tab + 1));
        }
    }
    return values;
}

class AboutTest : public ::testing::Test {
protected:
    void open(sysinfo::Platform &platform) {
        m_box = new About(platform);
        m_box->load();
        m_box->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_box));
        m_ok = m_box->findChild<QPushButton *>("cmdOK");
        m_sysInfo = m_box->findChild<QPushButton *>("cmdSysInfo");
    }
    void TearDown() override { delete m_box; }

    // The box closes by deleting itself; let that happen.
    bool closed() {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return m_box.isNull();
    }

    QPointer<About> m_box;
    QPushButton *m_ok = nullptr;
    QPushButton *m_sysInfo = nullptr;
};

TEST_F(AboutTest, ShowsTitleVersionAndStartsOnOk) {
    ToolPlatform platform;
    open(platform);
    EXPECT_EQ(m_box->windowTitle(), QStringLiteral("关于Plimora"));
    EXPECT_EQ(m_box->findChild<QLabel *>("lblTitle")->text(), QStringLiteral("Plimora"));
    EXPECT_EQ(m_box->findChild<QLabel *>("lblVersion")->text(), QStringLiteral("版本 1.1"));
    EXPECT_FALSE(m_box->findChild<QLabel *>("Image1")->pixmap().isNull());
    EXPECT_EQ(QApplication::focusWidget(), m_ok);
    EXPECT_EQ(m_box->size(), QSize(381, 233));
}

TEST_F(AboutTest, EscClosesFromEitherButtonAndEnterClosesOnOk) {
    ToolPlatform platform;
    for (const char *from : {"cmdOK", "cmdSysInfo"}) {
        open(platform);
        m_box->findChild<QPushButton *>(from)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(closed()) << "Esc from " << from;
    }
    open(platform);
    QTest::keyClick(m_ok, Qt::Key_Return);
    EXPECT_TRUE(closed()) << "Enter on 确定";
    EXPECT_TRUE(platform.started.empty());
}

TEST_F(AboutTest, EnterOnTheSysInfoButtonAndAltSStartTheTool) {
    ToolPlatform platform;
    platform.toolPath = "C:\\Program Files\\Common Files\\msinfo32.exe";
    open(platform);
    m_sysInfo->setFocus();
    QTest::keyClick(m_sysInfo, Qt::Key_Return);
    ASSERT_EQ(platform.started.size(), 1u);
    EXPECT_EQ(platform.started[0], *platform.toolPath);
    ASSERT_FALSE(closed()) << "the box stays open after a start";

    // Access keys are shortcuts: they fire for keys sent to the window while
    // the event loop runs.
    m_ok->setFocus();
    QTest::keyClick(m_box->windowHandle(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return platform.started.size() == 2; }));
    EXPECT_EQ(QApplication::focusWidget(), m_sysInfo) << "Alt+S moves the focus, as a click";
    EXPECT_FALSE(closed());
}

TEST_F(AboutTest, UnavailableToolIsReportedAndTheBoxStaysOpen) {
    MessageRecorder recorder;
    ToolPlatform missing;
    ToolPlatform broken;
    broken.toolPath = "C:\\nowhere.exe";
    broken.startFails = true;
    for (ToolPlatform *platform : {&missing, &broken}) {
        recorder.clear();
        open(*platform);
        QTest::mouseClick(m_sysInfo, Qt::LeftButton);
        ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
        EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("此时系统信息不可用"));
        EXPECT_EQ(recorder.messages()[0].icon, app::Icon::None);
        EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("quelto"));
        EXPECT_FALSE(closed());
        QTest::mouseClick(m_sysInfo, Qt::LeftButton);
        EXPECT_EQ(recorder.messages().size(), 2u) << "a second click tries again";
        delete m_box;
    }
}

#ifndef _WIN32
// The real launcher of this system: the first system-information program on
// the PATH. A fake one leaves a marker to show it was started.
TEST_F(AboutTest, StartsTheSystemInformationProgramFoundOnThePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("started"));
    QFile script(dir.filePath(QStringLiteral("hardinfo")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QByteArray savedPath = qgetenv("PATH");
    MessageRecorder recorder;
    qputenv("PATH", dir.path().toUtf8());
    open(sysinfo::systemPlatform());
    QTest::mouseClick(m_sysInfo, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
    EXPECT_TRUE(recorder.messages().empty()) << recorder.summary().toStdString();

    qputenv("PATH", "");
    QTest::mouseClick(m_sysInfo, Qt::LeftButton);
    qputenv("PATH", savedPath);
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("此时系统信息不可用"));
}
#endif

int openAboutBoxes() {
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        count += qobject_cast<About *>(widget) && widget->isVisible() ? 1 : 0;
    }
    return count;
}

// Whether label's text, laid out as the label lays it out, fits inside it,
// measured with the label's own font metrics; why not, when it does not.
testing::AssertionResult fitsItsLabel(const QLabel *label) {
    const QRect room = label->contentsRect();
    const QRect needed = label->fontMetrics().boundingRect(
        room, static_cast<int>(label->alignment()) | Qt::TextWordWrap, label->text());
    if (needed.width() <= room.width() && needed.height() <= room.height()) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << label->text().toStdString() << " needs " << needed.width() << " x " << needed.height()
           << " px at " << label->font().pointSizeF() << " pt in " << room.width() << " x "
           << room.height();
}

TEST_F(AboutTest, CreditLineNamesTheEditionRecordedInTheStore) {
    const testing_support::Row row{1380013, 1380013, "北京", "北京", "010", "中国移动"};
    QTemporaryDir editions;
    const QString edition3 = editions.filePath(QStringLiteral("edition.tsv"));
    QFile file(edition3);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("key\tvalue\nedition\t3\ndate\t2027-03-01\nsources\t三行的示例表\n");
    file.close();
    const struct {
        const char *store;
        bool withFile;
        QString edition;  // the edition file, or none
        QString credit;
    } cases[] = {
        {"edition 3 recorded", true, edition3,
         QStringLiteral("号码表第 3 版（2027-03-01）\n来源：三行的示例表")},
        {"no edition recorded",
         true,
         {},
         QStringLiteral("号码表的版本不明：sys.dat 里没有记录它的版本")},
        {"no store", false, {}, QStringLiteral("号码表的版本不明：sys.dat 里没有记录它的版本")},
    };
    ToolPlatform platform;
    for (const auto &c : cases) {
        testing_support::TempStore store({row}, c.withFile, c.edition.toStdString());
        open(platform);
        EXPECT_EQ(m_box->findChild<QLabel *>(QStringLiteral("lblDisclaimer"))->text(), c.credit)
            << c.store;
        EXPECT_EQ(m_box->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
                  QStringLiteral("版本 1.1"))
            << c.store;
        delete m_box;
    }
}

TEST_F(AboutTest, CreditLineAndButtonsFitAtDesktopFonts) {
    const QMap<QString, QString> edition = readEdition();
    ASSERT_FALSE(edition.value(QStringLiteral("edition")).isEmpty()) << PLIMORA_EDITION_TSV;
    ASSERT_FALSE(edition.value(QStringLiteral("date")).isEmpty());
    ASSERT_FALSE(edition.value(QStringLiteral("sources")).isEmpty());
    // The store records the shipped edition, the longest credit line.
    testing_support::TempStore store({{1380013, 1380013, "北京", "北京", "010", "中国移动"}}, true,
                                     PLIMORA_EDITION_TSV);

    ToolPlatform platform;
    const QFont desktop = QApplication::font();
    for (const qreal points : {9.0, 12.0, 14.0}) {
        QFont font = desktop;
        font.setPointSizeF(points);
        QApplication::setFont(font);
        open(platform);
        auto *credit = m_box->findChild<QLabel *>(QStringLiteral("lblDisclaimer"));
        ASSERT_NE(credit, nullptr);
        const QString text = credit->text();
        EXPECT_TRUE(text.contains(QStringLiteral("第 %1 版").arg(edition.value("edition"))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(edition.value("date"))) << text.toStdString();
        EXPECT_TRUE(text.contains(edition.value("sources"))) << text.toStdString();
        EXPECT_EQ(credit->geometry(), QRect(16, 172, 238, 55)) << points << " pt";
        EXPECT_TRUE(fitsItsLabel(credit)) << points << " pt desktop font";
        EXPECT_LE(credit->font().pointSizeF(), points) << "never larger than the desktop's";
        if (points == 9.0) {
            EXPECT_EQ(credit->font().pointSizeF(), points) << "it fits without shrinking";
        }
        for (const QPushButton *button : {m_ok, m_sysInfo}) {
            const QSize needed = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
            EXPECT_LT(needed.width(), button->width())
                << button->text().toStdString() << " at " << points << " pt";
            EXPECT_LT(needed.height(), button->height())
                << button->text().toStdString() << " at " << points << " pt";
        }

        // A longer text given later is fitted when the label next paints.
        credit->setText(text + QStringLiteral("\n号码表：第 2 版（2026-12-08），共 500000 段"));
        credit->repaint();
        EXPECT_TRUE(fitsItsLabel(credit)) << points << " pt, longer text";
        delete m_box;
    }
    QApplication::setFont(desktop);
}

TEST(AboutFromTheLookupWindow, OpensOnceAndOutlivesTheLookupWindow) {
    testing_support::TempStore store({{1380013, 1380013, "北京", "北京", "010", "中国移动"}});
    QPointer<Form1> form = new Form1;
    ASSERT_TRUE(form->load());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    auto *label = form->findChild<QLabel *>("Label1_0");
    QTest::mouseClick(label, Qt::LeftButton);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(openAboutBoxes(), 1);

    form->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(openAboutBoxes(), 1) << "closing the lookup window leaves the about box";
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<About *>(widget)) {
            delete widget;
        }
    }
}

}  // namespace
