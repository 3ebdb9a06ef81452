#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ecccrypt {
namespace {

constexpr std::size_t kReadPiece = std::size_t{1} << 20;
constexpr std::uint64_t kFlushStep = 8 << 20;

std::string Why(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// Splits |path| into the directory that holds its entry and the entry's name.
void SplitPath(const std::string& path, std::string& dir, std::string& base) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        dir = ".";
        base = path;
    } else {
        dir = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
}

// Makes a rename or link in |dir| durable; a failure here cannot undo the operation and would
// only lose it in a crash, so it is not reported.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Temporary files that an interrupt must not leave behind. The signal handler reads this list,
// so a path is entered only once its file exists and removed before its storage goes away.
std::array<std::atomic<const char*>, 4> g_temporaries{};

void Track(const char* path) {
    for (auto& slot : g_temporaries) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, path)) return;
    }
}

void Untrack(const char* path) {
    for (auto& slot : g_temporaries) {
        const char* expected = path;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

extern "C" void RemoveTemporariesAndExit(int signal) {
    for (auto& slot : g_temporaries) {
        const char* path = slot.load();
        if (path != nullptr) ::unlink(path);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void RemoveTemporariesOnSignals() {
    static_assert(std::atomic<const char*>::is_always_lock_free);
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndExit;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal that the caller chose to ignore (as shells do for background jobs) stays so.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        ::sigaction(signal, &action, nullptr);
    }
}

InputFile::InputFile(const std::string& path) {
    if (path == "-") {
        fd_ = STDIN_FILENO;
        name_ = "standard input";
    } else {
        name_ = path;
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw Failure(Why("cannot open " + path, errno));
        owned_ = true;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw Failure(Why("cannot read " + name_, errno));
    if (S_ISDIR(st.st_mode)) throw Failure(Why("cannot read " + name_, EISDIR));
    if (S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() {
    if (owned_) ::close(fd_);
}

std::size_t InputFile::Read(char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, data, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw Failure(Why("cannot read " + name_, errno));
    }
}

std::size_t InputFile::ReadFull(char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t n = Read(data + done, size - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}

void WipeString(std::string& s) {
    // Resizing within the capacity allocates nothing.
    s.resize(s.capacity());
    volatile char* p = &s[0];
    for (std::size_t i = 0; i < s.size(); ++i) p[i] = 0;
    s.clear();
}

std::string ReadSmallFile(const std::string& path, std::size_t limit) {
    InputFile in(path);
    std::string content(limit + 1, '\0');
    std::size_t size = 0;
    try {
        while (size < content.size()) {
            const std::size_t n = in.Read(&content[size], content.size() - size);
            if (n == 0) break;
            size += n;
        }
        if (size > limit) throw Failure(path + " is too large to be a key file");
    } catch (...) {
        // What was read may be a private key: wiped before the buffer is released.
        WipeString(content);
        throw;
    }
    content.resize(size);
    return content;
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& name) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Failure(Why("cannot write " + name, errno));
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

mode_t DefaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

OutputFile::OutputFile(const std::string& path, mode_t mode) : path_(path) {
    std::string base;
    SplitPath(path, dir_, base);
    if (base.empty() || base == "." || base == "..") {
        throw Failure(Why("cannot write " + path, EISDIR));
    }
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        throw Failure(Why("cannot write " + path, EISDIR));
    }
    std::string pattern = (dir_ == "." && path.find('/') == std::string::npos ? "" : dir_ + "/");
    pattern += "." + base + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkstemp creates the file with mode 0600, so a secret never sits in a readable file.
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) throw Failure(Why("cannot create a file in " + dir_, errno));
    temp_ = name.data();
    Track(temp_.c_str());
    if (::fchmod(fd_, mode) != 0) throw Failure(Why("cannot create " + path, errno));
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temp_.c_str());
    Untrack(temp_.c_str());
}

void OutputFile::Write(const char* data, std::size_t size) {
    WriteAll(fd_, data, size, path_);
    // Starts the disk writes of what was written so far, without waiting for them, so that the
    // flush at Commit finds little left to do.
    written_ += size;
    if (written_ - flushed_ >= kFlushStep) {
        ::sync_file_range(fd_, static_cast<off_t>(flushed_),
                          static_cast<off_t>(written_ - flushed_), SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
    }
}

void OutputFile::Commit(bool replace) {
    if (::fsync(fd_) != 0) throw Failure(Why("cannot write " + path_, errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw Failure(Why("cannot write " + path_, errno));
    if (replace) {
        if (::rename(temp_.c_str(), path_.c_str()) != 0) {
            throw Failure(Why("cannot write " + path_, errno));
        }
    } else {
        // Both moves succeed only while nothing has the name yet; the hard link serves file
        // systems that cannot rename without replacing.
        bool moved =
            ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) == 0;
        if (!moved && errno == EINVAL && ::link(temp_.c_str(), path_.c_str()) == 0) {
            ::unlink(temp_.c_str());
            moved = true;
        }
        if (!moved) {
            if (errno == EEXIST) throw Failure(path_ + " exists; use --force to replace it");
            throw Failure(Why("cannot write " + path_, errno));
        }
    }
    committed_ = true;
    Untrack(temp_.c_str());
    SyncDirectory(dir_);
}

Spool::~Spool() {
    WipeString(memory_);
    if (fd_ >= 0) ::close(fd_);
}

void Spool::Write(const char* data, std::size_t size) {
    if (fd_ < 0 && memory_.size() + size <= kMemoryLimit) {
        if (memory_.capacity() < memory_.size() + size) {
            // Grown by hand so that no copy of the data is released unwiped.
            std::string larger;
            larger.reserve(std::max(2 * memory_.capacity(), memory_.size() + size));
            larger = memory_;
            WipeString(memory_);
            memory_.swap(larger);
        }
        memory_.append(data, size);
        return;
    }
    if (fd_ < 0) {
        const char* tmp = std::getenv("TMPDIR");
        const std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        // O_TMPFILE makes a file without a name; where the file system cannot, a named one is
        // made and unlinked at once.
        fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            std::string pattern = dir + "/.ecc-crypt-spool-XXXXXX";
            fd_ = ::mkostemp(&pattern[0], O_CLOEXEC);
            if (fd_ >= 0) ::unlink(pattern.c_str());
        }
        if (fd_ < 0) throw Failure(Why("cannot create a temporary file in " + dir, errno));
        WriteAll(fd_, memory_.data(), memory_.size(), "a temporary file in " + dir);
        WipeString(memory_);
    }
    WriteAll(fd_, data, size, "a temporary file");
}

void Spool::CopyTo(int fd, const std::string& name) {
    if (fd_ < 0) {
        WriteAll(fd, memory_.data(), memory_.size(), name);
        return;
    }
    if (::lseek(fd_, 0, SEEK_SET) != 0) throw Failure(Why("cannot read a temporary file", errno));
    std::vector<char> piece(kReadPiece);
    for (;;) {
        const ssize_t n = ::read(fd_, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Failure(Why("cannot read a temporary file", errno));
        if (n == 0) break;
        WriteAll(fd, piece.data(), static_cast<std::size_t>(n), name);
    }
}

Output::Output(const std::string& path, mode_t mode) {
    struct stat st;
    if (path == "-") {
        fd_ = STDOUT_FILENO;
        name_ = "standard output";
    } else if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // Renaming a file over a device or a pipe would replace it, not write to it.
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) throw Failure(Why("cannot write " + path, errno));
        owned_ = true;
        name_ = path;
    } else {
        file_.emplace(path, mode);
        return;
    }
    spool_.emplace();
}

Output::~Output() {
    if (owned_) ::close(fd_);
}

void Output::Write(const char* data, std::size_t size) {
    if (file_) {
        file_->Write(data, size);
    } else {
        spool_->Write(data, size);
    }
}

void Output::Commit() {
    if (file_) {
        file_->Commit(true);
    } else {
        spool_->CopyTo(fd_, name_);
    }
}

bool SameDestination(const std::string& a, const std::string& b) {
    std::string dirA, baseA, dirB, baseB;
    SplitPath(a, dirA, baseA);
    SplitPath(b, dirB, baseB);
    if (baseA != baseB) return false;
    struct stat stA, stB;
    if (::stat(dirA.c_str(), &stA) != 0 || ::stat(dirB.c_str(), &stB) != 0) return dirA == dirB;
    return stA.st_dev == stB.st_dev && stA.st_ino == stB.st_ino;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace ecccrypt
