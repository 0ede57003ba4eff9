#include "lookup/form1.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "about/about.h"
#include "addrecord/adddata.h"
#include "app/application.h"
#include "tests/support/keys.h"
#include "tests/support/temp_store.h"
#include "tests/support/window_rows.h"

namespace {

using testing_support::MessageRecorder;
using testing_support::PasteRoute;
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
    // The number, a Chinese description of what to do, and the store's own text.
    EXPECT_TRUE(recorder.messages()[0].text.startsWith(
        QStringLiteral("错误 1：数据文件 sys.dat 中缺少号码表或它的列")))
        << recorder.summary().toStdString();
    EXPECT_TRUE(recorder.messages()[0].text.endsWith(QStringLiteral("（no such table: quelto）")))
        << recorder.summary().toStdString();
    EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("quelto"));
    ASSERT_FALSE(m_form.isNull());
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_EQ(m_text1->text(), "13800138000") << "nothing typed may be lost";

    m_store->exec("alter table gone rename to quelto");
    enter();
    EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动"));
}

// A store renamed over sys.dat while both windows are open (a new edition, a
// restored backup) is what the next search and the next add work on; a
// store removed is said to be gone, naming the newest backup, and never said
// to be read-only.
TEST_F(Form1Test, FollowsAStoreReplacedOrRemovedUnderIt) {
    open();
    MessageRecorder recorder;
    type("13800138000");
    enter();
    ASSERT_EQ(results(), QStringLiteral("北京/010/中国移动"));
    QPointer<adddata> add = new adddata;
    add->load();
    auto addRow = [&](const QString &number) {
        const QStringList entries{number, "湖北", "武汉", "027", "中国联通"};
        for (int i = 0; i < 5; ++i) {
            add->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i))->setText(entries[i]);
        }
        QTest::mouseClick(add->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    };
    addRow("15000010000");  // the add-record window's connection is open now
    ASSERT_EQ(recorder.summary(), QStringLiteral("添加成功！"));

    // Another store, with a row for 1991234, renamed over sys.dat.
    const std::filesystem::path dir = m_store->dir().toStdString();
    const std::filesystem::path store = dir / "sys.dat";
    auto replaceWith = [&](const std::vector<Row> &rows) {
        {
            const TempStore other(rows);
            std::filesystem::copy_file(other.path().toStdString(), dir / "new.dat");
        }
        std::filesystem::rename(dir / "new.dat", store);
        app::setProgramDirForTesting(dir.string());
    };
    replaceWith({{1991000, 1991999, "河北", "唐山", "0315", "中国电信"}});
    recorder.clear();
    m_text1->clear();
    type("19912345678");
    enter();
    EXPECT_EQ(results(), QStringLiteral("河北唐山/0315/中国电信"));
    addRow("15000020000");
    EXPECT_EQ(recorder.summary(), QStringLiteral("添加成功！"));
    EXPECT_TRUE(testing_support::lookUpLikeTheWindow(dir.string(), "15000020000"))
        << "the row went into the file that was replaced";

    // Replaced again while the add-record window has the second one open.
    replaceWith({{1330000, 1330000, "广西", "南宁", "0771", "中国电信"}});
    recorder.clear();
    addRow("15000030000");
    EXPECT_EQ(recorder.summary(), QStringLiteral("添加成功！"));
    EXPECT_TRUE(testing_support::lookUpLikeTheWindow(dir.string(), "15000030000"));

    // Removed, with an older backup beside it.
    const std::filesystem::path backup = dir / "sys.dat.20261208-153000.bak";
    std::filesystem::rename(store, backup);
    recorder.clear();
    enter();
    addRow("15000040000");
    ASSERT_EQ(recorder.messages().size(), 2u) << recorder.summary().toStdString();
    for (const auto &message : recorder.messages()) {
        EXPECT_TRUE(message.text.startsWith(
            QStringLiteral("错误 14：数据文件 sys.dat 已不在程序所在的文件夹中")))
            << message.text.toStdString();
        EXPECT_TRUE(message.text.contains(
            QStringLiteral("最新的备份是 %1").arg(QString::fromStdString(backup.string()))))
            << message.text.toStdString();
        EXPECT_FALSE(message.text.contains(QStringLiteral("只读"))) << message.text.toStdString();
    }
    EXPECT_EQ(m_text1->text(), QStringLiteral("19912345678")) << "nothing typed may be lost";

    // Put back, it is found again.
    std::filesystem::copy_file(backup, store);
    recorder.clear();
    m_text1->clear();
    type("13300001234");
    enter();
    EXPECT_EQ(recorder.summary(), QString());
    EXPECT_EQ(results(), QStringLiteral("广西南宁/0771/中国电信"));
    delete add;
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

