#include "Pipeline.h"

#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <utility>

namespace ecccrypt {
namespace {

// Pieces in flight between the caller and a helper thread.
constexpr int kDepth = 4;

// Starts |run| on a thread that leaves the signals the tool handles to the main thread, whose
// handler removes the temporary files.
template <typename Run>
std::thread StartHelper(Run run) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread thread(std::move(run));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

}  // namespace

void Channel::Push(Buffer buffer) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(buffer));
    }
    ready_.notify_one();
}

bool Channel::Pop(Buffer& buffer) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !queue_.empty() || closed_; });
    if (closed_) return false;
    buffer = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void Channel::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    ready_.notify_all();
}

ReadAhead::ReadAhead(InputFile& in, std::size_t piece) : in_(in), piece_(piece) {
    if (!in.SizeHint()) return;
    for (int i = 0; i < kDepth; ++i) empty_.Push(Buffer());
    thread_ = StartHelper([this] { Run(); });
}

ReadAhead::~ReadAhead() {
    if (!thread_.joinable()) return;
    empty_.Close();
    full_.Close();
    thread_.join();
}

void ReadAhead::Run() {
    Buffer buffer;
    while (empty_.Pop(buffer)) {
        try {
            buffer.resize(piece_);
            buffer.resize(in_.ReadFull(buffer.data(), buffer.size()));
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::current_exception();
            full_.Close();
            return;
        }
        const bool end = buffer.empty();
        full_.Push(std::move(buffer));
        if (end) return;
    }
}

Buffer& ReadAhead::Next() {
    if (!thread_.joinable()) {
        current_.resize(piece_);
        current_.resize(in_.ReadFull(current_.data(), current_.size()));
        return current_;
    }
    if (current_.capacity() != 0) empty_.Push(std::move(current_));
    current_ = Buffer();
    if (!full_.Pop(current_)) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (error_) std::rethrow_exception(error_);
    }
    return current_;
}

WriteBehind::WriteBehind(Output& out, std::size_t piece) : out_(out), piece_(piece) {
    for (int i = 0; i < kDepth; ++i) empty_.Push(Buffer());
    current_.reserve(piece_);
    thread_ = StartHelper([this] { Run(); });
}

WriteBehind::~WriteBehind() {
    Stop();
}

void WriteBehind::Stop() {
    if (!thread_.joinable()) return;
    empty_.Close();
    full_.Close();
    thread_.join();
}

void WriteBehind::Run() {
    Buffer buffer;
    while (full_.Pop(buffer)) {
        if (buffer.empty()) return;  // the end: everything before it is written
        try {
            out_.Write(buffer.data(), buffer.size());
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::current_exception();
            empty_.Close();
            return;
        }
        buffer.clear();
        empty_.Push(std::move(buffer));
    }
}

void WriteBehind::Rethrow() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (error_) std::rethrow_exception(error_);
}

void WriteBehind::Send() {
    full_.Push(std::move(current_));
    current_ = Buffer();
    if (!empty_.Pop(current_)) Rethrow();
    current_.reserve(piece_);
}

void WriteBehind::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t n = std::min(size, piece_);
        std::memcpy(Claim(n), data, n);
        data += n;
        size -= n;
    }
}

char* WriteBehind::Claim(std::size_t size) {
    if (current_.size() + size > piece_) Send();
    const std::size_t at = current_.size();
    current_.resize(at + size);
    return current_.data() + at;
}

void WriteBehind::Finish() {
    if (!current_.empty()) Send();
    full_.Push(Buffer());  // the end
    thread_.join();
    Rethrow();
    out_.Commit();
}

}  // namespace ecccrypt
