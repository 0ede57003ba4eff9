#include "app/fonts.h"

#include <QFontDatabase>

namespace app {

namespace {

QString findInstalled(const QStringList &families) {
    // The database's own list, not QFontDatabase::hasFamily(): that asks
    // fontconfig about every name, which costs more than the fallbacks this
    // look-up saves. A family made by several foundries is listed once per
    // foundry, as "Family [Foundry]".
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : families) {
        const QString withFoundry = family + QStringLiteral(" [");
        for (const QString &name : installed) {
            if (name.compare(family, Qt::CaseInsensitive) == 0 ||
                name.startsWith(withFoundry, Qt::CaseInsensitive)) {
                return family;
            }
        }
    }
    return {};
}

QFont named(Face face, qreal pointSize) {
    const QString &family = installedFamily(face);
    const QStringList families = family.isEmpty() ? faceFamilies(face) : QStringList{family};
    QFont font(families.first());
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

}  // namespace

const QStringList &faceFamilies(Face face) {
    static const QStringList song{QStringLiteral("宋体"),
                                  QStringLiteral("SimSun"),
                                  QStringLiteral("NSimSun"),
                                  QStringLiteral("AR PL UMing CN"),
                                  QStringLiteral("AR PL SungtiL GB"),
                                  QStringLiteral("Noto Serif CJK SC"),
                                  QStringLiteral("Source Han Serif SC"),
                                  QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("Noto Sans CJK SC")};
    static const QStringList li{QStringLiteral("隶书"),
                                QStringLiteral("LiSu"),
                                QStringLiteral("STLiti"),
                                QStringLiteral("AR PL UKai CN"),
                                QStringLiteral("AR PL KaitiM GB"),
                                QStringLiteral("KaiTi"),
                                QStringLiteral("AR PL UMing CN"),
                                QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("WenQuanYi Zen Hei")};
    return face == Face::Song ? song : li;
}

const QString &installedFamily(Face face) {
    static const QString song = findInstalled(faceFamilies(Face::Song));
    static const QString li = findInstalled(faceFamilies(Face::Li));
    return face == Face::Song ? song : li;
}

QFont songFont(qreal pointSize, bool bold) {
    QFont font = named(Face::Song, pointSize);
    font.setBold(bold);
    return font;
}

QFont liFont(qreal pointSize) {
    return named(Face::Li, pointSize);
}

}  // namespace app
