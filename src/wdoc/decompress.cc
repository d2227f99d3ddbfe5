#include "wdoc/decompress.h"

#include <bzlib.h>
#include <errno.h>
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>

#include <functional>

#include "wdoc/zip_reader.h"
#include "wpdf/wpdf.h"

namespace veskara::wdoc {
namespace {

constexpr size_t kPiece = 64 * 1024;

// What one decoder call did with its input.
struct Step {
  size_t consumed = 0;
  size_t produced = 0;
  bool stream_end = false;  // one stream ended; another may follow
  bool failed = false;
};

// One decoder: Run takes input and room for output; Restart begins the next
// of concatenated streams.
struct Decoder {
  std::function<Step(const char* in, size_t in_size, char* out, size_t out_size, bool finish)> run;
  std::function<bool()> restart;
};

// Feeds the descriptor's bytes to the decoder, checking the limits as the
// output grows. After a stream, another follows only when the next byte is
// `magic` (a gzip or bzip2 header); anything else (the zeros that pad a tape
// archive) ends the data.
DecompressStatus Pump(int fd, Decoder& decoder, char magic, std::string* out) {
  std::string input;
  size_t at = 0;
  bool eof = false;
  bool ended = false;  // a stream ended and no other began
  uint64_t compressed = 0;
  char room[kPiece];
  for (;;) {
    if (at == input.size() && !eof) {
      input.resize(kPiece);
      at = 0;
      ssize_t n;
      do {
        n = read(fd, input.data(), input.size());
      } while (n < 0 && errno == EINTR);
      if (n < 0) return DecompressStatus::kCannotRead;
      input.resize(static_cast<size_t>(n));
      compressed += static_cast<uint64_t>(n);
      eof = n == 0;
    }
    if (ended) {
      if (at == input.size()) {
        if (eof) return DecompressStatus::kOk;
        continue;
      }
      if (input[at] != magic) return DecompressStatus::kOk;
      if (!decoder.restart()) return DecompressStatus::kDamaged;
      ended = false;
    }
    const Step step = decoder.run(input.data() + at, input.size() - at, room, sizeof room, eof);
    if (step.failed) return DecompressStatus::kDamaged;
    at += step.consumed;
    out->append(room, step.produced);
    if (IsBomb(out->size(), compressed)) {
      return DecompressStatus::kTooLarge;
    }
    if (step.stream_end) {
      ended = true;
    } else if (step.consumed == 0 && step.produced == 0 && (eof || at < input.size())) {
      return DecompressStatus::kDamaged;  // cut short, or stuck
    }
  }
}

DecompressStatus Gunzip(int fd, std::string* out) {
  z_stream z{};
  // 32: a gzip or zlib header, told apart by the decoder.
  if (inflateInit2(&z, 15 + 32) != Z_OK) return DecompressStatus::kDamaged;
  Decoder decoder;
  decoder.run = [&z](const char* in, size_t in_size, char* room, size_t room_size, bool) {
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    z.avail_in = static_cast<uInt>(in_size);
    z.next_out = reinterpret_cast<Bytef*>(room);
    z.avail_out = static_cast<uInt>(room_size);
    const int result = inflate(&z, Z_NO_FLUSH);
    Step step;
    step.consumed = in_size - z.avail_in;
    step.produced = room_size - z.avail_out;
    step.stream_end = result == Z_STREAM_END;
    step.failed = result != Z_OK && result != Z_STREAM_END && !(result == Z_BUF_ERROR && in_size == 0);
    return step;
  };
  decoder.restart = [&z] { return inflateReset(&z) == Z_OK; };
  const DecompressStatus status = Pump(fd, decoder, '\x1f', out);
  inflateEnd(&z);
  return status;
}

DecompressStatus Bunzip(int fd, std::string* out) {
  bz_stream b{};
  if (BZ2_bzDecompressInit(&b, 0, 0) != BZ_OK) return DecompressStatus::kDamaged;
  Decoder decoder;
  decoder.run = [&b](const char* in, size_t in_size, char* room, size_t room_size, bool) {
    b.next_in = const_cast<char*>(in);
    b.avail_in = static_cast<unsigned>(in_size);
    b.next_out = room;
    b.avail_out = static_cast<unsigned>(room_size);
    const int result = BZ2_bzDecompress(&b);
    Step step;
    step.consumed = in_size - b.avail_in;
    step.produced = room_size - b.avail_out;
    step.stream_end = result == BZ_STREAM_END;
    step.failed = result != BZ_OK && result != BZ_STREAM_END;
    return step;
  };
  decoder.restart = [&b] {
    BZ2_bzDecompressEnd(&b);
    b = bz_stream{};
    return BZ2_bzDecompressInit(&b, 0, 0) == BZ_OK;
  };
  const DecompressStatus status = Pump(fd, decoder, 'B', out);
  BZ2_bzDecompressEnd(&b);
  return status;
}

DecompressStatus Unxz(int fd, std::string* out) {
  lzma_stream x = LZMA_STREAM_INIT;
  // The decoder's own memory stays within what an entry may inflate to.
  if (lzma_stream_decoder(&x, kMostEntryBytes, LZMA_CONCATENATED) != LZMA_OK) return DecompressStatus::kDamaged;
  Decoder decoder;
  decoder.run = [&x](const char* in, size_t in_size, char* room, size_t room_size, bool finish) {
    x.next_in = reinterpret_cast<const uint8_t*>(in);
    x.avail_in = in_size;
    x.next_out = reinterpret_cast<uint8_t*>(room);
    x.avail_out = room_size;
    const lzma_ret result = lzma_code(&x, finish ? LZMA_FINISH : LZMA_RUN);
    Step step;
    step.consumed = in_size - x.avail_in;
    step.produced = room_size - x.avail_out;
    step.stream_end = result == LZMA_STREAM_END;
    step.failed = result != LZMA_OK && result != LZMA_STREAM_END && !(result == LZMA_BUF_ERROR && !finish);
    return step;
  };
  // LZMA_CONCATENATED reads every stream and its padding by itself.
  decoder.restart = [] { return false; };
  const DecompressStatus status = Pump(fd, decoder, '\0', out);
  lzma_end(&x);
  return status;
}

}  // namespace

DecompressStatus Decompress(int fd, int compression, std::string* out) {
  out->clear();
  switch (compression) {
    case kWpdfGzip:
      return Gunzip(fd, out);
    case kWpdfBzip2:
      return Bunzip(fd, out);
    case kWpdfXz:
      return Unxz(fd, out);
    default:
      return DecompressStatus::kDamaged;
  }
}

}  // namespace veskara::wdoc
