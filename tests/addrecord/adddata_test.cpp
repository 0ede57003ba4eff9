#include "addrecord/adddata.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "tests/support/keys.h"
#include "tests/support/temp_store.h"

namespace {

using testing_support::MessageRecorder;
using testing_support::PasteRoute;
using testing_support::Row;
using testing_support::TempStore;
using testing_support::typeText;

const std::vector<Row> kRows = {
    {1380013, 1380013, "北京", "北京", "010", "中国移动"},
    {1390000, 1390999, "新疆", "乌鲁木齐", "0991", "中国移动"},
};

using Fields = std::array<QString, 5>;

// Five entries that pass every check; 1500001 is in no row of kRows.
const Fields kGood = {"15000012345", "湖北", "武汉", "027", "中国联通"};

QString show(const Fields &fields) {
    return "[" + QStringList(fields.begin(), fields.end()).join("][") + "]";
}

class AdddataTest : public ::testing::Test {
protected:
    void SetUp() override { m_store = std::make_unique<TempStore>(kRows); }

    void TearDown() override {
        delete m_window;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_store.reset();
    }

    void open() {
        m_window = new adddata;
        m_window->load();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
        for (int i = 0; i < 5; ++i) {
            m_text1[i] = m_window->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i));
            ASSERT_NE(m_text1[i], nullptr) << i;
        }
        m_command1 = m_window->findChild<QPushButton *>("Command1");
        m_command2 = m_window->findChild<QPushButton *>("Command2");
    }

    // Puts the texts in directly, past every filter, so the checks meet what
    // the filters otherwise keep out of the number fields.
    void paste(const Fields &fields) {
        for (int i = 0; i < 5; ++i) {
            m_text1[i]->setText(fields[i]);
        }
    }
    void type(const Fields &fields) {
        for (int i = 0; i < 5; ++i) {
            m_text1[i]->clear();
            typeText(m_text1[i], fields[i]);
        }
    }
    Fields texts() const {
        Fields now;
        for (int i = 0; i < 5; ++i) {
            now[i] = m_text1[i]->text();
        }
        return now;
    }
    void pressOk() { QTest::mouseClick(m_command1, Qt::LeftButton); }

    // The rows of the store whose range starts at key, read on a connection
    // of the test's own.
    int rowsAt(double key) const {
        store::DataConnection connection;
        store::bind(connection, m_store->dir().toStdString());
        connection.RecordSource =
            "select count(*) as n from quelto where 号码1=" + store::keyText(key);
        connection.Refresh();
        return static_cast<int>(std::get<double>(connection.Recordset().Fields("n").Value()));
    }

    std::unique_ptr<TempStore> m_store;
    QPointer<adddata> m_window;
    std::array<QLineEdit *, 5> m_text1{};
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
};

TEST_F(AdddataTest, LoadShowsAnEmptyWindowWithFocusInTheNumberField) {
    open();
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("添加数据"));
    EXPECT_EQ(m_window->size(), QSize(426, 278));
    EXPECT_EQ(QApplication::focusWidget(), m_text1[0]);
    EXPECT_EQ(texts(), Fields{});
    // Each shadow lies beneath its field, 4 pixels right and down: black
    // along the field's right and bottom edges, the window's face beyond.
    const QImage look = m_window->grab().toImage();
    for (int i = 0; i < 5; ++i) {
        const QRect field = m_text1[i]->geometry();
        const QRect shadow = field.translated(4, 4);
        EXPECT_EQ(look.pixelColor(shadow.bottomRight()), QColor(Qt::black)) << i;
        EXPECT_EQ(look.pixelColor(field.right() + 2, field.center().y()), QColor(Qt::black)) << i;
        EXPECT_EQ(look.pixelColor(field.center().x(), field.bottom() + 2), QColor(Qt::black)) << i;
        EXPECT_NE(look.pixelColor(shadow.right() + 1, field.center().y()), QColor(Qt::black)) << i;
        EXPECT_NE(look.pixelColor(field.left() + 1, field.bottom() + 2), QColor(Qt::black)) << i;
        EXPECT_EQ(m_window->childAt(field.center()), m_text1[i]) << i;
    }
}

