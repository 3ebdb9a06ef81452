#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ecccrypt {
namespace {

constexpr std::size_t kReadPiece = std::size_t{1} << 20;

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

void InputFile::ReadAll(std::string& out) {
    // Read straight into the string so that the input is never held twice; a regular file's
    // size is known, so its bytes fit without the string ever growing.
    if (size_) out.reserve(out.size() + static_cast<std::size_t>(*size_));
    std::array<char, 64 * 1024> probe;
    for (;;) {
        const std::size_t room = out.capacity() - out.size();
        if (room == 0) {
            const std::size_t n = Read(probe.data(), probe.size());
            if (n == 0) return;
            out.append(probe.data(), n);
            continue;
        }
        const std::size_t size = out.size();
        const std::size_t want = std::min(room, kReadPiece);
        out.resize(size + want);
        const std::size_t n = Read(&out[size], want);
        out.resize(size + n);
        if (n == 0) return;
    }
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
        volatile char* p = &content[0];
        for (std::size_t i = 0; i < size; ++i) p[i] = 0;
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

Output::Output(const std::string& path, mode_t mode) {
    if (path != "-") file_.emplace(path, mode);
}

void Output::Write(const char* data, std::size_t size) {
    if (file_) {
        file_->Write(data, size);
    } else {
        WriteAll(STDOUT_FILENO, data, size, "standard output");
    }
}

void Output::Commit() {
    if (file_) file_->Commit(true);
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
