// Work on a store file that cannot be done, with the text meant for the user:
// the file concerned and what is wrong. plimora-table prints it as
// "plimora-table: FILE: MESSAGE"; the program shows the message.
#pragma once

#include <stdexcept>
#include <string>

namespace upgrade {

class Failure : public std::runtime_error {
public:
    // file may be empty when no one file is concerned.
    Failure(std::string file, std::string message);

    const std::string &file() const { return m_file; }
    const std::string &message() const { return m_message; }

private:
    std::string m_file;
    std::string m_message;
};

// The failure of reading the file path, stopped by the system error number
// error: store::describeUnreadable() of it.
Failure unreadable(const std::string &path, int error);

}  // namespace upgrade
