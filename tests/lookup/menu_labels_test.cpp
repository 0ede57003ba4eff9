#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "about/about.h"
#include "addrecord/adddata.h"
#include "app/colours.h"
#include "lookup/form1.h"
#include "tests/support/keys.h"
#include "tests/support/temp_store.h"

namespace {

using testing_support::MessageRecorder;
using testing_support::Row;
using testing_support::TempStore;
using testing_support::typeText;

const std::vector<Row> kRows = {
    {1380013, 1380013, "北京", "北京", "010", "中国移动"},
};

const QColor kNormal(0, 0, 255);
const QColor kLit(62, 158, 255);

template <typename Window>
QList<Window *> openWindows() {
    QList<Window *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible()) {
            found << window;
        }
    }
    return found;
}

QList<adddata *> addRecordWindows() {
    return openWindows<adddata>();
}

class MenuLabelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_store = std::make_unique<TempStore>(kRows);
        m_form = new Form1;
        ASSERT_TRUE(m_form->load());
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
        for (int i = 0; i < 3; ++i) {
            m_label1[i] = m_form->findChild<QLabel *>(QStringLiteral("Label1_%1").arg(i));
            ASSERT_NE(m_label1[i], nullptr);
        }
    }
    void TearDown() override {
        delete m_form;
        qDeleteAll(addRecordWindows());
        qDeleteAll(openWindows<About>());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_store.reset();
    }

    // "n" for normal, "L" for lit, one letter per label.
    QString looks() const {
        QString text;
        for (QLabel *label : m_label1) {
            const QColor back = label->palette().color(QPalette::Window);
            const bool underline = label->font().underline();
            if (back == kNormal && !underline) {
                text += 'n';
            } else if (back == kLit && underline) {
                text += 'L';
            } else {
                text += '?';
            }
        }
        return text;
    }

    void click(int index) { QTest::mouseClick(m_label1[index], Qt::LeftButton); }

    std::unique_ptr<TempStore> m_store;
    QPointer<Form1> m_form;
    std::array<QLabel *, 3> m_label1{};
};

TEST_F(MenuLabelsTest, PointerLightsOneLabelAndOnlyTheBackgroundResets) {
    EXPECT_EQ(looks(), "nnn") << "at start";
    // Moves over a control the form passes on to its background handler are
    // the dangerous ones: they must not reset.
    const struct {
        const char *over;  // object name, or "" for the bare background
        QPoint offset;     // from the control's centre, to make every move a move
        const char *looks;
    } steps[] = {
        {"Label1_0", {0, 0}, "Lnn"}, {"Label1_2", {0, 0}, "nnL"}, {"Label1_2", {5, 1}, "nnL"},
        {"Text1", {0, 0}, "nnL"},    {"", {0, 0}, "nnn"},         {"Label1_1", {0, 0}, "nLn"},
        {"Frame1", {0, 0}, "nLn"},   {"Text2_0", {0, 0}, "nLn"},  {"Command1", {0, 0}, "nLn"},
        {"Label2", {0, 0}, "nLn"},   {"Label3", {0, 0}, "nLn"},   {"Label1_0", {0, 0}, "Lnn"},
        {"Label1_2", {3, 0}, "nnL"}, {"", {4, 0}, "nnn"},         {"", {8, 0}, "nnn"},
    };
    // Between 软件信息 and 添加数据, at the labels' height.
    const QPoint background((m_label1[0]->geometry().right() + m_label1[2]->geometry().left()) / 2,
                            m_label1[0]->geometry().center().y());
    ASSERT_EQ(m_form->childAt(background), nullptr);
    for (const auto &step : steps) {
        const QString name = QString::fromUtf8(step.over);
        if (name.isEmpty()) {
            QTest::mouseMove(m_form, background + step.offset);
        } else {
            auto *widget = m_form->findChild<QWidget *>(name);
            ASSERT_NE(widget, nullptr) << step.over;
            QTest::mouseMove(widget, widget->rect().center() + step.offset);
        }
        EXPECT_EQ(looks(), QString(step.looks)) << "over '" << step.over << "'";
    }
}

TEST_F(MenuLabelsTest, AddRecordOpensOnceAndComesForward) {
    click(2);
    ASSERT_EQ(addRecordWindows().size(), 1);
    QPointer<adddata> first = addRecordWindows().front();
    EXPECT_TRUE(QTest::qWaitForWindowActive(first));
    EXPECT_EQ(QApplication::focusWidget(), first->findChild<QLineEdit *>("Text1_0"));

    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
    first->findChild<QLineEdit *>("Text1_2")->setText(QStringLiteral("未保存"));
    click(2);
    ASSERT_EQ(addRecordWindows().size(), 1);
    EXPECT_EQ(addRecordWindows().front(), first.data());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == first; }, 1000));
    EXPECT_EQ(first->findChild<QLineEdit *>("Text1_2")->text(), QStringLiteral("未保存"));

    // Once closed, the next click loads a fresh one.
    first->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(first.isNull());
    click(2);
    ASSERT_EQ(addRecordWindows().size(), 1);
    EXPECT_EQ(addRecordWindows().front()->findChild<QLineEdit *>("Text1_2")->text(), "");
}