TEST_F(AdddataTest, TabWalksTheFieldsTheButtonsAndThePicture) {
    open();
    const char *const order[] = {"Text1_1",  "Text1_2",  "Text1_3", "Text1_4", "Command1",
                                 "Command2", "Picture1", "Text1_0", "Text1_1"};
    for (const char *name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString(name));
    }
}

TEST_F(AdddataTest, OnlyDigitsAndBackspaceReachTheNumberAndAreaCodeFields) {
    open();
    const QString keys = QStringLiteral("1a2 B-3中.");
    const char *const expected[5] = {"123", "1a2 B-3中.", "1a2 B-3中.", "123", "1a2 B-3中."};
    for (int i = 0; i < 5; ++i) {
        typeText(m_text1[i], keys);
        EXPECT_EQ(m_text1[i]->text(), QString::fromUtf8(expected[i])) << "field " << i;
        QTest::keyClick(m_text1[i], Qt::Key_Backspace);
        EXPECT_EQ(m_text1[i]->text().size(), QString::fromUtf8(expected[i]).size() - 1)
            << "field " << i;
    }
}

TEST_F(AdddataTest, EnterMovesToTheNextControlAndNeverPressesOk) {
    open();
    MessageRecorder recorder;
    type(kGood);
    for (int i = 0; i < 5; ++i) {
        m_text1[i]->setFocus();
        QTest::keyClick(m_text1[i], Qt::Key_Return);
        QWidget *next = i < 4 ? static_cast<QWidget *>(m_text1[i + 1]) : m_command1;
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == next; }, 1000))
            << "Enter in field " << i << " left the focus on "
            << qPrintable(QApplication::focusWidget()->objectName());
        EXPECT_EQ(m_text1[i]->text(), kGood[i]) << "field " << i;
    }
    EXPECT_TRUE(recorder.messages().empty()) << recorder.summary().toStdString();
    EXPECT_EQ(rowsAt(1500001), 0);

    // A focused button takes Enter as a press.
    QTest::keyClick(m_command1, Qt::Key_Return);
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！"));
    EXPECT_EQ(rowsAt(1500001), 1);
}

