#include "app/fonts.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>

namespace {

// What the windows write in their fonts: captions, buttons, a result.
const QString kSample = QStringLiteral(
    "Plimora 手机号码 &Search 信息 所在地 区  号 卡信息 软件信息 添加数据 退出程序 "
    "确定(&Y) 取消(&C) 所在省份 北京 乌鲁木齐 中国移动 0991 13800138000");

QImage drawn(const QFont &font) {
    QImage image(1400, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignLeft | Qt::AlignVCenter, kSample);
    return image;
}

// A font of the face asked for by all its names, as the windows asked for it
// before they named the installed stand-in alone.
QFont wholeList(app::Face face, qreal pointSize, bool bold) {
    QFont font(app::faceFamilies(face).first());
    font.setFamilies(app::faceFamilies(face));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

struct Case {
    app::Face face;
    qreal pointSize;
    bool bold;
};

// The sizes of the three windows' designs.
const Case kCases[] = {
    {app::Face::Li, 42, false},      {app::Face::Song, 10.5, false},  {app::Face::Song, 12, false},
    {app::Face::Song, 14.25, false}, {app::Face::Song, 15.75, false}, {app::Face::Song, 18, false},
    {app::Face::Song, 21.75, true},
};

TEST(FontsTest, TheInstalledStandInDrawsWhatTheWholeListDrew) {
    for (const Case &c : kCases) {
        const QFont font = c.face == app::Face::Song ? app::songFont(c.pointSize, c.bold)
                                                     : app::liFont(c.pointSize);
        const QFont whole = wholeList(c.face, c.pointSize, c.bold);
        const QString name = app::faceFamilies(c.face).first();
        SCOPED_TRACE(QStringLiteral("%1 %2 pt%3, stand-in \"%4\"")
                         .arg(name)
                         .arg(c.pointSize)
                         .arg(c.bold ? QStringLiteral(" bold") : QString())
                         .arg(app::installedFamily(c.face))
                         .toStdString());
        EXPECT_EQ(QFontInfo(font).family(), QFontInfo(whole).family());
        EXPECT_EQ(QFontInfo(font).bold(), c.bold);
        EXPECT_TRUE(drawn(font) == drawn(whole));
        if (!app::installedFamily(c.face).isEmpty()) {
            // One family: Qt asks fontconfig for fallbacks only for a
            // character the stand-in lacks.
            EXPECT_EQ(font.families(), QStringList{app::installedFamily(c.face)});
        }
    }
}

}  // namespace
