#include "io/string_separator.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/encoding.h"

namespace mw {
namespace {

locale_t ClassicLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int ParseInt(const char* text) {
  // Plain decimal of up to nine digits: the result cannot overflow, so it is what atoi gives.
  const char* p = text;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  if (IsDigit(*p)) {
    int value = 0;
    int digits = 0;
    while (IsDigit(*p) && digits < 9) {
      value = value * 10 + (*p++ - '0');
      ++digits;
    }
    if (!IsDigit(*p)) return negative ? -value : value;
  }
  // glibc's atoi is (int) strtol; leading white space, longer numbers and overflow go this way.
  return static_cast<int>(strtol_l(text, nullptr, 10, ClassicLocale()));
}

double ParseDouble(const char* text) { return ParseDouble(text, std::strlen(text)); }

double ParseDouble(const char* text, std::size_t length) {
  // Short plain decimals ("-12.500000"): the digits form an integer below 2^53 and the power of ten
  // is exact, so one division gives the correctly rounded value, which is what strtod returns.
  {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    bool any = false;
    while (IsDigit(*p) && digits < 16) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
      ++digits;
      any = true;
    }
    if (*p == '.') {
      ++p;
      while (IsDigit(*p) && digits < 16) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
        ++digits;
        ++fraction;
        any = true;
      }
    }
    // What could still extend the number for strtod: more digits, an exponent, a hexadecimal "0x".
    if (any && digits <= 15 && !IsDigit(*p) && *p != 'e' && *p != 'E' && *p != '.' && *p != 'x' && *p != 'X') {
      const double value = static_cast<double>(mantissa) / kPow10[fraction];
      return negative ? -value : value;
    }
  }
  // from_chars gives the correctly rounded value, as strtod does, for plain decimal input. Anything
  // else (white space, '+', hexadecimal, inf/nan, out of range) is left to strtod itself.
  const char* p = text;
  if (*p == '-') ++p;
  if (IsDigit(*p) || (*p == '.' && IsDigit(p[1]))) {
    const bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (!hex) {
      double value = 0.0;
      const char* end = text + length;
      auto r = std::from_chars(text, end, value, std::chars_format::general);
      if (r.ec == std::errc()) return value;
    }
  }
  return strtod_l(text, nullptr, ClassicLocale());
}

namespace {
enum ByteClass : unsigned char { kPlain, kLead, kEnd, kSpace, kQuote, kSeparator };
}

StringSeparator::StringSeparator() {
  std::memset(separators_, 0, sizeof separators_);
  for (char c : {'(', ')', ',', ':', ';', '=', '[', ']', '{', '}'}) separators_[static_cast<unsigned char>(c)] = 1;
  arena_.resize(1);
  BuildClasses();
}

void StringSeparator::BuildClasses() {
  // The order of the tests in the scan: lead bytes first, then line ends, white space, the quote,
  // separators.
  for (int c = 0; c < 256; ++c) {
    unsigned char k = kPlain;
    if (cp932_ && IsCp932LeadByte(static_cast<unsigned char>(c))) k = kLead;
    else if (c == 0 || c == '\n' || c == '\r') k = kEnd;
    else if (c == '\t' || c == ' ') k = kSpace;
    else if (c == static_cast<unsigned char>(quote_)) k = kQuote;
    else if (c < 128 && separators_[c]) k = kSeparator;
    classes_[c] = k;
  }
}

void StringSeparator::SetToken(int i, const char* text) {
  if (i < 0) return;
  const auto slot = static_cast<std::size_t>(i);
  std::vector<std::string> all;
  for (std::size_t k = 0; k + 1 < offsets_.size(); ++k) all.emplace_back(GetToken(static_cast<int>(k)));
  if (slot >= all.size()) all.resize(slot + 1);
  all[slot] = text;
  arena_.clear();
  offsets_.assign(1, 0);
  for (const std::string& t : all) {
    arena_.insert(arena_.end(), t.begin(), t.end());
    arena_.push_back('\0');
    offsets_.push_back(arena_.size());
  }
  if (arena_.empty()) arena_.resize(1);
}

int StringSeparator::Split(const char* line) { return Split(line, std::strlen(line)); }