// Alt and Super (Meta) make a key a shortcut, never text, in every field of
// both windows; AltGr, which Windows reports as Ctrl+Alt, still types.
TEST_F(Form1Test, KeysWithAltOrSuperHeldTypeNothing) {
    open();
    QPointer<adddata> add = new adddata;
    add->load();
    QList<QLineEdit *> fields = add->findChildren<QLineEdit *>();
    fields.prepend(m_text1);
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    const Qt::KeyboardModifiers super = Qt::MetaModifier;
    const QKeyCombination chords[] = {alt | Qt::Key_B,         alt | Qt::Key_5,
                                      alt | Qt::Key_Minus,     super | Qt::Key_X,
                                      super | Qt::Key_5,       super | Qt::Key_Period,
                                      alt | super | Qt::Key_7, alt | Qt::ShiftModifier | Qt::Key_7};
    for (QLineEdit *field : fields) {
        const std::string name = field->objectName().toStdString();
        for (const QKeyCombination chord : chords) {
            field->clear();
            QTest::keyClick(field, chord.key(), chord.keyboardModifiers());
            EXPECT_EQ(field->text(), "")
                << QKeySequence(chord).toString().toStdString() << " in " << name;
        }
        QTest::keyClick(field, Qt::Key_5);
        EXPECT_EQ(field->text(), "5") << "a plain digit in " << name;
    }
    QTest::keyClick(fields[2], Qt::Key_E, Qt::AltModifier | Qt::ControlModifier);
    EXPECT_EQ(fields[2]->text(), "5e") << "AltGr types";
    delete add;
}

// An access key acts as a click does: the button takes the focus, then is
// pressed, and keeps the focus unless its reaction moves it.
TEST_F(Form1Test, AccessKeysFocusTheirButtonAndThenPressIt) {
    open();
    type("13800138000");
    MessageRecorder recorder;
    QPointer<adddata> add = new adddata;
    add->load();
    const QStringList good{"15000012345", "湖北", "武汉", "027", "中国联通"};
    for (int i = 0; i < 5; ++i) {
        add->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i))->setText(good[i]);
    }
    const struct {
        QPointer<QWidget> window;
        const char *button;
        Qt::Key key;
    } keys[] = {{m_form.data(), "Command1", Qt::Key_S},
                {add.data(), "Command1", Qt::Key_Y},  // adds the row
                {add.data(), "Command2", Qt::Key_C}};
    for (const auto &k : keys) {
        const std::string name = k.window->objectName().toStdString() + "." + k.button;
        k.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(k.window)) << name;
        auto *button = k.window->findChild<QPushButton *>(k.button);
        QWidget *focusWhenPressed = nullptr;
        bool clicked = false;
        QObject::connect(button, &QPushButton::pressed,
                         [&] { focusWhenPressed = QApplication::focusWidget(); });
        QObject::connect(button, &QPushButton::clicked, [&] { clicked = true; });
        QTest::keyClick(k.window->windowHandle(), k.key, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return clicked; })) << name;
        EXPECT_EQ(focusWhenPressed, button) << name;
        if (k.window && k.window->isVisible()) {
            EXPECT_EQ(k.window->focusWidget(), button) << name << " after its reaction";
        }
    }
    EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动"));
    EXPECT_EQ(recorder.summary(), QStringLiteral("添加成功！"));
    delete add;
}