TEST_F(AdddataTest, ChecksRunInOrderAndPutTheFocusOnTheField) {
    open();
    const struct {
        Fields input;
        const char *message;
        app::Icon icon;
        int focus;           // the field given the focus
        int selectionStart;  // -1: nothing selected
        const char *selected;
        const char *numberAfter;  // nullptr: as put in
    } cases[] = {
        {{"", "", "", "", ""},
         "手机号码不能为空，请输入！",
         app::Icon::Exclamation,
         0,
         -1,
         "",
         nullptr},
        {{"   ", "湖北", "武汉", "027", "联通"},
         "手机号码不能为空，请输入！",
         app::Icon::Exclamation,
         0,
         -1,
         "",
         nullptr},
        {{"1500001", "  ", "武汉", "027", "联通"},
         "所在省份不能为空，请输入！",
         app::Icon::Exclamation,
         1,
         -1,
         "",
         nullptr},
        {{"1500001", "湖北", "", "027", "联通"},
         "所在城市不能为空，请输入！",
         app::Icon::Exclamation,
         2,
         -1,
         "",
         nullptr},
        {{"2", "湖北", "武汉", "", "联通"},
         "区号不能为空，请输入！",
         app::Icon::Exclamation,
         3,
         -1,
         "",
         nullptr},
        {{"2", "湖北", "武汉", "1", " "},
         "卡信息不能为空，请输入！",
         app::Icon::Exclamation,
         4,
         -1,
         "",
         nullptr},
        // Format comes before length and area code, and trims the number.
        {{"2", "湖北", "武汉", "1", "联通"},
         "该号码格式不对，请检察！",
         app::Icon::Information,
         0,
         0,
         "2",
         "2"},
        {{"  9500001  ", "湖北", "武汉", "027", "联通"},
         "该号码格式不对，请检察！",
         app::Icon::Information,
         0,
         0,
         "9",
         "9500001"},
        {{"0", "湖北", "武汉", "027", "联通"},
         "该号码格式不对，请检察！",
         app::Icon::Information,
         0,
         0,
         "0",
         "0"},
        // Length comes before the area code.
        {{"150000", "湖北", "武汉", "1", "联通"},
         "号码不完整，请重新输入！",
         app::Icon::Exclamation,
         0,
         -1,
         "",
         nullptr},
        {{" 150000 ", "湖北", "武汉", "027", "联通"},
         "号码不完整，请重新输入！",
         app::Icon::Exclamation,
         0,
         -1,
         "",
         nullptr},
        {{"1500001", "湖北", "武汉", "02", "联通"},
         "区号不正确，请重新输入！",
         app::Icon::Exclamation,
         3,
         0,
         "02",
         nullptr},
        {{"1500001", "湖北", "武汉", "02701", "联通"},
         "区号不正确，请重新输入！",
         app::Icon::Exclamation,
         3,
         0,
         "02701",
         nullptr},
        // The area code is measured untrimmed.
        {{"1500001", "湖北", "武汉", "  027 ", "联通"},
         "区号不正确，请重新输入！",
         app::Icon::Exclamation,
         3,
         0,
         "  027 ",
         nullptr},
        {{"13800138000", "湖北", "武汉", "027", "联通"},
         "此号码已经存在！",
         app::Icon::None,
         0,
         0,
         "13800138000",
         nullptr},
        // Inside the wider range 1390000..1390999.
        {{"13905551234", "湖北", "武汉", "027", "联通"},
         "此号码已经存在！",
         app::Icon::None,
         0,
         0,
         "13905551234",
         nullptr},
        {{" 1390999 ", "湖北", "武汉", "027", "联通"},
         "此号码已经存在！",
         app::Icon::None,
         0,
         0,
         " 1390999 ",
         nullptr},
    };
    for (const auto &c : cases) {
        MessageRecorder recorder;
        paste(c.input);
        // Pressing the button with the mouse moves the focus to it first.
        pressOk();
        const std::string input = show(c.input).toStdString();
        ASSERT_EQ(recorder.messages().size(), 1u)
            << input << " " << recorder.summary().toStdString();
        EXPECT_EQ(recorder.messages()[0].text, QString::fromUtf8(c.message)) << input;
        EXPECT_EQ(recorder.messages()[0].icon, c.icon) << input;
        EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("quelto")) << input;
        EXPECT_EQ(QApplication::focusWidget(), m_text1[c.focus]) << input;
        EXPECT_EQ(m_text1[c.focus]->selectionStart(), c.selectionStart) << input;
        EXPECT_EQ(m_text1[c.focus]->selectedText(), QString::fromUtf8(c.selected)) << input;
        Fields after = c.input;
        if (c.numberAfter) {
            after[0] = QString::fromUtf8(c.numberAfter);
        }
        EXPECT_EQ(texts(), after) << input;
    }
    EXPECT_EQ(rowsAt(1500001), 0);
    EXPECT_EQ(rowsAt(1390555), 0);
}

