// Reading and writing on helper threads, so that on a machine with more than one core the
// copying of data into and out of the kernel overlaps with encryption instead of adding to it.
#ifndef ECCCRYPT_PIPELINE_H
#define ECCCRYPT_PIPELINE_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "FileIo.h"

namespace ecccrypt {

using Buffer = std::vector<char>;

// Channel passes buffers from one thread to another.
class Channel {
  public:
    void Push(Buffer buffer);
    // Pop waits for a buffer; false once the channel is closed.
    bool Pop(Buffer& buffer);
    void Close();

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Buffer> queue_;
    bool closed_ = false;
};

// ReadAhead reads an input in pieces. A regular file is read by a helper thread a few pieces
// ahead; anything else (a pipe, a terminal, where a read may wait for ever) is read directly,
// so that a failing command never waits for its input.
class ReadAhead {
  public:
    ReadAhead(InputFile& in, std::size_t piece);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Next returns the next piece, empty at the end of the input. The caller may change it; it
    // stays valid until the next call. Throws the Failure of a read.
    Buffer& Next();

  private:
    void Run();

    InputFile& in_;
    std::size_t piece_;
    Buffer current_;
    Channel empty_, full_;
    std::mutex mutex_;
    std::exception_ptr error_;
    std::thread thread_;
};

// WriteBehind writes to an Output from a helper thread, a few pieces behind the caller.
class WriteBehind {
  public:
    WriteBehind(Output& out, std::size_t piece);
    // Abandons what is not written yet; the Output stays uncommitted.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Write queues a copy of |size| bytes. Throws the Failure of an earlier write.
    void Write(const char* data, std::size_t size);

    // Claim queues |size| bytes, at most a piece, for the caller to fill through the pointer it
    // returns (valid until the next call). Throws the Failure of an earlier write.
    char* Claim(std::size_t size);

    // Finish writes everything queued, then commits the Output. Throws the Failure of a write.
    void Finish();

  private:
    void Run();
    void Send();
    void Stop();
    void Rethrow();

    Output& out_;
    std::size_t piece_;
    Buffer current_;
    Channel empty_, full_;
    std::mutex mutex_;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace ecccrypt

#endif  // ECCCRYPT_PIPELINE_H
