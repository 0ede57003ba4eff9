#include "app/reaction.h"

#include <QApplication>
#include <QString>
#include <exception>

#include "app/application.h"
#include "app/message_box.h"
#include "store/connection_texts.h"
#include "store/store_error.h"

namespace app {

namespace {

// How long one turn of event processing may take while the store is awaited.
constexpr int kPaintSliceMs = 20;

// True while a store call waits for the store another program holds.
bool &storeWaiting() {
    static bool waiting = false;
    return waiting;
}

QString report(int number, const std::string &description) {
    return QStringLiteral("错误 %1：%2").arg(number).arg(QString::fromStdString(description));
}

}  // namespace

bool guard(const std::function<void()> &reaction, QWidget *window) {
    if (storeWaiting()) {
        // The events processed during the wait must not start a reaction in
        // the middle of the one that waits.
        return false;
    }
    try {
        reaction();
    } catch (const store::StoreError &e) {
        const std::string storePath = store::storePath(programDir());
        msgBox(report(e.number(), store::describeStoreError(e, storePath)), Icon::Exclamation, {},
               window);
    } catch (const std::exception &e) {
        msgBox(report(-1, e.what()), Icon::Exclamation, {}, window);
    }
    return true;
}

void whileStoreBusy(bool waiting) {
    if (!waiting) {
        if (storeWaiting()) {
            storeWaiting() = false;
            QApplication::restoreOverrideCursor();
        }
        return;
    }
    if (!storeWaiting()) {
        storeWaiting() = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // Keys, clicks and the closing of windows stay queued until the wait is
    // over; painting and timers go on, and guard() turns the timers away.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, kPaintSliceMs);
}

}  // namespace app
