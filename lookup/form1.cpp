#include "lookup/form1.h"

#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "about/about.h"
#include "addrecord/adddata.h"
#include "app/application.h"
#include "app/colours.h"
#include "app/controls.h"
#include "app/events.h"
#include "app/fonts.h"
#include "app/message_box.h"
#include "app/store_binding.h"
#include "app/text.h"
#include "app/twips.h"
#include "lookup/table_upgrade.h"
#include "store/connection_texts.h"
#include "store/number_text.h"
#include "store/schema.h"

namespace {

// Colours as &H00BBGGRR&; &H800000nn& is the system colour numbered nn.
constexpr quint32 kBlue = 0x00FF0000;
constexpr quint32 kHighlight = 0x00FF9E3E;  // red 62, green 158, blue 255
constexpr quint32 kTitleText = 0x00FFFFC0;  // pale cyan
constexpr quint32 kWhite = 0x00FFFFFF;
constexpr quint32 kEntryBack = 0x00C0E0FF;      // light orange
constexpr quint32 kEntryText = 0x000000C0;      // dark red
constexpr quint32 kResultBack = 0x00FFFF00;     // cyan
constexpr quint32 kHighlightText = 0x8000000E;  // the system's highlight text
constexpr quint32 kWindowText = 0x80000008;     // the system's window text

const char *const kMissingStore = "软件已损坏，请重新安装！";
const char *const kMissingStoreCaption = "软件信息";
const char *const kBadNumber = "您输入的号码不正确，请重新输入！";
const char *const kNotFound = "没有找到此号码的信息！";

enum MenuLabel { kAbout = 0, kExit = 1, kAddRecord = 2 };

// The keys of menu label index, the desktop's usual ones for what it does.
QKeySequence menuKeys(int index) {
    switch (index) {
        case kAbout:
            return QKeySequence(Qt::Key_F1);
        case kExit:
            return QKeySequence(Qt::CTRL | Qt::Key_Q);
        default:
            return QKeySequence(Qt::CTRL | Qt::Key_N);
    }
}

// Brings an open window forward, restored if it was minimised, and returns
// true, or returns false when there is none. A window that is closing is
// hidden but not yet deleted; it is not brought back.
bool bringForward(QWidget *window) {
    if (!window || !window->isVisible()) {
        return false;
    }
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
    return true;
}

// A caption as a screen reader should say it: without the spaces that spread
// it out on the screen ("区  号").
QString spokenCaption(const char *caption) {
    return QString::fromUtf8(caption).remove(u' ');
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *text) {
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

}  // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      Label2(makeLabel(this, "Label2", "Plimora")),
      Label3(makeLabel(this, "Label3", "手机号码")),
      Text1(app::textField(this, QStringLiteral("Text1"), QStringLiteral("手机号码"))),
      Command1(new QPushButton(QStringLiteral("&Search"), this)),
      Frame1(new QGroupBox(QStringLiteral("信息"), this)) {
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(app::twips(7335), app::twips(5910));
    app::useClassicColours(this);
    app::setBackColour(this, app::vbColour(kBlue));
    QIcon icon(QStringLiteral(":/icons/form1-32.png"));
    icon.addFile(QStringLiteral(":/icons/form1-16.png"));
    setWindowIcon(icon);

    Label2->setGeometry(app::twipsRect(0, 0, 7335, 855));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setFont(app::liFont(42));
    app::setForeColour(Label2, app::vbColour(kTitleText));

    Label3->setGeometry(app::twipsRect(420, 1200, 1515, 435));
    Label3->setFont(app::songFont(18));
    app::setForeColour(Label3, app::vbColour(kWhite));
    Label3->setBuddy(Text1);

    Text1->setGeometry(app::twipsRect(1980, 1140, 3735, 495));
    Text1->setFont(app::songFont(21.75, true));
    Text1->setFrame(false);
    app::setFieldColours(Text1, app::vbColour(kEntryBack), app::vbColour(kEntryText));
    // Digits only: an input method would commit text past the key filter.
    Text1->setAttribute(Qt::WA_InputMethodEnabled, false);

    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(app::twipsRect(5820, 1140, 1155, 495));
    Command1->setFont(app::songFont(12));
    Command1->setAutoDefault(false);
    app::setFlatLook(Command1);

    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(app::twipsRect(480, 1800, 6495, 2775));
    app::setBackColour(Frame1, app::vbColour(kBlue));
    app::setForeColour(Frame1, app::vbColour(kHighlightText));

    const char *const captions[3] = {"所在地", "区  号", "卡信息"};
    for (int i = 0; i < 3; ++i) {
        const int top = 420 + 780 * i;
        Label4[i] = makeLabel(Frame1, "Label4", captions[i]);
        Label4[i]->setObjectName(QStringLiteral("Label4_%1").arg(i));
        Label4[i]->setGeometry(app::twipsRect(240, top + 60, 1215, 495));
        Label4[i]->setFont(app::songFont(15.75));
        app::setForeColour(Label4[i], app::vbColour(i == 0 ? kWhite : kHighlightText));

        Text2[i] =
            app::textField(Frame1, QStringLiteral("Text2_%1").arg(i), spokenCaption(captions[i]));
        Label4[i]->setBuddy(Text2[i]);
        Text2[i]->setGeometry(app::twipsRect(1620, top, 4575, 495));
        Text2[i]->setFont(app::songFont(18));
        app::setFieldColours(Text2[i], app::vbColour(kResultBack), app::vbColour(kWindowText));
        // Results can be clicked, selected and copied, but Tab skips them.
        Text2[i]->setReadOnly(true);
        Text2[i]->setFocusPolicy(Qt::ClickFocus);
    }

    const char *const menu[3] = {"软件信息", "退出程序", "添加数据"};
    const int menuLeft[3] = {480, 5700, 3060};
    for (int i = 0; i < 3; ++i) {
        Label1[i] = makeLabel(this, "Label1", menu[i]);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setGeometry(app::twipsRect(menuLeft[i], 4860, 1275, 315));
        Label1[i]->setAlignment(Qt::AlignCenter);
        Label1[i]->setFont(app::songFont(14.25));
        app::setBackColour(Label1[i], app::vbColour(kBlue));
        Label1[i]->setAccessibleDescription(
            QStringLiteral("快捷键 %1").arg(menuKeys(i).toString(QKeySequence::NativeText)));
        app::onMouseMove(Label1[i], [this, i] { onLabel1MouseMove(i); });
        app::onLabelClick(Label1[i], [this, i] { onLabel1Click(i); });
        app::onShortcut(this, menuKeys(i), [this, i] { onLabel1Click(i); });
    }

    setTabOrder(Text1, Command1);

    app::onKeyPress(Text1, [this](int &code) { onText1KeyPress(code); });
    app::onPaste(Text1, [](const QString &pasted) {
        return QString::fromStdString(
            store::cleanPaste(pasted.toStdString(), store::NumberField::PhoneNumber));
    });
    app::onChange(Text1, [this] { onText1Change(); });
    app::onClick(Command1, [this] { onCommand1Click(); });
    app::onMouseMove(
        this, [this] { onBackgroundMouseMove(); }, true);

    setWindowTitle(QStringLiteral("Plimora"));
    Text1->setFocus(Qt::OtherFocusReason);
}

Form1::~Form1() = default;

bool Form1::load() {
    // The table is made current before anything opens it: after this, the
    // window works on the sys.dat the update wrote.
    if (!lookup::upgradeTable(app::programDir())) {
        close();
        return false;
    }
    if (!app::fileExists(store::storePath(app::programDir()))) {
        app::msgBox(QString::fromUtf8(kMissingStore), app::Icon::Exclamation,
                    QString::fromUtf8(kMissingStoreCaption));
        close();
        return false;
    }
    app::bindStore(Adodc1);
    return true;
}

void Form1::onText1KeyPress(int &code) {
    if (code == app::kEnter) {
        if (!store::isLongEnough(Text1->text().toStdString())) {
            refuseShortNumber();
            return;
        }
        Search();
    }
    code = store::filterTypedKey(code, store::EnterKey::Kept);
}

void Form1::onText1Change() {
    if (store::clearsResults(Text1->text().toStdString())) {
        for (QLineEdit *field : Text2) {
            field->clear();
        }
    }
}

void Form1::onCommand1Click() {
    if (!store::isLongEnough(Text1->text().toStdString())) {
        refuseShortNumber();
        return;
    }
    Search();
}

void Form1::refuseShortNumber() {
    app::msgBox(QString::fromUtf8(kBadNumber), app::Icon::Exclamation, {}, this);
    app::focusAndSelectAll(Text1);
}

void Form1::Search() {
    if (!store::lookUp(Adodc1, Text1->text().toStdString())) {
        app::msgBox(QString::fromUtf8(kNotFound), app::Icon::None, {}, this);
        app::focusAndSelectAll(Text1);
        return;
    }
    store::Recordset &row = Adodc1.Recordset();
    const QString province = QString::fromStdString(row.Fields(store::schema::kProvince).text());
    const QString city = QString::fromStdString(row.Fields(store::schema::kCity).text());
    const QString areaCode = QString::fromStdString(row.Fields(store::schema::kAreaCode).text());
    const QString card = QString::fromStdString(row.Fields(store::schema::kCard).text());
    showResult(0, province == city ? province : province + city);
    showResult(1, areaCode);
    showResult(2, card);
}

void Form1::showResult(int index, const QString &text) {
    Text2[index]->setText(text);
    // A result wider than its field shows from its first character.
    Text2[index]->setCursorPosition(0);
}

void Form1::onLabel1MouseMove(int index) {
    for (QLabel *label : Label1) {
        app::setBackColour(label, app::vbColour(kBlue));
        QFont font = label->font();
        font.setUnderline(false);
        label->setFont(font);
    }
    app::setBackColour(Label1[index], app::vbColour(kHighlight));
    QFont font = Label1[index]->font();
    font.setUnderline(true);
    Label1[index]->setFont(font);
}

void Form1::onBackgroundMouseMove() {
    for (QLabel *label : Label1) {
        app::setBackColour(label, app::vbColour(kBlue));
    }
    for (QLabel *label : Label1) {
        QFont font = label->font();
        font.setUnderline(false);
        label->setFont(font);
    }
}

void Form1::onLabel1Click(int index) {
    switch (index) {
        case kAbout:
            openAbout();
            break;
        case kExit:
            close();
            break;
        case kAddRecord:
            openAddRecord();
            break;
        default:
            break;
    }
}

void Form1::openAddRecord() {
    if (bringForward(m_addRecord)) {
        return;
    }
    // No parent: the add-record window outlives the lookup window.
    auto *window = new adddata;
    m_addRecord = window;
    window->load();
}

void Form1::openAbout() {
    if (bringForward(m_about)) {
        return;
    }
    // No parent either: closing the lookup window leaves the about box open.
    auto *box = new About;
    m_about = box;
    box->load();
    box->show();
}
