// File handling of the tool: inputs read in pieces, and outputs that appear whole or not at
// all. Every failure throws Failure with a one-line reason that names the file.
#ifndef ECCCRYPT_FILEIO_H
#define ECCCRYPT_FILEIO_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace ecccrypt {

// Failure is an operation that failed; its what() is the reason shown to the user.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// InputFile is an open input: a named file, or standard input for "-".
class InputFile {
  public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Name is the file name, or "standard input".
    const std::string& Name() const { return name_; }

    // SizeHint is the size of a regular file; empty for pipes and the like.
    std::optional<std::uint64_t> SizeHint() const { return size_; }

    // Read reads up to |size| bytes and returns how many; 0 at the end of the input.
    std::size_t Read(char* data, std::size_t size);

    // ReadFull reads until |size| bytes are read or the input ends, and returns how many.
    std::size_t ReadFull(char* data, std::size_t size);

  private:
    int fd_ = -1;
    bool owned_ = false;
    std::string name_;
    std::optional<std::uint64_t> size_;
};

// WipeString overwrites all of |s|'s storage, its spare capacity (where a longer earlier content
// may remain) included, and leaves |s| empty. Used for strings that held secrets.
void WipeString(std::string& s);

// ReadSmallFile returns the content of |path|, refusing files larger than |limit| bytes.
std::string ReadSmallFile(const std::string& path, std::size_t limit);

// WriteAll writes |size| bytes to |fd|, naming the destination |name| in errors.
void WriteAll(int fd, const char* data, std::size_t size, const std::string& name);

// DefaultFileMode is the mode of a new non-secret file under the process's umask.
mode_t DefaultFileMode();

// OutputFile is a file written in full beside its destination under a temporary name, then
// moved into place by Commit. Until then the destination is untouched; a file that is never
// committed is removed when the object goes away.
class OutputFile {
  public:
    OutputFile(const std::string& path, mode_t mode);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& Name() const { return path_; }
    void Write(const char* data, std::size_t size);

    // Commit flushes the data to disk and moves the file to its destination. Unless |replace|,
    // an existing destination makes it fail and stays as it was (checked atomically).
    void Commit(bool replace);

  private:
    std::string path_;
    std::string temp_;
    std::string dir_;
    int fd_ = -1;
    bool committed_ = false;
    std::uint64_t written_ = 0;  // bytes written so far
    std::uint64_t flushed_ = 0;  // bytes whose disk writes have been started
};

// Spool holds a result until it may be released: in memory up to kMemoryLimit bytes, beyond
// that in an unlinked temporary file in $TMPDIR (or /tmp), which disappears with the process
// however it ends. Whatever it held in memory is wiped when it goes away.
class Spool {
  public:
    static constexpr std::size_t kMemoryLimit = 8 << 20;

    Spool() = default;
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void Write(const char* data, std::size_t size);

    // CopyTo writes everything spooled to |fd|, naming the destination |name| in errors.
    void CopyTo(int fd, const std::string& name);

  private:
    std::string memory_;
    int fd_ = -1;
};

// Output is where a command's result goes, released only when the command has succeeded:
// - a file is written beside its destination under a temporary name (OutputFile) and moved into
//   place by Commit;
// - standard output ("-"), and a destination that is not a regular file (a pipe, a terminal, a
//   device), get nothing until Commit: the result is spooled and copied there by Commit.
// A command that fails before Commit leaves no trace of its result.
class Output {
  public:
    Output(const std::string& path, mode_t mode);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(const char* data, std::size_t size);
    void Commit();

  private:
    std::optional<OutputFile> file_;
    std::optional<Spool> spool_;
    int fd_ = -1;  // where the spool goes
    bool owned_ = false;
    std::string name_;
};

// RemoveTemporariesOnSignals makes SIGINT, SIGTERM and SIGHUP remove the temporary files of
// the OutputFile objects that exist at that moment before the process ends by the signal.
void RemoveTemporariesOnSignals();

// SameDestination reports whether two paths name the same entry of the same directory.
bool SameDestination(const std::string& a, const std::string& b);

// Exists reports whether |path| names anything, a dangling symbolic link included.
bool Exists(const std::string& path);

}  // namespace ecccrypt

#endif  // ECCCRYPT_FILEIO_H
