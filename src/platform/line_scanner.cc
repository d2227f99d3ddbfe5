#include "platform/line_scanner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace veskara {
namespace {

constexpr size_t kInitialBuffer = 1 << 20;
constexpr char kCtrlZ = 26;

#if defined(__GNUC__) || defined(__clang__)
#define VESKARA_BYTE_VECTORS 1
// The compiler's portable vectors, at the width of SSE2 on x86-64 and NEON
// on ARM, so that they map to single instructions.
typedef unsigned char ByteVector __attribute__((vector_size(16)));
typedef signed char MaskVector __attribute__((vector_size(16)));
constexpr size_t kWidth = sizeof(ByteVector);

bool Any(MaskVector m) {
  uint64_t w[2];
  std::memcpy(w, &m, sizeof w);
  return (w[0] | w[1]) != 0;
}

size_t Sum(ByteVector v) {
  unsigned char b[kWidth];
  std::memcpy(b, &v, kWidth);
  size_t sum = 0;
  for (unsigned char x : b) sum += x;
  return sum;
}
#endif

}  // namespace

FirstBytes::FirstBytes(std::string_view bytes) {
  for (char c : bytes) {
    unsigned char u = static_cast<unsigned char>(c);
    if (marked_[u]) continue;
    marked_[u] = true;
    if (count_ < kMaxListed) listed_[count_] = u;
    ++count_;
  }
  skipping_ = count_ <= kMaxListed;
}

size_t LineScanner::SkipLines(const FirstBytes& first) {
  if (!first.skipping_) return 0;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(data());
  const size_t limit = std::min(clean_until_, end_);  // no Ctrl-Z before it
  const size_t from = scan_;
  // Whether the line starting at j may open with a listed byte: a CR that
  // is not part of a line end is dropped and may hide the real first byte.
  auto may_open = [&](size_t j) {
    return first.marked_[b[j]] || (b[j] == '\r' && (j + 1 >= limit || b[j + 1] != '\n'));
  };
  if (from >= limit || may_open(from)) return 0;
  size_t lines = b[from] == '\n' ? 1 : 0;  // lines are counted by their LFs
  size_t i = from + 1;
#if VESKARA_BYTE_VECTORS
  ByteVector counts{};
  unsigned rounds = 0;
  // i - 1 and i + kWidth must stay below limit: each step looks at the byte
  // before and after its block.
  while (i + kWidth < limit) {
    ByteVector before;
    ByteVector here;
    ByteVector after;
    std::memcpy(&before, b + i - 1, kWidth);
    std::memcpy(&here, b + i, kWidth);
    std::memcpy(&after, b + i + 1, kWidth);
    MaskVector opens = (here == '\r') & (after != '\n');
    for (size_t k = 0; k < first.count_; ++k) opens |= here == first.listed_[k];
    if (Any(opens & (before == '\n'))) break;  // the lines from here on go one by one
    counts += reinterpret_cast<ByteVector>(here == '\n') & 1;
    if (++rounds == 255) {  // before a lane can wrap
      lines += Sum(counts);
      counts = ByteVector{};
      rounds = 0;
    }
    i += kWidth;
  }
  lines += Sum(counts);
#endif
  for (; i < limit; ++i) {
    if (b[i - 1] == '\n' && may_open(i)) {
      scan_ = i;
      lines_ += lines;
      return lines;
    }
    if (b[i] == '\n') ++lines;
  }
  // Nothing of interest before limit: skip up to the end of the last whole line.
  if (lines == 0) return 0;
  size_t end = limit;
  while (b[end - 1] != '\n') --end;
  scan_ = end;
  lines_ += lines;
  return lines;
}

LineScanner::LineScanner(std::unique_ptr<ReadableFile> file) : file_(std::move(file)), left_(file_->SizeWhenOpened()) {
  // Small files get a small buffer: a scan opens thousands of them. The
  // second buffer is only needed once a line crosses a refill.
  buffers_[0].resize(static_cast<size_t>(std::min<uint64_t>(kInitialBuffer, std::max<uint64_t>(left_ + 1, 4096))));
}

LineScanner::LineScanner(Env& env, const std::string& path) : LineScanner(env.OpenForReading(path)) {}