TEST_F(AdddataTest, AreaCodesOfThreeAndFourCharactersPass) {
    open();
    const struct {
        const char *number;
        const char *areaCode;
        bool added;
    } cases[] = {
        {"1500002", "02", false},
        {"1500003", "027", true},
        {"1500004", "0710", true},
        {"1500005", "07100", false},
    };
    for (const auto &c : cases) {
        MessageRecorder recorder;
        type({c.number, "湖北", "襄阳", c.areaCode, "中国联通"});
        pressOk();
        ASSERT_EQ(recorder.messages().size(), 1u) << c.areaCode;
        EXPECT_EQ(recorder.messages()[0].text == QStringLiteral("添加成功！"), c.added)
            << c.areaCode << ": " << recorder.summary().toStdString();
        EXPECT_EQ(rowsAt(store::prefixKey(c.number)), c.added ? 1 : 0) << c.areaCode;
    }
}

TEST_F(AdddataTest, AddedRowIsStoredExactlyAndRefusedTheSecondTime) {
    open();
    MessageRecorder recorder;
    // The number arrives with spaces around it, past the filters; the rest is
    // typed, but the emoji comes from an input method as most do.
    m_text1[0]->setText(QStringLiteral("  13712345678 "));
    typeText(m_text1[1], QStringLiteral("  他说\"好\"'s "));
    typeText(m_text1[2], QStringLiteral("100%_武汉"));
    typeText(m_text1[3], QStringLiteral("0271"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("中国移动😀"));
    QApplication::sendEvent(m_text1[4], &commit);
    ASSERT_EQ(m_text1[4]->text(), QStringLiteral("中国移动😀"));
    pressOk();

    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！"));
    EXPECT_EQ(recorder.messages()[0].icon, app::Icon::None);
    EXPECT_EQ(recorder.messages()[0].caption, QStringLiteral("quelto"));
    EXPECT_EQ(texts(), Fields{});
    EXPECT_EQ(QApplication::focusWidget(), m_command1) << "the focus stays where it was";
    ASSERT_FALSE(m_window.isNull());
    EXPECT_TRUE(m_window->isVisible());

    store::DataConnection check;
    store::bind(check, m_store->dir().toStdString());
    ASSERT_TRUE(store::lookUp(check, "13712345678"));
    store::Recordset &row = check.Recordset();
    EXPECT_EQ(std::get<double>(row.Fields(store::schema::kLow).Value()), 1371234.0);
    EXPECT_EQ(std::get<double>(row.Fields(store::schema::kHigh).Value()), 1371234.0);
    EXPECT_EQ(QString::fromStdString(row.Fields(store::schema::kProvince).text()),
              QStringLiteral("他说\"好\"'s"));
    EXPECT_EQ(QString::fromStdString(row.Fields(store::schema::kCity).text()),
              QStringLiteral("100%_武汉"));
    EXPECT_EQ(QString::fromStdString(row.Fields(store::schema::kAreaCode).text()),
              QStringLiteral("0271"));
    EXPECT_EQ(QString::fromStdString(row.Fields(store::schema::kCard).text()),
              QStringLiteral("中国移动😀"));
    // Only the seven-digit prefix is stored: its neighbours stay unknown.
    EXPECT_FALSE(store::lookUp(check, "1371233"));
    EXPECT_FALSE(store::lookUp(check, "1371235"));

    // Another number of the same block is already there.
    recorder.clear();
    type({"13712340000", "湖北", "武汉", "027", "联通"});
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("此号码已经存在！"));
    EXPECT_EQ(QApplication::focusWidget(), m_text1[0]);
    EXPECT_EQ(m_text1[0]->selectedText(), QStringLiteral("13712340000"));
    EXPECT_EQ(rowsAt(1371234), 1);
}

