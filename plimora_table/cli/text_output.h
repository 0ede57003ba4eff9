// Text output of a command-line tool: to a file through OutputFile, or to
// standard output, which cannot be taken back; in UTF-8, with a byte-order
// mark for spreadsheets that want one, or in GB18030. On a terminal no
// control character of the text reaches it raw.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "plimora_table/cli/atomic_file.h"

namespace cli {

enum class OutputEncoding { Utf8, Utf8WithBom, Gb18030 };

// The encoding named by name ("utf-8", "utf8", "gb18030", in any case), or
// nullopt for a name the tools do not write.
std::optional<OutputEncoding> encodingNamed(std::string_view name);

class TextOutput {
public:
    // The name standard output goes by in messages.
    static constexpr std::string_view kStandardOutput = "标准输出";

    // Writes to the file path through an OutputFile (a file appears at path
    // only on commit(); a pipe or a device is written as the text comes), or
    // to standard output when path is "" or "-". Where the output is a
    // terminal, the text is shown as store::escapedText() shows it, its tabs
    // and line feeds kept. Throws Failure naming path as OutputFile does.
    TextOutput(const std::string &path, OutputEncoding encoding);
    ~TextOutput();
    TextOutput(const TextOutput &) = delete;
    TextOutput &operator=(const TextOutput &) = delete;

    // Appends text, UTF-8 made of whole characters; it is written out in
    // large blocks. Throws Failure naming the output (path or 标准输出) when
    // a block cannot be written: a full disk, a file-size limit, a closed
    // pipe. After a failure nothing more is written.
    void write(std::string_view text);

    // The text not yet written, for a caller that builds a record in place
    // instead of passing it to write(): it appends whole characters, then
    // calls appended(). What it takes back before calling appended() is
    // never written.
    std::string &pending() { return m_buffer; }
    // Writes the pending text out once it has grown to a block. Throws as
    // write() does.
    void appended();

    // Writes what is left, then commits the OutputFile (a file is renamed
    // over path); standard output is flushed. Throws Failure as write()
    // does; a file then does not appear.
    void commit();

    // path, or 标准输出.
    const std::string &name() const { return m_name; }
    bool toStandardOutput() const { return !m_file; }

private:
    void flush();

    std::string m_name;
    OutputEncoding m_encoding;
    std::unique_ptr<OutputFile> m_file;
    std::FILE *m_stream = nullptr;
    bool m_terminal = false;
    std::string m_buffer;
    bool m_failed = false;
};

}  // namespace cli