TEST_F(Form1Test, SearchButtonHasAFlatLook) {
    open();
    EXPECT_TRUE(m_command1->isFlat());
    // Flat: a one-pixel frame with the plain face right inside it, where a
    // raised button shades its edges.
    const QImage image = m_command1->grab().toImage();
    const int middle = image.height() / 2;
    const QColor face(212, 208, 200);
    EXPECT_EQ(image.pixelColor(0, middle), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(image.width() - 1, middle), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(1, middle), face);
    EXPECT_EQ(image.pixelColor(image.width() - 2, middle), face);
    EXPECT_EQ(image.pixelColor(image.width() / 2, 1), face);
}

TEST_F(Form1Test, LongStoredTextsAreShownWhole) {
    const QString city(40000, QChar(u'长'));
    open({{1500000, 1500000, "云南", "x", "0870", "中国移动"}});
    m_store->exec(QStringLiteral("update quelto set 城市 = '%1'").arg(city));
    type("1500000");
    enter();
    EXPECT_EQ(m_text2[0]->text().size(), 2 + city.size());
    EXPECT_TRUE(m_text2[0]->text().endsWith(city));
}

TEST_F(Form1Test, PastedNumbersKeepTheirDigitsOnly) {
    open();
    const struct {
        const char *pasted;
        const char *kept;
    } cases[] = {
        {"+86 138 0013 8000", "13800138000"},
        {"１３８-００１３-８０００", "13800138000"},  // full-width digits
        {"(010) 8888.6666", "01088886666"},
    };
    for (const PasteRoute route : testing_support::kPasteRoutes) {
        for (const auto &c : cases) {
            m_text1->clear();
            ASSERT_TRUE(testing_support::pasteText(m_text1, QString::fromUtf8(c.pasted), route))
                << testing_support::routeName(route);
            EXPECT_EQ(m_text1->text(), QString::fromUtf8(c.kept))
                << testing_support::routeName(route) << ": " << c.pasted;
        }
        // Nothing to keep leaves the field as it was.
        m_text1->setText("138");
        m_text1->selectAll();
        testing_support::pasteText(m_text1, QStringLiteral("电话：无"), route);
        EXPECT_EQ(m_text1->text(), "138") << testing_support::routeName(route);
    }

    MessageRecorder recorder;
    m_text1->clear();
    testing_support::pasteText(m_text1, QStringLiteral("+86 138 0013 8000"), PasteRoute::CtrlV);
    enter();
    EXPECT_TRUE(recorder.messages().empty()) << recorder.summary().toStdString();
    EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动"));
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Another program holds the store: the search waits under a busy cursor, the
// window goes on painting, no second reaction starts, and the search ends
// normally once the store is free.
TEST_F(Form1Test, LockedStoreShowsABusyCursorAndStartsNothingElse) {
    open();
    MessageRecorder recorder;
    type("13800138000");
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(m_store->path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);

    PaintCounter paints;
    m_form->installEventFilter(&paints);
    int cursorWhileWaiting = -1;
    int paintsBefore = 0;
    int paintsWhileWaiting = 0;
    QString resultsWhileWaiting;
    QTimer::singleShot(200, m_form, [&] {
        const QCursor *cursor = QApplication::overrideCursor();
        cursorWhileWaiting = cursor ? cursor->shape() : -1;
        paintsBefore = paints.count;
        m_form->update();
        // A click on the button would start a second search.
        QTest::mouseClick(m_command1, Qt::LeftButton);
        resultsWhileWaiting = results();
    });
    QTimer::singleShot(600, m_form, [&] {
        paintsWhileWaiting = paints.count - paintsBefore;
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    });
    enter();
    sqlite3_close(other);

    EXPECT_EQ(cursorWhileWaiting, Qt::WaitCursor);
    EXPECT_GT(paintsWhileWaiting, 0) << "the window must go on painting while it waits";
    EXPECT_EQ(resultsWhileWaiting, "//") << "no second search may run while the first waits";
    EXPECT_TRUE(recorder.messages().empty()) << recorder.summary().toStdString();
    EXPECT_EQ(results(), QStringLiteral("北京/010/中国移动"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor goes with the wait";
}

// The design's system colours are those of the classic light scheme, so a
// dark desktop leaves every text readable.
TEST(DarkDesktop, WindowsKeepTheClassicColours) {
    const QPalette saved = QApplication::palette();
    QPalette dark;
    for (auto role :
         {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase}) {
        dark.setColor(role, QColor(30, 30, 30));
    }
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                      QPalette::HighlightedText, QPalette::BrightText}) {
        dark.setColor(role, QColor(240, 240, 240));
    }
    QApplication::setPalette(dark);

    TempStore store(kRows);
    Form1 form;
    ASSERT_TRUE(form.load());
    About about;
    about.load();
    adddata add;
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const QColor face(212, 208, 200);
    const struct {
        QWidget *widget;
        QPalette::ColorRole role;
        QColor colour;
    } cases[] = {
        {form.findChild<QWidget *>("Text2_0"), QPalette::Text, black},
        {form.findChild<QWidget *>("Text2_2"), QPalette::Text, black},
        {form.findChild<QWidget *>("Text2_0"), QPalette::Base, QColor(0, 255, 255)},
        {form.findChild<QWidget *>("Label4_1"), QPalette::WindowText, white},
        {&about, QPalette::Window, face},
        {about.findChild<QWidget *>("lblVersion"), QPalette::WindowText, black},
        {about.findChild<QWidget *>("lblTitle"), QPalette::WindowText, black},
        {about.findChild<QWidget *>("cmdOK"), QPalette::ButtonText, black},
        {about.findChild<QWidget *>("cmdOK"), QPalette::Button, face},
        {&add, QPalette::Window, face},
        {add.findChild<QWidget *>("Label1_0"), QPalette::WindowText, black},
        {add.findChild<QWidget *>("Command2"), QPalette::ButtonText, black},
    };
    for (const auto &c : cases) {
        ASSERT_NE(c.widget, nullptr);
        EXPECT_EQ(c.widget->palette().color(c.role), c.colour)
            << c.widget->objectName().toStdString() << " role " << c.role;
    }
    QApplication::setPalette(saved);
}

TEST_F(Form1Test, RightClickMenuIsChinese) {
    open();
    std::unique_ptr<QMenu> menu(m_text1->createStandardContextMenu());
    int entries = 0;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator() || action->menu()) {
            continue;
        }
        ++entries;
        const QString label = action->text().section(u'\t', 0, 0);
        const bool chinese = std::any_of(label.begin(), label.end(), [](QChar c) {
            return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
        });
        EXPECT_TRUE(chinese) << label.toStdString();
    }
    EXPECT_GE(entries, 6);
}

QString accessibleName(QWidget *widget) {
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<none>");
}

TEST_F(Form1Test, FieldsAndButtonsCarryTheirCaptionsAsAccessibleNames) {
    open();
    const struct {
        const char *control;
        const char *name;
    } cases[] = {
        {"Text1", "手机号码"},    {"Command1", "Search"},   {"Text2_0", "所在地"},
        {"Text2_1", "区号"},      {"Text2_2", "卡信息"},    {"Label1_0", "软件信息"},
        {"Label1_1", "退出程序"}, {"Label1_2", "添加数据"},
    };
    for (const auto &c : cases) {
        auto *widget = m_form->findChild<QWidget *>(c.control);
        ASSERT_NE(widget, nullptr) << c.control;
        EXPECT_EQ(accessibleName(widget), QString::fromUtf8(c.name)) << c.control;
    }
}

}  // namespace
