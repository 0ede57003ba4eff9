// SPDX-License-Identifier: GPL-3.0-or-later
//
// The about box's credit line names the shipped table's edition as
// data/edition.tsv gives it, and still fits its label.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QMap>
#include <QTest>

#include "about/about.h"

#ifndef PLIMORA_EDITION_TSV
#error "PLIMORA_EDITION_TSV must name data/edition.tsv"
#endif

namespace {

// No tool is ever started here.
class NoPlatform : public sysinfo::Platform {
public:
    long openKey(sysinfo::Key, const std::string &, std::uint32_t, std::uint32_t,
                 sysinfo::Key &key) override {
        key = 0;
        return sysinfo::FileNotFound;
    }
    long queryValue(sysinfo::Key, const std::string &, std::uint32_t &, std::span<std::uint8_t>,
                    std::uint32_t &) override {
        return sysinfo::FileNotFound;
    }
    long closeKey(sysinfo::Key) override { return sysinfo::Success; }
    bool isNormalFile(const std::string &) override { return false; }
    void startProgram(const std::string &, int) override {}
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

TEST(AboutCreditTest, NamesTheTableEditionAndFitsItsLabel) {
    const QMap<QString, QString> edition = readEdition();
    ASSERT_FALSE(edition.value(QStringLiteral("edition")).isEmpty()) << PLIMORA_EDITION_TSV;
    ASSERT_FALSE(edition.value(QStringLiteral("date")).isEmpty());
    ASSERT_FALSE(edition.value(QStringLiteral("sources")).isEmpty());

    NoPlatform platform;
    About *box = new About(platform);
    box->load();
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    const QLabel *credit = box->findChild<QLabel *>(QStringLiteral("lblDisclaimer"));
    ASSERT_NE(credit, nullptr);
    const QString text = credit->text();
    EXPECT_TRUE(text.contains(QStringLiteral("第 %1 版").arg(edition.value("edition"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(edition.value("date"))) << text.toStdString();
    EXPECT_TRUE(text.contains(edition.value("sources"))) << text.toStdString();
    // Word-wrapped in the label's width, the text needs no more than its height.
    EXPECT_LE(credit->heightForWidth(credit->width()), credit->height())
        << "needs " << credit->heightForWidth(credit->width()) << " px in a label "
        << credit->width() << " x " << credit->height();
    delete box;
}

}  // namespace
