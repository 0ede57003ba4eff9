#include "addrecord/adddata.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "app/application.h"
#include "app/colours.h"
#include "app/controls.h"
#include "app/events.h"
#include "app/fonts.h"
#include "app/message_box.h"
#include "app/reaction.h"
#include "app/store_binding.h"
#include "app/text.h"
#include "app/twips.h"
#include "store/connection_texts.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"

namespace {

constexpr int kRows = 5;
constexpr int kNumber = 0;
constexpr int kAreaCode = 3;
constexpr int kPictureInterval = 1500;  // ms

// The shadow boxes Label2(i): the field's size, this far right of and below
// it, in the window-text colour.
constexpr int kShadowOffset = 60;

constexpr quint32 kFieldBack = 0x00C0E0FF;
constexpr quint32 kFieldText = 0x000000FF;  // red
constexpr quint32 kWindowText = 0x80000008;
constexpr quint32 kWindowBack = 0x80000005;
constexpr quint32 kWorkspace = 0x8000000C;
constexpr quint32 kTitleText = 0x80000009;

const char *const kCaptions[kRows] = {"手机号码", "所在省份", "所在城市", "区    号", "卡信息"};
// Also what a screen reader calls each field.
const char *const kFieldNames[kRows] = {"手机号码", "所在省份", "所在城市", "区号", "卡信息"};

const char *const kEmpty = "不能为空，请输入！";
const char *const kBadFormat = "该号码格式不对，请检察！";
const char *const kShortNumber = "号码不完整，请重新输入！";
const char *const kBadAreaCode = "区号不正确，请重新输入！";
const char *const kDuplicate = "此号码已经存在！";
const char *const kAdded = "添加成功！";

// The separator above the buttons, drawn by the window itself.
constexpr int kLineLeft = 2460;
constexpr int kLineRight = 6240;
constexpr int kLineTop = 3240;

}  // namespace

