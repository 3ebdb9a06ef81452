#include "Crypt.h"

#include <eccencryption/EccStream.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "Pipeline.h"
#include "TextInput.h"

namespace ecccrypt {
namespace {

using Status = EccEncryption::Status;

// Pieces small enough that the read, the masking and the write of one stay in the cache.
constexpr std::size_t kPiece = 256 * 1024;
constexpr std::size_t kTagSize = EccEncryption::StreamEncryptor::kTagSize;
// Inputs of at least this size show progress by themselves when standard error is a terminal.
constexpr std::uint64_t kAutoProgress = std::uint64_t{256} << 20;

unsigned char* Bytes(char* p) {
    return reinterpret_cast<unsigned char*>(p);
}

void Check(Status status) {
    if (status != Status::Ok) throw Failure(EccEncryption::StatusText(status));
}

// Progress shows, on a terminal only, how much of the input has been processed: one line,
// rewritten at most five times a second and ended when the object goes away.
class Progress {
  public:
    Progress(const char* verb, std::optional<std::uint64_t> total, bool asked)
        : verb_(verb),
          total_(total),
          on_(::isatty(STDERR_FILENO) == 1 && (asked || (total && *total >= kAutoProgress))) {}
    ~Progress() {
        if (!shown_) return;
        Print();
        std::fputc('\n', stderr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Add(std::size_t n) {
        done_ += n;
        if (!on_) return;
        const auto now = Clock::now();
        if (shown_ && now - printed_ < std::chrono::milliseconds(200)) return;
        printed_ = now;
        Print();
    }

  private:
    using Clock = std::chrono::steady_clock;

    void Print() {
        shown_ = true;
        const double mib = 1024.0 * 1024.0;
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        const double rate = seconds > 0 ? static_cast<double>(done_) / mib / seconds : 0;
        if (total_ && *total_ > 0) {
            std::fprintf(stderr, "\recc-crypt: %s %.1f of %.1f MiB (%d%%), %.0f MiB/s\033[K", verb_,
                         static_cast<double>(done_) / mib, static_cast<double>(*total_) / mib,
                         static_cast<int>(100 * done_ / *total_), rate);
        } else {
            std::fprintf(stderr, "\recc-crypt: %s %.1f MiB, %.0f MiB/s\033[K", verb_,
                         static_cast<double>(done_) / mib, rate);
        }
    }

    const char* verb_;
    std::optional<std::uint64_t> total_;
    bool on_;
    bool shown_ = false;
    std::uint64_t done_ = 0;
    Clock::time_point start_ = Clock::now();
    Clock::time_point printed_;
};

// HexWriter writes bytes as upper-case hex text, two digits per byte from a table.
class HexWriter {
  public:
    explicit HexWriter(WriteBehind& out) : out_(out) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        for (unsigned b = 0; b < 256; ++b) {
            pairs_[b][0] = kDigits[b >> 4];
            pairs_[b][1] = kDigits[b & 0x0f];
        }
    }

    void Write(const unsigned char* data, std::size_t size) {
        while (size > 0) {
            const std::size_t n = std::min(size, kPiece);
            char* text = out_.Claim(2 * n);
            for (std::size_t i = 0; i < n; ++i) std::memcpy(text + 2 * i, pairs_[data[i]], 2);
            data += n;
            size -= n;
        }
    }

  private:
    WriteBehind& out_;
    char pairs_[256][2];
};

}  // namespace

void EncryptStream(const std::string& publicKey, InputFile& in, Output& out,
                   const CryptOptions& options) {
    EccEncryption::StreamEncryptor encryptor;
    std::string point;
    Check(encryptor.Start(publicKey, point));
    ReadAhead reader(in, kPiece);
    WriteBehind writer(out, options.binary ? kPiece : 2 * kPiece);
    HexWriter hex(writer);
    auto write = [&](const unsigned char* data, std::size_t size) {
        if (options.binary) {
            writer.Write(reinterpret_cast<const char*>(data), size);
        } else {
            hex.Write(data, size);
        }
    };
    write(Bytes(&point[0]), point.size());

    Progress progress("encrypting", in.SizeHint(), options.progress);
    for (;;) {
        Buffer& piece = reader.Next();
        if (piece.empty()) break;
        auto* data = Bytes(piece.data());
        if (options.binary) {
            // Straight into the output's buffer: one pass over the data, no copy.
            Check(encryptor.Update(data, piece.size(), Bytes(writer.Claim(piece.size()))));
        } else {
            Check(encryptor.Update(data, piece.size(), data));
            hex.Write(data, piece.size());
        }
        progress.Add(piece.size());
    }
    unsigned char tag[kTagSize];
    Check(encryptor.Finish(tag));
    write(tag, sizeof tag);
    if (!options.binary) writer.Write("\n", 1);
    writer.Finish();
}

void DecryptStream(const std::string& privateKey, InputFile& in, Output& out,
                   const CryptOptions& options) {
    EccEncryption::StreamDecryptor decryptor;
    Check(decryptor.SetKey(privateKey));
    const std::size_t pointSize = decryptor.PointSize();

    // |pending| holds the decoded ciphertext bytes not yet used. The last kTagSize of them may
    // be the tag, so they are kept back until the input ends. Decryption starts once the
    // point and a tag's worth of bytes have arrived (a shorter ciphertext is "too short", as
    // in the library); when the point is invalid, the rest of the input is still read, so that
    // an error in the text takes precedence as it does for the one-shot operation.
    std::string pending;
    CiphertextTextReader reader;
    ReadAhead input(in, kPiece);
    // |pending| holds at most a piece and a tag.
    WriteBehind writer(out, kPiece + kTagSize);
    Progress progress("decrypting", in.SizeHint(), options.progress);
    bool started = false;
    Status status = Status::Ok;
    for (;;) {
        const Buffer& piece = input.Next();
        if (piece.empty()) break;
        progress.Add(piece.size());
        if (options.binary) {
            pending.append(piece.data(), piece.size());
        } else if (!reader.Feed(std::string_view(piece.data(), piece.size()), pending)) {
            throw Failure(reader.Error());
        }
        if (!started && pending.size() >= pointSize + kTagSize) {
            started = true;
            status = decryptor.Start(Bytes(&pending[0]), pointSize);
            pending.erase(0, pointSize);
        }
        if (started && pending.size() > kTagSize) {
            const std::size_t masked = pending.size() - kTagSize;
            if (status == Status::Ok) {
                status = decryptor.Update(Bytes(&pending[0]), masked, Bytes(writer.Claim(masked)));
            }
            pending.erase(0, masked);
        }
    }
    if (!options.binary && !reader.Finish()) throw Failure(reader.Error());
    if (!started) Check(Status::CiphertextTooShort);
    Check(status);
    Check(decryptor.Finish(Bytes(&pending[0]), pending.size()));
    writer.Finish();
}

}  // namespace ecccrypt
