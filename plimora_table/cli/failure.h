// The two ways a command-line tool stops short: a command line it cannot
// follow, and work it cannot do. Both carry text meant for the user as it is.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cli {

// A command line that cannot be followed: an unknown option, a missing
// value or argument. The tool prints it with a pointer to --help and exits
// with kExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Work that cannot be done: the file concerned, the line in it when there is
// one (counting from 1; 0 for none) and what is wrong. The tool prints text()
// and exits with kExitFailure.
class Failure : public std::runtime_error {
public:
    Failure(std::string file, std::string message);
    Failure(std::string file, std::size_t line, std::string message);

    const std::string &file() const { return m_file; }
    std::size_t line() const { return m_line; }
    const std::string &message() const { return m_message; }

    // "FILE:LINE: MESSAGE"; "FILE: MESSAGE" without a line; MESSAGE alone
    // without a file.
    std::string text() const { return what(); }

private:
    std::string m_file;
    std::size_t m_line;
    std::string m_message;
};

// The failure of reading the file path, stopped by the system error number
// error; what names the kind of file ("号码表"), or "" for none: the message
// is store::describeUnreadable() ("找不到号码表", "无法读取号码表：没有权限").
Failure unreadable(const std::string &path, int error, std::string_view what = "");

// A short description of the system error number error for the user:
// store::describeSystemError().
std::string describeErrno(int error);

}  // namespace cli
