#include "plimora_table/cli/failure.h"

#include "store/files.h"

namespace cli {

namespace {

std::string compose(const std::string &file, std::size_t line, const std::string &message) {
    if (file.empty()) {
        return message;
    }
    if (line == 0) {
        return file + ": " + message;
    }
    return file + ":" + std::to_string(line) + ": " + message;
}

}  // namespace

Failure::Failure(std::string file, std::string message)
    : Failure(std::move(file), 0, std::move(message)) {}

Failure::Failure(std::string file, std::size_t line, std::string message)
    : std::runtime_error(compose(file, line, message)),
      m_file(std::move(file)),
      m_line(line),
      m_message(std::move(message)) {}

Failure unreadable(const std::string &path, int error, std::string_view what) {
    return Failure(path, store::describeUnreadable(error, what));
}

std::string describeErrno(int error) {
    return store::describeSystemError(error);
}

}  // namespace cli