adddata::adddata(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      Picture1(new QLabel(this)),
      Command1(new QPushButton(QStringLiteral("确定(&Y)"), this)),
      Command2(new QPushButton(QStringLiteral("取消(&C)"), this)),
      Timer1(new QTimer(this)),
      ImageList1{QPixmap(QStringLiteral(":/pictures/picture1.jpg")),
                 QPixmap(QStringLiteral(":/pictures/picture2.jpg"))} {
    setObjectName(QStringLiteral("adddata"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(app::twips(6390), app::twips(4170));
    app::useClassicColours(this);
    QIcon icon(QStringLiteral(":/icons/adddata-32.png"));
    icon.addFile(QStringLiteral(":/icons/adddata-16.png"));
    setWindowIcon(icon);

    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(app::twipsRect(180, 240, 2115, 3615));
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setLineWidth(1);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    app::setBackColour(Picture1, app::vbColour(kWindowBack));
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->setAccessibleName(QStringLiteral("图片"));

    for (int i = 0; i < kRows; ++i) {
        Label1[i] = new QLabel(QString::fromUtf8(kCaptions[i]), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setGeometry(app::twipsRect(2460, 300 + 600 * i, 1215, 315));
        Label1[i]->setFont(app::songFont(12));

        Text1[i] = app::textField(this, QStringLiteral("Text1_%1").arg(i),
                                  QString::fromUtf8(kFieldNames[i]));
        Label1[i]->setBuddy(Text1[i]);
        Text1[i]->setGeometry(app::twipsRect(3900, 240 + 600 * i, 2295, 375));
        Text1[i]->setFont(app::songFont(14.25));
        Text1[i]->setFrame(false);
        app::setFieldColours(Text1[i], app::vbColour(kFieldBack), app::vbColour(kFieldText));
    }
    // Digits only: an input method would commit text past the key filter.
    Text1[kNumber]->setAttribute(Qt::WA_InputMethodEnabled, false);
    Text1[kAreaCode]->setAttribute(Qt::WA_InputMethodEnabled, false);

    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(app::twipsRect(2460, 3360, 1875, 495));
    Command1->setFont(app::songFont(10.5));
    Command1->setAutoDefault(false);
    Command1->setAccessibleName(QStringLiteral("确定"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(app::twipsRect(4380, 3360, 1875, 495));
    Command2->setFont(app::songFont(10.5));
    Command2->setAutoDefault(false);
    Command2->setAccessibleName(QStringLiteral("取消"));

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kPictureInterval);
    // A coarse timer may tick up to 5 % early.
    Timer1->setTimerType(Qt::PreciseTimer);

    setTabOrder(Picture1, Text1[0]);
    for (int i = 1; i < kRows; ++i) {
        setTabOrder(Text1[i - 1], Text1[i]);
    }
    setTabOrder(Text1[kRows - 1], Command1);
    setTabOrder(Command1, Command2);

    for (int i = 0; i < kRows; ++i) {
        app::onKeyPress(Text1[i], [this, i](int &code) { onText1KeyPress(i, code); });
    }
    for (const auto &[index, kind] : {std::pair(kNumber, store::NumberField::PhoneNumber),
                                      std::pair(kAreaCode, store::NumberField::AreaCode)}) {
        app::onPaste(Text1[index], [kind](const QString &pasted) {
            return QString::fromStdString(store::cleanPaste(pasted.toStdString(), kind));
        });
    }
    app::onClick(Command1, [this] { onCommand1Click(); });
    app::onClick(Command2, [this] { close(); });
    connect(Timer1, &QTimer::timeout, this,
            [this] { app::guard([this] { onTimer1Timer(); }, this); });

    setWindowTitle(QStringLiteral("添加数据"));
    move(app::twips(2835), app::twips(2355));
}

adddata::~adddata() = default;

void adddata::load() {
    Timer1->start();
    app::bindStore(Adodc1);
    m_counter = 0;
    showPicture();
    show();
    activateWindow();
    Text1[kNumber]->setFocus(Qt::OtherFocusReason);
}

void adddata::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    // Beneath the fields, which are drawn over them, so only the strip to the
    // right and below shows.
    for (QLineEdit *field : Text1) {
        const QRect shadow =
            field->geometry().translated(app::twips(kShadowOffset), app::twips(kShadowOffset));
        painter.fillRect(shadow, app::vbColour(kWindowText));
    }
    const int left = app::twips(kLineLeft);
    const int right = app::twips(kLineRight);
    const int top = app::twips(kLineTop);
    // Line1 is two pixels deep and Line2 covers its lower half, which gives
    // the etched look of a dialog separator.
    painter.fillRect(QRect(QPoint(left, top), QPoint(right, top + 1)), app::vbColour(kWorkspace));
    painter.fillRect(QRect(QPoint(left, top + 1), QPoint(right, top + 1)),
                     app::vbColour(kTitleText));
}

void adddata::onText1KeyPress(int index, int &code) {
    if (code == app::kEnter) {
        app::sendTab();
    }
    if (index == kNumber || index == kAreaCode) {
        code = store::filterTypedKey(code, store::EnterKey::Dropped);
    }
}

void adddata::onTimer1Timer() {
    m_counter = m_counter != 1 ? 1 : 0;
    showPicture();
}

void adddata::showPicture() {
    Picture1->setPixmap(ImageList1[m_counter]);
}

void adddata::onCommand1Click() {
    for (int i = 0; i < kRows; ++i) {
        if (app::trimSpaces(Text1[i]->text()).isEmpty()) {
            app::msgBox(QString::fromUtf8(kFieldNames[i]) + QString::fromUtf8(kEmpty),
                        app::Icon::Exclamation, {}, this);
            Text1[i]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }

    const QString number = app::trimSpaces(Text1[kNumber]->text());
    if (!number.startsWith(QLatin1Char(store::kMobileLead))) {
        app::msgBox(QString::fromUtf8(kBadFormat), app::Icon::Information, {}, this);
        Text1[kNumber]->setText(number);
        app::focusAndSelect(Text1[kNumber], 0, 1);
        return;
    }
    if (!store::isLongEnough(number.toStdString())) {
        app::msgBox(QString::fromUtf8(kShortNumber), app::Icon::Exclamation, {}, this);
        Text1[kNumber]->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!store::isAreaCodeLength(Text1[kAreaCode]->text().toStdString())) {
        app::msgBox(QString::fromUtf8(kBadAreaCode), app::Icon::Exclamation, {}, this);
        app::focusAndSelectAll(Text1[kAreaCode]);
        return;
    }

    // The duplicate check and the insert are one write transaction: another
    // copy of the program adding the same number at the same moment waits
    // for this one and then finds its row.
    Adodc1.BeginTrans();
    try {
        if (store::lookUp(Adodc1, Text1[kNumber]->text().toStdString())) {
            Adodc1.RollbackTrans();
            app::msgBox(QString::fromUtf8(kDuplicate), app::Icon::None, {}, this);
            app::focusAndSelectAll(Text1[kNumber]);
            return;
        }
        add();
    } catch (...) {
        try {
            Adodc1.RollbackTrans();
        } catch (const store::StoreError &) {
            // The first failure is the one to report; a failed rollback has
            // closed the connection, which ends the transaction just as well.
        }
        throw;
    }
    // A store failure in the lookup or in add() ends this reaction before
    // here, so what the user typed is still there to retry with.
    for (QLineEdit *field : Text1) {
        field->clear();
    }
}

void adddata::add() {
    store::Recordset &set = Adodc1.Recordset();
    set.AddNew();
    const double key = store::prefixKey(Text1[kNumber]->text().toStdString());
    set.Fields(store::schema::kLow) = key;
    set.Fields(store::schema::kHigh) = key;
    set.Fields(store::schema::kProvince) = app::trimSpaces(Text1[1]->text()).toStdString();
    set.Fields(store::schema::kCity) = app::trimSpaces(Text1[2]->text()).toStdString();
    set.Fields(store::schema::kAreaCode) = app::trimSpaces(Text1[3]->text()).toStdString();
    set.Fields(store::schema::kCard) = app::trimSpaces(Text1[4]->text()).toStdString();
    set.Update();
    // Made lasting before the message, which would hold the store for as
    // long as the user leaves it open.
    Adodc1.CommitTrans();
    app::msgBox(QString::fromUtf8(kAdded), app::Icon::None, {}, this);
}
