#include "app/reaction.h"

#include <QString>
#include <exception>

#include "app/message_box.h"
#include "store/store_error.h"

namespace app {

namespace {

QString report(int number, const char *description) {
    return QStringLiteral("错误 %1：%2").arg(number).arg(QString::fromUtf8(description));
}

}  // namespace

void guard(const std::function<void()> &reaction, QWidget *window) {
    try {
        reaction();
    } catch (const store::StoreError &e) {
        msgBox(report(e.number(), e.description().c_str()), Icon::Exclamation, {}, window);
    } catch (const std::exception &e) {
        msgBox(report(-1, e.what()), Icon::Exclamation, {}, window);
    }
}

}  // namespace app
