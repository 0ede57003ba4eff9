// Every event reaction of every window runs inside guard(): a failure inside
// it is reported to the user and the reaction ends, but the program and its
// windows go on, so nothing the user has typed is lost. One reaction runs at a
// time: while a reaction waits for the store, no other one starts.
#pragma once

#include <functional>

class QWidget;

namespace app {

// Runs reaction and returns true. A store::StoreError escaping it is shown in
// a message box as "错误 <number>：" and store::describeStoreError() of it
// (for the store beside the program, whose newest backup it may name), any
// other std::exception as "错误 -1：" and its text (caption "quelto",
// exclamation icon), and then swallowed. While a store call waits
// (whileStoreBusy()), runs nothing and returns false.
bool guard(const std::function<void()> &reaction, QWidget *window = nullptr);

// The busy hook of every window's data connection (app/store_binding.h):
// while a store call waits for a store another program is writing
// (waiting), shows the busy cursor and keeps the windows painting, leaving
// keys, clicks and close requests queued and starting no reaction; once the
// wait is over (!waiting), takes the busy cursor away.
void whileStoreBusy(bool waiting);

}  // namespace app
