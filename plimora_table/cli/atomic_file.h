// The one way the tools write an output file the user names. A regular file
// appears complete or not at all: written under a temporary name in its own
// folder, flushed to disk, then renamed over it, keeping its permissions. A
// symbolic link is followed and its target replaced that way; the link
// stays. A pipe, a terminal or another character device, and a name of an
// open descriptor (/dev/stdout, /dev/fd/N), are written to directly, as a
// shell's redirection would, and never replaced. A read-only file and a
// folder are refused. On Windows only regular files are written.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// What a temporary file's name has after the name of the file it becomes:
// "out.csv.plimora-tmp-<process id>-<six letters>".
inline constexpr std::string_view kTemporaryMark = ".plimora-tmp-";

class OutputFile {
public:
    // Opens target for writing, following symbolic links. For a regular or
    // missing file creates the temporary beside it (mode: the file's, or 0666
    // less the umask for a new one; as root also the file's owner); the
    // target itself is not touched. First removes every temporary in that
    // folder whose process has ended without a commit (killed, or the
    // machine stopped). Throws Failure naming target, leaving it as it was,
    // for a folder, a read-only file (also for root, who could write it),
    // a block device or a socket, links that do not end, or a folder that
    // takes no new file.
    explicit OutputFile(std::string target);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // The stream to write the content to.
    std::FILE *stream() { return m_stream; }

    // True when the content goes straight to the target (a pipe, a device,
    // an open descriptor): what is written cannot be taken back.
    bool direct() const { return m_temporary.empty(); }

    // Flushes the content; for a file also syncs it, renames it over the
    // target and syncs the folder. Throws Failure naming the target (a full
    // disk shows here); a replaced file is then as it was and the temporary
    // is removed.
    void commit();

private:
    void openDirect(int fd);

    std::string m_target;     // as the user named it, for messages
    std::string m_final;      // the file that is replaced, links followed
    std::string m_temporary;  // "" when writing directly
    std::FILE *m_stream = nullptr;
    bool m_committed = false;
};

// True when a and b both name an existing file and it is the same one (links
// followed): the output a command is told to write is then a file it reads.
bool sameFile(const std::string &a, const std::string &b);

// The folder part of path: "." for a bare file name, "/" for a file at the
// root (store::folderOf()).
std::string folderOf(const std::string &path);

// Flushes the file's content to disk (fsync). Throws Failure naming path.
void syncFile(const std::string &path);

// Flushes a folder's entries to disk, so that a rename in it survives a power
// cut. Throws Failure naming folder.
void syncFolder(const std::string &folder);

// Renames from over to within one folder and syncs the folder: to is then
// either its old file or from's, never a mixture. Throws Failure naming to.
void replaceFile(const std::string &from, const std::string &to);

}  // namespace cli
