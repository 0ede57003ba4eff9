#include "lookup/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "tests/support/temp_store.h"

namespace {

using testing_support::MessageRecorder;
using testing_support::Row;
using testing_support::TempStore;

const std::vector<Row> kRows = {
    {1380013, 1380013, "北京", "北京", "010", "中国移动"},
    {1390000, 1390999, "新疆", "乌鲁木齐", "0991", "中国移动"},
    {1330000, 1330000, "广西", "南宁", "0771", "中国电信"},
};

const QString kBadNumber = QStringLiteral("您输入的号码不正确，请重新输入！");
const QString kNotFound = QStringLiteral("没有找到此号码的信息！");

class Form1Test : public ::testing::Test {
protected:
    void open(const std::vector<Row> &rows = kRows) {
        m_store = std::make_unique<TempStore>(rows);
        m_form = new Form1;
        ASSERT_TRUE(m_form->load());
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
        m_text1 = m_form->findChild<QLineEdit *>("Text1");
        m_command1 = m_form->findChild<QPushButton *>("Command1");
        for (int i = 0; i < 3; ++i) {
            m_text2[i] = m_form->findChild<QLineEdit *>(QStringLiteral("Text2_%1").arg(i));
        }
    }
    void TearDown() override {
        delete m_form;
        m_store.reset();
    }

    void type(const QString &keys) { QTest::keyClicks(m_text1, keys); }
    void enter() { QTest::keyClick(m_text1, Qt::Key_Return); }
    QString results() const {
        return m_text2[0]->text() + "/" + m_text2[1]->text() + "/" + m_text2[2]->text();
    }
    bool wholeTextSelected() const {
        return m_text1->selectionStart() == 0 && m_text1->selectedText() == m_text1->text();
    }

    std::unique_ptr<TempStore> m_store;
    QPointer<Form1> m_form;
    QLineEdit *m_text1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QLineEdit *m_text2[3] = {};
};

TEST_F(Form1Test, MissingStoreIsReportedOnceAndTheWindowCloses) {
    MessageRecorder recorder;
    TempStore store({}, false);
    QPointer<Form1> form = new Form1;
    EXPECT_FALSE(form->load());
    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("软件已损坏，请重新安装！"));
    EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("软件信息"));
    EXPECT_EQ(recorder.messages()[0].icon, app::Icon::Exclamation);
    EXPECT_FALSE(form && form->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull()) << "the closed window must be released";
}

TEST_F(Form1Test, StartsWithFocusInTheNumberFieldAndTabSkipsTheResults) {
    open();
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("Plimora"));
    EXPECT_EQ(QApplication::focusWidget(), m_text1);
    EXPECT_EQ(results(), "//");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_command1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_text1);
    EXPECT_EQ(m_form->size(), QSize(489, 394));
}

TEST_F(Form1Test, OnlyDigitsAndBackspaceReachTheNumberField) {
    open();
    type(QStringLiteral("1a3 8-0.0+1"));
    for (const QString &wide : {QStringLiteral("中"), QStringLiteral("😀"), QStringLiteral("３")}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, wide);
        QApplication::sendEvent(m_text1, &press);
    }
    type(QStringLiteral("3"));
    EXPECT_EQ(m_text1->text(), "1380013");
    QTest::keyClick(m_text1, Qt::Key_Backspace);
    EXPECT_EQ(m_text1->text(), "138001");
    // Shortcuts are not typed characters: select all, copy and paste still work.
    QTest::keyClick(m_text1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_text1->selectedText(), "138001");
}

TEST_F(Form1Test, ShortNumbersAreRefusedByEnterAndByTheButton) {
    open();
    MessageRecorder recorder;
    for (const bool byButton : {false, true}) {
        recorder.clear();
        m_text1->clear();
        type("138001");
        m_text1->setCursorPosition(3);
        if (byButton) {
            QTest::mouseClick(m_command1, Qt::LeftButton);
        } else {
            enter();
        }
        ASSERT_EQ(recorder.messages().size(), 1u) << "button " << byButton;
        EXPECT_EQ(recorder.messages()[0].text, kBadNumber);
        EXPECT_EQ(recorder.messages()[0].icon, app::Icon::Exclamation);
        EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("quelto"));
        EXPECT_EQ(QApplication::focusWidget(), m_text1) << "button " << byButton;
        EXPECT_TRUE(wholeTextSelected()) << "button " << byButton;
        EXPECT_EQ(results(), "//");
    }
}