TEST_F(MenuLabelsTest, ExitClosesOnlyTheLookupWindow) {
    MessageRecorder recorder;
    click(2);
    ASSERT_EQ(addRecordWindows().size(), 1);
    QPointer<adddata> window = addRecordWindows().front();
    click(1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m_form.isNull());
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->isVisible());

    const char *const entries[5] = {"15000012345", "湖北", "武汉", "027", "中国联通"};
    for (int i = 0; i < 5; ++i) {
        typeText(window->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i)),
                 QString::fromUtf8(entries[i]));
    }
    QTest::mouseClick(window->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！"));
}

// Runs the real event loop: the program must go on after the lookup window
// closes and end when the add-record window, the last one, closes.
TEST_F(MenuLabelsTest, ProgramEndsWithTheLastWindow) {
    QApplication::setQuitOnLastWindowClosed(true);
    bool runningAfterLookupClosed = false;
    bool timedOut = false;
    QPointer<adddata> window;
    QTimer::singleShot(0, [&] {
        click(2);
        window = addRecordWindows().value(0);
        click(1);
    });
    QTimer::singleShot(200, [&] {
        runningAfterLookupClosed = m_form.isNull() && window && window->isVisible();
        if (window) {
            QTest::mouseClick(window->findChild<QPushButton *>("Command2"), Qt::LeftButton);
        }
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QApplication::quit();
    });
    watchdog.start(5000);
    QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_TRUE(runningAfterLookupClosed);
    EXPECT_FALSE(timedOut) << "the program did not end with its last window";
    EXPECT_TRUE(window.isNull());
}

// Two windows, two connections, one file: the lookup window's next search
// sees the row the add-record window wrote.
TEST_F(MenuLabelsTest, RowAddedIsFoundByTheNextSearch) {
    MessageRecorder recorder;
    auto *number = m_form->findChild<QLineEdit *>("Text1");
    typeText(number, "13712345678");
    QTest::keyClick(number, Qt::Key_Return);
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("没有找到此号码的信息！"));

    click(2);
    ASSERT_EQ(addRecordWindows().size(), 1);
    adddata *window = addRecordWindows().front();
    const char *const entries[5] = {"1371234", "湖北", "襄阳", "0710", "中国移动"};
    for (int i = 0; i < 5; ++i) {
        typeText(window->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i)),
                 QString::fromUtf8(entries[i]));
    }
    recorder.clear();
    QTest::mouseClick(window->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    ASSERT_EQ(recorder.messages().size(), 1u);
    ASSERT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！"));

    recorder.clear();
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_TRUE(recorder.messages().empty()) << recorder.summary().toStdString();
    QStringList results;
    for (int i = 0; i < 3; ++i) {
        results << m_form->findChild<QLineEdit *>(QStringLiteral("Text2_%1").arg(i))->text();
    }
    EXPECT_EQ(results.join('/'), QStringLiteral("湖北襄阳/0710/中国移动"));
}

// A window the user has minimised is brought back by its label: restored,
// raised and made the active window.
TEST_F(MenuLabelsTest, MinimisedWindowsComeBackWhenTheirLabelIsClicked) {
    for (const int index : {2, 0}) {
        click(index);
        QWidget *window = index == 2 ? static_cast<QWidget *>(addRecordWindows().value(0))
                                     : openWindows<About>().value(0);
        ASSERT_NE(window, nullptr) << index;
        window->showMinimized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMinimized(); }, 1000)) << index;
        m_form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
        click(index);
        EXPECT_FALSE(window->isMinimized()) << index;
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 1000))
            << index;
        EXPECT_EQ(index == 2 ? addRecordWindows().size() : openWindows<About>().size(), 1) << index;
    }
}

// The menu labels have shortcuts of the desktop's kind, told to a screen
// reader in their descriptions, and the window shows nothing new for them.
TEST_F(MenuLabelsTest, KeyboardShortcutsReachTheThreeLabels) {
    const struct {
        int index;
        const char *keys;
    } shortcuts[] = {{0, "F1"}, {1, "Ctrl+Q"}, {2, "Ctrl+N"}};
    const int childrenBefore = m_form->findChildren<QWidget *>().size();
    for (const auto &s : shortcuts) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(m_label1[s.index]);
        ASSERT_NE(face, nullptr);
        EXPECT_TRUE(face->text(QAccessible::Description).contains(QString::fromUtf8(s.keys)))
            << s.keys << ": " << face->text(QAccessible::Description).toStdString();
    }
    EXPECT_EQ(m_form->findChildren<QWidget *>().size(), childrenBefore);

    auto *number = m_form->findChild<QLineEdit *>("Text1");
    QTest::keyClick(number, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(addRecordWindows().size(), 1) << "Ctrl+N";
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
    QTest::keyClick(number, Qt::Key_F1);
    EXPECT_EQ(openWindows<About>().size(), 1) << "F1";
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
    QTest::keyClick(number, Qt::Key_Q, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m_form.isNull()) << "Ctrl+Q";
}

}  // namespace
