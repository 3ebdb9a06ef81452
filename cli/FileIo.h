// File handling of the tool: reading inputs whole, and output files that appear whole or not at
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

    // SizeHint is the size of a regular file, for reserving memory; empty for pipes and the like.
    std::optional<std::uint64_t> SizeHint() const { return size_; }

    // Read reads up to |size| bytes and returns how many; 0 at the end of the input.
    std::size_t Read(char* data, std::size_t size);

    // ReadAll appends the rest of the input to |out|.
    void ReadAll(std::string& out);

  private:
    int fd_ = -1;
    bool owned_ = false;
    std::string name_;
    std::optional<std::uint64_t> size_;
};

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
};

// Output is where a command's result goes: an OutputFile, or standard output for "-".
class Output {
  public:
    explicit Output(const std::string& path, mode_t mode);
    bool IsStdout() const { return !file_.has_value(); }
    void Write(const char* data, std::size_t size);
    void Commit();

  private:
    std::optional<OutputFile> file_;
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