TEST_F(Form1Test, SearchUsesTheFirstSevenDigits) {
    open();
    MessageRecorder recorder;
    const struct {
        const char *number;
        bool byButton;
        const char *shown;  // nullptr: not found
    } cases[] = {
        {"1380013", false, "北京/010/中国移动"},     // exactly seven, province equals city
        {"13800138000", true, "北京/010/中国移动"},  // eleven, by the button
        {"13905559999", false, "新疆乌鲁木齐/0991/中国移动"},  // inside a wider range
        {"1330000", true, "广西南宁/0771/中国电信"},
        {"13800140000", false, nullptr},
    };
    for (const auto &c : cases) {
        recorder.clear();
        m_text1->clear();
        type(c.number);
        if (c.byButton) {
            QTest::mouseClick(m_command1, Qt::LeftButton);
        } else {
            enter();
        }
        if (c.shown) {
            EXPECT_EQ(results(), QString::fromUtf8(c.shown)) << c.number;
            EXPECT_TRUE(recorder.messages().empty()) << recorder.summary().toStdString();
            EXPECT_FALSE(m_text1->hasSelectedText()) << c.number;
        } else {
            ASSERT_EQ(recorder.messages().size(), 1u) << c.number;
            EXPECT_EQ(recorder.messages()[0].text, kNotFound);
            EXPECT_EQ(recorder.messages()[0].icon, app::Icon::None);
            EXPECT_TRUE(wholeTextSelected()) << c.number;
        }
    }
}

TEST_F(Form1Test, ResultsClearAtSevenCharactersOrFewerAndSurviveANotFound) {
    open();
    MessageRecorder recorder;
    type("13800138000");
    enter();
    ASSERT_EQ(results(), QStringLiteral("北京/010/中国移动"));
    for (int length = 10; length >= 8; --length) {
        QTest::keyClick(m_text1, Qt::Key_Backspace);
        EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动")) << length << " characters";
    }
    QTest::keyClick(m_text1, Qt::Key_Backspace);
    EXPECT_EQ(m_text1->text().size(), 7);
    EXPECT_EQ(results(), "//");

    // A whole new number put in by one edit and not found leaves the old result.
    m_text1->clear();
    type("13800138000");
    enter();
    m_text1->selectAll();
    m_text1->insert(QStringLiteral("18612345678"));
    enter();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动"));
}

TEST_F(Form1Test, LongResultsShowFromTheirStartAndNullsAsEmpty) {
    open({{1500000, 1500000, "云南", QString(60, QChar(u'长')), "0870", "中国移动"}});
    m_store->exec("update quelto set 区号 = null");
    type("1500000");
    enter();
    EXPECT_EQ(m_text2[0]->cursorPosition(), 0);
    EXPECT_TRUE(m_text2[0]->text().startsWith(QStringLiteral("云南长")));
    EXPECT_EQ(m_text2[1]->text(), "");
}

TEST_F(Form1Test, StoreErrorIsReportedAndTheWindowGoesOn) {
    open();
    MessageRecorder recorder;
    type("13800138000");
    m_store->exec("alter table quelto rename to gone");
    enter();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_TRUE(recorder.messages()[0].text.startsWith(QStringLiteral("错误 1：")))
        << recorder.summary().toStdString();
    EXPECT_TRUE(recorder.messages()[0].text.contains(QStringLiteral("no such table")));
    EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("quelto"));
    ASSERT_FALSE(m_form.isNull());
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_EQ(m_text1->text(), "13800138000") << "nothing typed may be lost";

    m_store->exec("alter table gone rename to quelto");
    enter();
    EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动"));
}

TEST_F(Form1Test, RealMessageBoxIsDismissedAndFocusReturns) {
    open();
    type("138");
    QString seenText;
    QString seenCaption;
    QString seenButton;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenCaption = box->windowTitle();
        seenButton = box->buttons().value(0)->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    enter();
    EXPECT_EQ(seenText, kBadNumber);
    EXPECT_EQ(seenCaption, QStringLiteral("quelto"));
    EXPECT_EQ(seenButton, QStringLiteral("确定"));
    // Offscreen, no window becomes active again after the box; the focus is where
    // the window will give it back when it does.
    EXPECT_EQ(m_form->focusWidget(), m_text1);
    EXPECT_TRUE(wholeTextSelected());
}

}  // namespace
