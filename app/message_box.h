// Modal message boxes with one OK button, and a way for tests to record them
// instead of showing them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace app {

enum class Icon { None, Exclamation, Information };

struct Message {
    QString text;
    Icon icon = Icon::None;
    QString caption;
};

// Shows text with one button "确定" and waits until the user dismisses it. An
// empty caption stands for applicationTitle(). However short the
// text, the box is wide enough for its frame to show the caption whole. parent only
// places the box over its window.
void msgBox(const QString &text, Icon icon = Icon::None, const QString &caption = {},
            QWidget *parent = nullptr);

// While a sink is set, msgBox() hands every message to it (with the caption
// already filled in) and returns at once instead of showing a box. An empty
// sink restores real boxes.
using MessageSink = std::function<void(const Message &)>;
void setMessageSink(MessageSink sink);

}  // namespace app