TEST_F(AdddataTest, PicturesAlternateOnEveryTick) {
    open();
    auto *timer = m_window->findChild<QTimer *>("Timer1");
    auto *picture = m_window->findChild<QLabel *>("Picture1");
    ASSERT_NE(timer, nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1500);
    // A coarse timer may fire up to 5 % early.
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);

    const QImage pictures[2] = {
        QImage(":/pictures/picture1.jpg").convertToFormat(QImage::Format_RGB32),
        QImage(":/pictures/picture2.jpg").convertToFormat(QImage::Format_RGB32)};
    ASSERT_EQ(pictures[0].size(), QSize(139, 240));
    ASSERT_NE(pictures[0], pictures[1]);
    auto shown = [&] {
        const QImage now = picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        return now == pictures[0] ? 1 : now == pictures[1] ? 2 : 0;
    };
    EXPECT_EQ(shown(), 1) << "at load";
    const int expected[] = {2, 1, 2, 1, 2};
    for (int tick = 0; tick < 5; ++tick) {
        QMetaObject::invokeMethod(timer, "timeout");
        EXPECT_EQ(shown(), expected[tick]) << "after tick " << tick + 1;
    }
}

TEST_F(AdddataTest, CancelClosesWithoutWriting) {
    open();
    type(kGood);
    QTest::mouseClick(m_command2, Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m_window.isNull());
    EXPECT_EQ(rowsAt(1500001), 0);
}

// A store that fails under the window must cost the user nothing: the error
// is reported with its number, the five fields stay as typed, no part of a
// row is written, and OK works again once the store is back.
TEST_F(AdddataTest, StoreFailuresKeepTheEntriesAndTheWindow) {
    const struct {
        const char *name;
        const char *breakIt;
        const char *mendIt;
        const char *number;  // "错误 <number>："
        const char *description;
        bool tableThere;  // while broken, quelto can still be counted
    } cases[] = {
        {"table gone at the duplicate check", "alter table quelto rename to gone",
         "alter table gone rename to quelto", "1", "no such table", false},
        {"insert refused after the duplicate check",
         "create table plain(id integer primary key, 号码1, 号码2, 省份, 城市, 区号, 卡信息);"
         "alter table quelto rename to shipped; alter table plain rename to quelto;"
         "create trigger refuse before insert on quelto"
         " begin select raise(abort, 'the store is read-only'); end",
         "drop table quelto; alter table shipped rename to quelto", "19", "the store is read-only",
         true},
    };
    for (const auto &c : cases) {
        if (&c != cases) {
            TearDown();
            SetUp();
        }
        open();
        MessageRecorder recorder;
        type(kGood);
        m_store->exec(c.breakIt);
        pressOk();
        ASSERT_EQ(recorder.messages().size(), 1u) << c.name;
        const app::Message &report = recorder.messages()[0];
        EXPECT_TRUE(report.text.startsWith(QStringLiteral("错误 %1：").arg(c.number)))
            << c.name << ": " << report.text.toStdString();
        EXPECT_TRUE(report.text.contains(QString::fromUtf8(c.description))) << c.name;
        EXPECT_EQ(report.icon, app::Icon::Exclamation) << c.name;
        EXPECT_EQ(report.caption, QStringLiteral("quelto")) << c.name;
        EXPECT_EQ(texts(), kGood) << c.name;
        ASSERT_FALSE(m_window.isNull()) << c.name;
        EXPECT_TRUE(m_window->isVisible()) << c.name;

        if (c.tableThere) {
            EXPECT_EQ(rowsAt(1500001), 0) << c.name << ": no half row";
        }
        m_store->exec(c.mendIt);
        EXPECT_EQ(rowsAt(1500001), 0) << c.name;
        recorder.clear();
        pressOk();
        ASSERT_EQ(recorder.messages().size(), 1u) << c.name;
        EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！")) << c.name;
        EXPECT_EQ(rowsAt(1500001), 1) << c.name;
    }
}

TEST_F(AdddataTest, DamagedStoreFileIsReported) {
    open();
    MessageRecorder recorder;
    type(kGood);
    QFile file(m_store->path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(4096, 'x'));
    file.close();
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_TRUE(recorder.messages()[0].text.startsWith(QStringLiteral("错误 26：")))
        << recorder.summary().toStdString();
    EXPECT_EQ(texts(), kGood);
    EXPECT_TRUE(m_window->isVisible());
}