int StringSeparator::Split(const char* line, std::size_t length) {
  // Every token is one contiguous run of the line (quoted text included, without its quotes), so
  // the scan only finds where each starts and ends and copies it once. Tokens and their NULs never
  // take more than twice the line's length.
  if (arena_.size() < 2 * length + 1) arena_.resize(2 * length + 1);
  // The offsets grow with the tokens found: sized for the worst case (a token per byte), a long
  // line would cost eight bytes per byte however few tokens it has.
  if (offsets_.size() < std::min<std::size_t>(length, 8190) + 2) offsets_.resize(std::min<std::size_t>(length, 8190) + 2);
  char* out = arena_.data();
  std::size_t* offset = offsets_.data();
  std::size_t room = offsets_.size();
  std::size_t tokens = 0;
  offset[0] = 0;
  auto emit = [&](const char* from, const char* to) {
    const auto n = static_cast<std::size_t>(to - from);
    std::memcpy(out, from, n);
    out[n] = '\0';
    out += n + 1;
    if (tokens + 2 > room) {
      offsets_.resize(std::min(room * 2, length + 2));
      offset = offsets_.data();
      room = offsets_.size();
    }
    offset[++tokens] = static_cast<std::size_t>(out - arena_.data());
  };
  const unsigned char* cls = classes_;
  const char* p = line;
  const char* const end = line + length;
  const char* start = nullptr;  // start of the current token, or null when there is none
  bool quoted = false;
  while (p < end) {
    const unsigned char k = cls[static_cast<unsigned char>(*p)];
    if (k == kPlain) {
      if (!start) start = p;
      ++p;
      continue;
    }
    if (k == kLead) {
      if (!start) start = p;
      // A lead byte at the very end keeps its place in the token; its missing trail is not read.
      if (p + 1 < end && p[1] != '\0') {
        p += 2;
        continue;
      }
      ++p;
      break;
    }
    if (k == kEnd) break;
    if (quoted) {
      if (k == kQuote) {
        emit(start, p);  // even when empty
        start = nullptr;
        quoted = false;
      }
      ++p;
      continue;
    }
    if (start) emit(start, p);
    start = nullptr;
    if (k == kQuote) {
      quoted = true;
      start = p + 1;
    } else if (k == kSeparator) {
      emit(p, p + 1);
    }
    ++p;
  }
  // An unterminated quote or a token running to the end of the line: kept when not empty.
  if (start && p > start) emit(start, p);
  offsets_.resize(tokens + 1);
  count_ = static_cast<int>(tokens);
  return count_;
}

namespace {
bool SameWord(const char* a, std::size_t length, const char* word) {
  for (std::size_t i = 0; i < length; ++i) {
    char x = a[i], y = word[i];
    if (y == '\0') return false;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return word[length] == '\0';
}
}  // namespace

bool StringSeparator::IsCommand(const char* word, int minCount) const {
  return count_ >= minCount && count_ >= 1 && SameWord(GetToken(0), TokenLength(0), word);
}

bool StringSeparator::IsToken(int i, const char* word) const {
  return i >= 0 && i < count_ && SameWord(GetToken(i), TokenLength(i), word);
}

int StringSeparator::GetInt(int i) const { return (i >= 0 && i < count_) ? ParseInt(GetToken(i)) : 0; }

double StringSeparator::GetDouble(int i) const {
  return (i >= 0 && i < count_) ? ParseDouble(GetToken(i), TokenLength(i)) : 0.0;
}

void StringSeparator::GetSeparators(char out[128]) const { std::memcpy(out, separators_, 128); }
void StringSeparator::SetSeparators(const char in[128]) {
  std::memcpy(separators_, in, 128);
  BuildClasses();
}

int FileStringSeparator::ReadLine() {
  if (count_ == -1) return -1;
  std::vector<char> line;
  line.reserve(4096);
  int c = std::fgetc(file_);
  if (c == EOF) {
    count_ = -1;
    return -1;
  }
  while (c != EOF) {
    if (c == '\n') break;
    if (c == '\r') {
      long pos = std::ftell(file_);
      int next = std::fgetc(file_);
      if (next != '\n' && next != EOF) {
        if (pos < 0 || std::fseek(file_, pos, SEEK_SET) != 0) std::ungetc(next, file_);
      }
      break;
    }
    line.push_back(static_cast<char>(c));
    if (IsCp932LeadByte(static_cast<unsigned char>(c))) {
      int trail = std::fgetc(file_);
      if (trail == EOF) break;
      line.push_back(static_cast<char>(trail));
    }
    c = std::fgetc(file_);
  }
  // The trail byte of a double-byte character may be a CR or LF; Split keeps it with its lead.
  return Split(line.data(), line.size());
}

AsciiFileString::~AsciiFileString() { std::free(line_); }

int AsciiFileString::ReadLine() {
  if (count_ == -1) return -1;
  // Whole lines are read at once; they are delivered in the 8190-byte pieces a fixed-size line
  // reader would give, so long lines split exactly as they always have.
  if (offset_ >= length_) {
    const ssize_t n = getline(&line_, &capacity_, file_);
    if (n <= 0) {
      length_ = offset_ = 0;
      count_ = -1;
      return -1;
    }
    length_ = static_cast<std::size_t>(n);
    offset_ = 0;
    // Whole, up to what a token count can number.
    pieceLimit_ = wholeLines_ ? std::min<std::size_t>(length_, std::size_t{1} << 30) : 8190;
    ++lineNumber_;
  }
  const std::size_t piece = std::min<std::size_t>(pieceLimit_, length_ - offset_);
  const char* start = line_ + offset_;
  offset_ += piece;
  if (beforeFirstHighByte) {
    // Eight bytes at a time: this runs over every line of a plain ASCII document.
    std::uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 8 <= piece; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, start + i, 8);
      bits |= w;
    }
    for (; i < piece; ++i) bits |= static_cast<unsigned char>(start[i]);
    if (bits & 0x8080808080808080ull) {
      const std::function<void()> call = std::move(beforeFirstHighByte);
      beforeFirstHighByte = nullptr;
      call();
    }
  }
  return Split(start, piece);
}

long AsciiFileString::LineStart() const {
  const long position = std::ftell(file_);
  return position < 0 ? position : position - static_cast<long>(length_);
}

long AsciiFileString::Tell() const {
  const long position = std::ftell(file_);
  return position < 0 ? position : position - static_cast<long>(length_ - offset_);
}

bool AsciiFileString::Seek(long position) {
  offset_ = length_;
  return std::fseek(file_, position, SEEK_SET) == 0;
}

}  // namespace mw
