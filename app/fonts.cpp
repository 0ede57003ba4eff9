#include "app/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace app {

namespace {

const QString kSong = QStringLiteral("宋体");
const QString kLi = QStringLiteral("隶书");

const QStringList &songFaces() {
    static const QStringList faces{QStringLiteral("SimSun"),
                                   QStringLiteral("NSimSun"),
                                   QStringLiteral("AR PL UMing CN"),
                                   QStringLiteral("AR PL SungtiL GB"),
                                   QStringLiteral("Noto Serif CJK SC"),
                                   QStringLiteral("Source Han Serif SC"),
                                   QStringLiteral("WenQuanYi Zen Hei"),
                                   QStringLiteral("Noto Sans CJK SC")};
    return faces;
}

const QStringList &liFaces() {
    static const QStringList faces{QStringLiteral("LiSu"),
                                   QStringLiteral("STLiti"),
                                   QStringLiteral("AR PL UKai CN"),
                                   QStringLiteral("AR PL KaitiM GB"),
                                   QStringLiteral("KaiTi"),
                                   QStringLiteral("AR PL UMing CN"),
                                   QStringLiteral("Noto Serif CJK SC"),
                                   QStringLiteral("WenQuanYi Zen Hei")};
    return faces;
}

QFont named(const QString &family, const QStringList &faces, qreal pointSize) {
    QFont font(family);
    // The family list makes Qt try the installed stand-ins in order before
    // fontconfig's own guess, which for an unknown CJK name is a Latin serif.
    QStringList families{family};
    families += faces;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

}  // namespace

void registerFontSubstitutes() {
    QFont::insertSubstitutions(kSong, songFaces());
    QFont::insertSubstitutions(kLi, liFaces());
}

QFont songFont(qreal pointSize, bool bold) {
    QFont font = named(kSong, songFaces(), pointSize);
    font.setBold(bold);
    return font;
}

QFont liFont(qreal pointSize) {
    return named(kLi, liFaces(), pointSize);
}

}  // namespace app
