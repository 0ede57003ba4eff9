#include "plimora_table/cli/text_output.h"

#include <cerrno>
#include <cstdio>

#include "plimora_table/cli/encoding.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/terminal.h"
#include "store/text.h"

namespace cli {

namespace {

// Large enough that writing costs a system call per thousands of lines,
// small enough that a converted block stays a few hundred kilobytes.
constexpr std::size_t kBlockSize = 1 << 18;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

std::optional<OutputEncoding> encodingNamed(std::string_view name) {
    const std::string key = store::asciiLower(name);
    if (key == "utf-8" || key == "utf8") {
        return OutputEncoding::Utf8;
    }
    if (key == "gb18030") {
        return OutputEncoding::Gb18030;
    }
    return std::nullopt;
}

TextOutput::TextOutput(const std::string &path, OutputEncoding encoding) : m_encoding(encoding) {
    if (path.empty() || path == "-") {
        m_name = std::string(kStandardOutput);
        m_stream = stdout;
    } else {
        m_name = path;
        m_file = std::make_unique<OutputFile>(path);
        m_stream = m_file->stream();
    }
    m_terminal = isTerminal(m_stream);
    m_buffer.reserve(kBlockSize + kBlockSize / 4);
    if (m_encoding == OutputEncoding::Utf8WithBom) {
        m_buffer += kUtf8Bom;
    }
}

TextOutput::~TextOutput() = default;

void TextOutput::write(std::string_view text) {
    m_buffer += text;
    appended();
}

void TextOutput::appended() {
    if (m_buffer.size() >= kBlockSize) {
        flush();
    }
}

void TextOutput::flush() {
    if (m_failed) {
        throw Failure(m_name, "写入失败");
    }
    if (m_buffer.empty()) {
        return;
    }
    std::string converted;
    std::string_view block = m_buffer;
    if (m_terminal) {
        converted = store::escapedText(block, store::Layout::Kept);
        block = converted;
    }
    if (m_encoding == OutputEncoding::Gb18030) {
        auto gb18030 = utf8ToGb18030(block);
        if (!gb18030) {
            m_failed = true;
            throw Failure(m_name, "有文字无法转换为 GB18030（不是 UTF-8）");
        }
        converted = std::move(*gb18030);
        block = converted;
    }
    errno = 0;
    const std::size_t written = std::fwrite(block.data(), 1, block.size(), m_stream);
    if (written != block.size() || std::fflush(m_stream) != 0) {
        m_failed = true;
        const int error = errno;
        throw Failure(m_name, error ? "写入失败：" + describeErrno(error) : "写入失败");
    }
    m_buffer.clear();
}

void TextOutput::commit() {
    flush();
    if (m_file) {
        m_file->commit();
    }
}

}  // namespace cli
