#include "about/about.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "app/application.h"
#include "app/colours.h"
#include "app/events.h"
#include "app/fonts.h"
#include "app/message_box.h"
#include "app/twips.h"
#include "store/connection_texts.h"
#include "store/edition.h"
#include "store/schema.h"

namespace {

// Which edition of the number table the store beside the program holds and
// what it was made from, so a user can tell how current its answers are: the
// store's own record, which a new edition.dat or plimora-table may have
// changed since the program was built.
QString creditText() {
    const auto recorded = store::recordedEdition(store::storePath(app::programDir()));
    const auto value = [&](std::string_view key) {
        return QString::fromStdString(recorded->value(key).value_or(std::string()));
    };
    if (!recorded || !recorded->serial()) {
        return QStringLiteral("号码表的版本不明：sys.dat 里没有记录它的版本");
    }
    QString text = QStringLiteral("号码表第 %1 版").arg(*recorded->serial());
    if (!value(store::schema::kDateKey).isEmpty()) {
        text += QStringLiteral("（%1）").arg(value(store::schema::kDateKey));
    }
    if (!value(store::schema::kSourcesKey).isEmpty()) {
        text += QStringLiteral("\n来源：%1").arg(value(store::schema::kSourcesKey));
    }
    return text;
}

constexpr int kSeparatorY = 2460;
constexpr int kSeparatorLeft = 240;
constexpr int kSeparatorRight = 5520;

}  // namespace

About::About(sysinfo::Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      cmdOK(new QPushButton(QStringLiteral("确定"), this)),
      cmdSysInfo(new QPushButton(QStringLiteral("系统信息(&S)..."), this)),
      Image1(new QLabel(this)),
      lblTitle(new QLabel(this)),
      lblVersion(new QLabel(this)),
      lblDisclaimer(new QLabel(this)),
      m_platform(platform) {
    setObjectName(QStringLiteral("About"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(app::twips(5715), app::twips(3495));
    app::useClassicColours(this);

    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(app::twipsRect(4020, 2625, 1500, 345));
    cmdOK->setDefault(true);

    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(app::twipsRect(4020, 3120, 1485, 345));
    cmdSysInfo->setAccessibleName(QStringLiteral("系统信息"));

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(app::twipsRect(240, 240, 1245, 2100));
    Image1->setFrameShape(QFrame::Box);
    Image1->setLineWidth(1);
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/picture2.jpg")));
    Image1->setAccessibleName(QStringLiteral("图片"));

    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(app::twipsRect(1590, 240, 3885, 480));
    lblTitle->setFont(app::songFont(14.25));
    app::setForeColour(lblTitle, Qt::black);

    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(app::twipsRect(1590, 900, 3885, 225));
    lblVersion->setFont(app::songFont(12));

    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setGeometry(app::twipsRect(240, 2580, 3570, 825));
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    app::setForeColour(lblDisclaimer, Qt::black);
    app::keepTextFitted(lblDisclaimer);

    // The buttons take the desktop's font, in which their captions may not
    // fit their fixed size.
    app::keepTextFitted(cmdOK);
    app::keepTextFitted(cmdSysInfo);

    setTabOrder(cmdOK, cmdSysInfo);
    app::onClick(cmdOK, [this] { close(); });
    app::onClick(cmdSysInfo, [this] { StartSysInfo(); });

    cmdOK->setFocus(Qt::OtherFocusReason);
}

About::~About() = default;

void About::load() {
    setWindowTitle(QStringLiteral("关于Plimora"));
    lblVersion->setText(
        QStringLiteral("版本 %1.%2").arg(app::versionMajor()).arg(app::versionMinor()));
    lblTitle->setText(QStringLiteral("Plimora"));
    lblDisclaimer->setText(creditText());
}

void About::StartSysInfo() {
    sysinfo::StartSysInfo(m_platform, [this](std::string_view message) {
        app::msgBox(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                    app::Icon::None, {}, this);
    });
}

void About::paintEvent(QPaintEvent *event) {
    QDialog::paintEvent(event);
    // An etched separator: a white line with a grey one drawn over it, both at
    // the same place; the white shows below the grey as the etch's light edge.
    QPainter painter(this);
    const int y = app::twips(kSeparatorY);
    const int left = app::twips(kSeparatorLeft);
    const int right = app::twips(kSeparatorRight);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawLine(left, y, right, y);
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.drawLine(left, y - 1, right, y - 1);
}
