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

// Asks text with two buttons, "是(&Y)" and "否(&N)" (the latter also for Esc
// and the close box), and returns true for yes. The icon is a question mark;
// an empty caption stands for applicationTitle(). While a question sink is
// set, it is asked instead; else, while a message sink is set, the question
// goes to it and the answer is no.
bool askYesNo(const QString &text, const QString &caption = {}, QWidget *parent = nullptr);
using QuestionSink = std::function<bool(const Message &)>;
void setQuestionSink(QuestionSink sink);

}  // namespace app
