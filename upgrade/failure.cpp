#include "upgrade/failure.h"

#include "store/files.h"

namespace upgrade {

Failure::Failure(std::string file, std::string message)
    : std::runtime_error(file.empty() ? message : file + ": " + message),
      m_file(std::move(file)),
      m_message(std::move(message)) {}

Failure unreadable(const std::string &path, int error) {
    return Failure(path, store::describeUnreadable(error));
}

}  // namespace upgrade