// A write-protected file: SQLite opens it for reading only, so the duplicate
// check works and the insert is refused. The superuser writes through any
// file mode, so there the case cannot be set up.
TEST_F(AdddataTest, WriteProtectedStoreRefusesTheInsert) {
    ASSERT_TRUE(QFile::setPermissions(m_store->path(),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    if (access(m_store->path().toLocal8Bit().constData(), W_OK) == 0) {
        GTEST_SKIP() << "file modes do not bind this user";
    }
    open();
    MessageRecorder recorder;
    type(kGood);
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_TRUE(recorder.messages()[0].text.startsWith(QStringLiteral("错误 8：")))
        << recorder.summary().toStdString();
    EXPECT_EQ(texts(), kGood);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(rowsAt(1500001), 0);
}

// A box with a short text is still wide enough for its frame to show the
// caption: the caption in the title font (bold, as many desktops draw it)
// beside the window's icon and three frame buttons, squares as wide as a
// title bar is high, about one and a half lines of that font. The second box
// comes at a larger desktop font.
TEST_F(AdddataTest, ShortMessagesAreWideEnoughForTheirCaption) {
    open();
    const QFont desktop = QApplication::font();
    const struct {
        qreal points;
        const char *text;
    } cases[] = {{9, "添加成功！"}, {14, "此号码已经存在！"}};
    for (const auto &c : cases) {
        QFont font = desktop;
        font.setPointSizeF(c.points);
        QApplication::setFont(font);
        QString seen;
        int width = 0;
        int needed = 0;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = box->text();
            QFont title = QApplication::font("QMdiSubWindowTitleBar");
            title.setBold(true);
            const QFontMetrics metrics(title);
            const int square = metrics.height() * 3 / 2;  // a title bar's height
            needed = metrics.horizontalAdvance(box->windowTitle()) + 4 * square;
            width = box->width();
            box->accept();
        });
        type(kGood);
        pressOk();
        EXPECT_EQ(seen, QString::fromUtf8(c.text)) << c.points << " pt";
        EXPECT_GE(width, needed) << c.text << " at " << c.points << " pt";
    }
    QApplication::setFont(desktop);
}

TEST_F(AdddataTest, LongTextsAreStoredWhole) {
    open();
    MessageRecorder recorder;
    type(kGood);
    const QString province(40000, QChar(u'省'));
    m_text1[1]->clear();
    testing_support::pasteText(m_text1[1], province, PasteRoute::CtrlV);
    ASSERT_EQ(m_text1[1]->text().size(), province.size()) << "the field cut the text";
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！"));
    store::DataConnection check;
    store::bind(check, m_store->dir().toStdString());
    ASSERT_TRUE(store::lookUp(check, "1500001"));
    EXPECT_EQ(QString::fromStdString(check.Recordset().Fields(store::schema::kProvince).text()),
              province);
}

TEST_F(AdddataTest, PastedNumbersAndAreaCodesKeepTheirDigitsOnly) {
    open();
    const struct {
        int field;
        const char *pasted;
        const char *kept;
    } cases[] = {
        {0, "0086-138-0013-8000", "13800138000"},
        {0, "1e99999", "199999"},
        {3, "(027)", "027"},
        {3, "+86 27", "8627"},  // an area code has no country code to drop
    };
    for (const PasteRoute route : testing_support::kPasteRoutes) {
        for (const auto &c : cases) {
            QLineEdit *field = m_text1[c.field];
            field->clear();
            ASSERT_TRUE(testing_support::pasteText(field, QString::fromUtf8(c.pasted), route));
            EXPECT_EQ(field->text(), QString::fromUtf8(c.kept))
                << testing_support::routeName(route) << ": " << c.pasted;
        }
    }
    // Fields that take any character take pasted text as it is.
    m_text1[1]->clear();
    testing_support::pasteText(m_text1[1], QStringLiteral("湖北 (省)"), PasteRoute::CtrlV);
    EXPECT_EQ(m_text1[1]->text(), QStringLiteral("湖北 (省)"));

    MessageRecorder recorder;
    type({"", "湖北", "武汉", "", "中国联通"});
    testing_support::pasteText(m_text1[0], QStringLiteral("138-0013-8000"), PasteRoute::CtrlV);
    testing_support::pasteText(m_text1[3], QStringLiteral("(027)"), PasteRoute::CtrlV);
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("此号码已经存在！"))
        << "1380013 is in the table; the row must not go in under 138";
    EXPECT_EQ(rowsAt(138), 0);
}

