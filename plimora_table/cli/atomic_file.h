// Output that appears complete or not at all: written under a temporary name
// in the target's own folder, flushed to disk, then renamed over the target.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

class AtomicFile {
public:
    // Creates a new temporary file beside target ("target.tmp-XXXXXX", mode
    // 0666 less the umask). The target itself is not touched. Throws Failure
    // naming target when the folder does not take a new file.
    explicit AtomicFile(std::string target);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // The stream to write the content to.
    std::FILE *stream() { return m_stream; }

    // Flushes and syncs the content, renames it over the target and syncs the
    // folder. Throws Failure naming the target (a full disk shows here);
    // the target is then as it was and the temporary is removed.
    void commit();

private:
    std::string m_target;
    std::string m_temporary;
    std::FILE *m_stream = nullptr;
    bool m_committed = false;
};

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