size_t LineScanner::Refill(size_t line_start) {
  // A buffer grows by doubling, but never beyond what the file still holds:
  // a one-line file costs about its size, not up to four times it.
  auto grown = [this](size_t size, size_t held) {
    return static_cast<size_t>(std::min<uint64_t>(uint64_t{size} * 2, std::max<uint64_t>(held + left_, size + 1)));
  };
  if (line_start > 0) {
    // The previous line lies in this buffer; the other one holds nothing
    // that is still in use.
    std::vector<char>& other = buffers_[1 - current_];
    size_t partial = end_ - line_start;
    if (other.empty()) other.resize(buffers_[current_].size());
    while (other.size() < partial || (other.size() - partial < other.size() / 2 && other.size() < partial + left_)) {
      other.resize(grown(other.size(), partial));
    }
    std::memcpy(other.data(), data() + line_start, partial);
    current_ = 1 - current_;
    scan_ -= line_start;
    end_ = partial;
    line_start = 0;
  }
  // A line that fills the buffer from its start: no returned line lies in
  // it, so it may grow in place.
  std::vector<char>& buffer = buffers_[current_];
  if (buffer.size() - end_ < buffer.size() / 2 && buffer.size() < end_ + left_) {
    buffer.resize(grown(buffer.size(), end_));
  }
  const size_t room = static_cast<size_t>(std::min<uint64_t>(buffer.size() - end_, left_));
  const size_t n = room == 0 ? 0 : file_->Read(buffer.data() + end_, room);
  if (n == 0) eof_ = true;
  left_ -= n;
  end_ += n;
  return line_start;
}

bool LineScanner::NextSlow(std::string_view* raw) {
  if (finished_) return false;
  size_t line_start = scan_;
  size_t line_end;
  for (;;) {
    if (const void* lf = std::memchr(data() + scan_, '\n', end_ - scan_)) {
      line_end = static_cast<size_t>(static_cast<const char*>(lf) - data());
      scan_ = line_end + 1;
      break;
    }
    if (end_ - line_start > most_) throw LineTooLongError(lines_ + 1, most_);
    scan_ = end_;
    if (eof_) {
      finished_ = true;
      // A last line without a line end is still a line.
      if (line_start == end_) return false;
      line_end = end_;
      break;
    }
    line_start = Refill(line_start);
  }

  if (line_end - line_start > most_) throw LineTooLongError(lines_ + 1, most_);
  const char* bytes = data();
  if (const void* found = std::memchr(bytes + line_start, kCtrlZ, line_end - line_start)) {
    size_t z = static_cast<size_t>(static_cast<const char*>(found) - bytes);
    // A Ctrl-Z that opens the line (CRs before it are dropped) ends the file;
    // otherwise it ends the line's text, and a second one in the skipped
    // rest ends the file after this line.
    size_t i = line_start;
    while (i < z && bytes[i] == '\r') ++i;
    if (i == z) {
      finished_ = true;
      clean_until_ = 0;
      return false;
    }
    if (std::memchr(bytes + z + 1, kCtrlZ, line_end - z - 1) != nullptr) finished_ = true;
    line_end = z;
  }
  if (finished_) {
    clean_until_ = 0;
  } else {
    const void* next_z = std::memchr(bytes + scan_, kCtrlZ, end_ - scan_);
    clean_until_ = next_z ? static_cast<size_t>(static_cast<const char*>(next_z) - bytes) : end_;
  }
  *raw = std::string_view(bytes + line_start, line_end - line_start);
  ++lines_;
  return true;
}

std::string_view LineText(std::string_view raw, std::string& scratch) {
  // Lines written by the program end with the CR of their CR LF.
  std::string_view body = raw;
  if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
  if (std::memchr(body.data(), '\r', body.size()) == nullptr) return body;
  scratch.clear();
  for (char c : body) {
    if (c != '\r') scratch.push_back(c);
  }
  return scratch;
}

bool LineStartsWith(std::string_view raw, std::string_view prefix, std::string& scratch) {
  size_t n = prefix.size();
  if (raw.size() >= n && std::memcmp(raw.data(), prefix.data(), n) == 0) return true;
  // Equal bytes hold no CR, so only a CR among the first bytes can make the
  // text differ from the raw bytes.
  if (std::memchr(raw.data(), '\r', std::min(n, raw.size())) == nullptr) return false;
  return LineText(raw, scratch).starts_with(prefix);
}

}  // namespace veskara
