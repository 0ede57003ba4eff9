#include "plimora_table/cli/failure.h"

#include <cerrno>
#include <cstring>

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
    if (error == ENOENT) {
        return Failure(path, what.empty() ? "找不到这个文件" : "找不到" + std::string(what));
    }
    return Failure(path, "无法读取" + std::string(what) + "：" + describeErrno(error));
}

std::string describeErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "磁盘空间不足";
        case EFBIG:
            return "文件超过了系统允许的大小";
        case EACCES:
        case EPERM:
            return "没有权限";
        case EROFS:
            return "所在的文件系统是只读的";
        case ENOENT:
            return "文件不存在";
        case EISDIR:
            return "这是一个文件夹";
        case EIO:
            return "磁盘读写出错";
        case EPIPE:
            return "读取输出的程序已经关闭了管道";
        default:
            return std::strerror(error);
    }
}

}  // namespace cli