// Another copy of the program has checked the same new number and written its
// row, and commits a moment after this window's OK: this window must wait for
// it and then refuse the number.
TEST_F(AdddataTest, TwoCopiesAddingTheSameNumberWriteOneRow) {
    open();
    MessageRecorder recorder;
    type(kGood);
    std::promise<void> written;
    std::thread other([&written, path = m_store->path().toStdString()] {
        sqlite3 *db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db,
                     "begin immediate; insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息)"
                     " values (1500001, 1500001, '湖北', '武汉', '027', '中国联通')",
                     nullptr, nullptr, nullptr);
        written.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
    written.get_future().wait();
    pressOk();
    other.join();
    EXPECT_EQ(rowsAt(1500001), 1);
    ASSERT_EQ(recorder.messages().size(), 1u) << recorder.summary().toStdString();
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("此号码已经存在！"));
    EXPECT_EQ(texts(), kGood);
}

// A user's own store may declare the key columns as text: a key written as
// 1700123.0 would never be found again.
TEST_F(AdddataTest, KeysGoIntoATextColumnAsTheDigitsTheQueryCompares) {
    m_store->exec(
        "drop table quelto; create table quelto (号码1 text, 号码2 text, 省份 text, 城市 text, "
        "区号 text, 卡信息 text)");
    open();
    MessageRecorder recorder;
    type({"17001234567", "湖北", "武汉", "027", "中国联通"});
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("添加成功！"));

    store::DataConnection check;
    store::bind(check, m_store->dir().toStdString());
    check.RecordSource = "select 号码1 as low, 号码2 as high from quelto";
    check.Refresh();
    EXPECT_EQ(check.Recordset().Fields("low").text(), "1700123");
    EXPECT_EQ(check.Recordset().Fields("high").text(), "1700123");

    recorder.clear();
    type({"17001234567", "湖北", "武汉", "027", "中国联通"});
    pressOk();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, QStringLiteral("此号码已经存在！"));
}

void collectAccessible(QAccessibleInterface *face, QStringList &seen) {
    for (int i = 0; i < face->childCount(); ++i) {
        QAccessibleInterface *child = face->child(i);
        QObject *object = child->object();
        seen << (object ? object->objectName() : QString()) + "=" + child->text(QAccessible::Name);
        collectAccessible(child, seen);
    }
}

TEST_F(AdddataTest, FieldsPictureAndButtonsCarryAccessibleNamesAndShadowsAreLeftOut) {
    open();
    QStringList seen;
    collectAccessible(QAccessible::queryAccessibleInterface(m_window), seen);
    const QStringList expected = {
        "Picture1=图片",    "Label1_0=手机号码", "Text1_0=手机号码", "Label1_1=所在省份",
        "Text1_1=所在省份", "Label1_2=所在城市", "Text1_2=所在城市", "Label1_3=区    号",
        "Text1_3=区号",     "Label1_4=卡信息",   "Text1_4=卡信息",   "Command1=确定",
        "Command2=取消",
    };
    for (const QString &entry : expected) {
        EXPECT_TRUE(seen.contains(entry))
            << entry.toStdString() << " in " << seen.join(", ").toStdString();
    }
    EXPECT_EQ(seen.size(), expected.size()) << seen.join(", ").toStdString();
}

}  // namespace
