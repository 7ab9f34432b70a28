#include "filter/precheck.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "filter/errstp.h"
#include "filter/files.h"

namespace {

// A file read forward through a window of fixed size, so that a header of
// any length costs the same memory.  Nothing here comes from the heap: the
// library reads memory that it never set on some damaged files, and what
// it finds there should be what it finds when it runs alone.
class File {
 public:
  explicit File(const char* path) : fd_(open(path, O_RDONLY)) {
    if (fd_ < 0)
      return;
    size_ = lseek(fd_, 0, SEEK_END);
    void* p = mmap(nullptr, WINDOW, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    window_ = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
  }
  ~File() {
    if (window_)
      munmap(window_, WINDOW);
    if (fd_ >= 0)
      close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool ok() const { return fd_ >= 0 && size_ >= 0 && window_; }
  int64_t size() const { return size_; }
  // The bytes from `pos` on, at most `n` and never past the end.
  std::string_view at(int64_t pos, size_t n) {
    if (pos < 0 || pos >= size_)
      return {};
    n = size_t(std::min<int64_t>(int64_t(n), size_ - pos));
    if (pos < start_ || pos + int64_t(n) > start_ + int64_t(length_)) {
      ssize_t got = pread(fd_, window_, WINDOW, pos);
      start_ = pos;
      length_ = got > 0 ? size_t(got) : 0;
      n = std::min(n, length_);
    }
    return {window_ + (pos - start_), n};
  }

 private:
  static constexpr size_t WINDOW = 1 << 18;
  int fd_;
  int64_t size_ = -1;
  char* window_ = nullptr;
  int64_t start_ = 0;
  size_t length_ = 0;
};

// The byte order of integers, from the four bytes of a machine stamp as the
// library reads them: big-endian when the integer nibble says so, native
// (little-endian here) when either nibble is 0 or NATIVEMTZ is set.  With
// CONVERT_FROM the library takes the order from there: not followed.
enum Order { LITTLE, BIG, UNKNOWN };

Order byte_order(std::string_view stamp) {
  if (std::getenv("NATIVEMTZ"))
    return LITTLE;
  if (std::getenv("CONVERT_FROM"))
    return UNKNOWN;
  unsigned floats = static_cast<unsigned char>(stamp[0]) >> 4,
           integers = static_cast<unsigned char>(stamp[1]) >> 4;
  return floats != 0 && integers == 1 ? BIG : LITTLE;
}

int64_t word_at(std::string_view b, size_t offset, bool big_endian, size_t bytes = 4) {
  uint64_t w = 0;
  for (size_t i = 0; i < bytes; ++i) {
    size_t at = big_endian ? offset + i : offset + bytes - 1 - i;
    w = w << 8 | static_cast<unsigned char>(b[at]);
  }
  return bytes == 4 ? int64_t(int32_t(uint32_t(w))) : int64_t(w);
}

void map_fault(const std::string& what) { ERRSTP("MSKIN header damaged: " + what); }

}  // namespace

int64_t check_mask_file() {
  File file(logical_file("MSKIN"));
  std::string_view h = file.ok() ? file.at(0, 1024) : std::string_view();
  if (h.size() < 1024)
    return 0;
  Order order = byte_order(h.substr(212, 4));
  if (order == UNKNOWN)
    return 0;
  bool big_endian = order == BIG;
  // The library reads every label that the count promises, past the end
  // of the file too, with a notice for each: a count of -1 never ends.
  int64_t labels = word_at(h, 220, big_endian);
  if (labels < 0)
    map_fault("label count " + std::to_string(labels));
  // The sections start after the symmetry records: a negative length would
  // read header bytes as the mask.
  int64_t symmetry = word_at(h, 92, big_endian);
  if (symmetry < 0)
    map_fault("symmetry record of " + std::to_string(symmetry) + " bytes");
  return 0;
}

namespace {

constexpr size_t RECORD = 80;

// What the library's parser makes of an 80-byte header record, where that
// is certain: its words up to a comment, blanks, tabs, commas and '='
// between them.  Quotes, a word read as a command file, empty words
// between two commas and more than 20 words are not followed.
struct Record {
  std::string_view text;
  bool plain = true;
  bool command_file = false;
  std::array<std::string_view, 20> words;
  size_t count = 0;

  explicit Record(const char* record) {
    const size_t n = strnlen(record, RECORD);
    size_t len = 0;
    while (len < n && record[len] != '!' && record[len] != '#')
      ++len;
    text = {record, len};
    size_t first = 0;
    while (first < len && delimiter(text[first]))
      ++first;
    command_file = first < len && (text[first] == '@' || quote(text[first]));
    plain = !command_file;
    for (size_t i = 0; plain && i < len; ++i)
      if (quote(text[i]) ||
          (empty_word_mark(text[i]) && i + 1 < len && empty_word_mark(text[i + 1])))
        plain = false;
    for (size_t i = first; plain && i < len;) {
      size_t begin = i;
      while (i < len && !delimiter(text[i]))
        ++i;
      if (count == words.size()) {
        plain = false;
        break;
      }
      words[count++] = text.substr(begin, i - begin);
      while (i < len && delimiter(text[i]))
        ++i;
    }
  }

  static bool delimiter(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '=' || c == '\r';
  }
  static bool quote(char c) { return c == '\'' || c == '"'; }
  // Two of these in a row make an empty word between them.
  static bool empty_word_mark(char c) { return c == ',' || c == '='; }

  // A last word "&", "\" or "-" makes the parser read on from standard
  // input, which the run gives it empty: the record then has no keyword.
  bool continued() const {
    std::string_view last = count ? words[count - 1] : "";
    return last == "&" || last == "\\" || last == "-";
  }

  // The parser's keyword is the first word's first four characters in upper
  // case; a key matches a keyword of its own length (at most four).
  bool is(std::string_view key) const {
    if (count == 0 || continued() || std::min<size_t>(words[0].size(), 4) != key.size())
      return false;
    for (size_t i = 0; i < key.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(words[0][i])) != key[i])
        return false;
    return true;
  }

  // Whether the record may have this keyword: certain for a plain record;
  // otherwise it may if the letters stand anywhere in it.
  bool may_be(std::string_view key) const {
    if (plain)
      return is(key);
    if (command_file)
      return true;
    for (size_t i = 0; i + key.size() <= text.size(); ++i)
      if (strncasecmp(text.data() + i, key.data(), key.size()) == 0)
        return true;
    return false;
  }

  // The integer value of word n: plain digits, or 0 for a word without a
  // digit, which is no number, and for a missing word, as the parser leaves
  // them; -1 for any other word.
  int64_t number(size_t n) const {
    if (n >= count)
      return 0;
    std::string_view w = words[n];
    if (w.find_first_of("0123456789") == w.npos)
      return 0;
    if (w.size() > 9 || w.find_first_not_of("0123456789") != w.npos)
      return -1;
    int64_t value = 0;
    for (char c : w)
      value = value * 10 + (c - '0');
    return value;
  }
};

// READS: the library reads the header to its end; DAMAGED: it reads past
// the end of the file for ever, or header bytes as data; UNSURE: it fails
// by itself, or what it does is not followed here.
enum Outcome { READS, DAMAGED, UNSURE };

// The library's reading of an MTZ header, step by step: 80-byte records
// into one buffer; at the end of the file a read leaves the buffer as it
// was, and every later read reads nothing.
class HeaderReading {
 public:
  HeaderReading(File& file, int64_t header) : file_(file), header_(header) {
    // What the buffer holds from reading the file's stamp.
    std::memcpy(buffer_, "MTZ ", 4);
  }

  // The main header's length, up to its END record, once known.
  int64_t main_bytes = 0;

  Outcome read() {
    Outcome o = first_pass();
    // The reflections that NCOL promises must end before the header, or
    // the library reads header bytes as reflections; and reflections of no
    // columns carry none of the file's values.
    if (reflections_ > 0 && columns_ >= 0 &&
        (columns_ == 0 || 80 + reflections_ * columns_ * 4 > header_))
      return DAMAGED;
    bool found = find_raw_end();
    if (o != READS || !found || columns_ < 0 || reflections_ < 0 || batches_ < 0)
      return o == DAMAGED ? o : UNSURE;
    return tail();
  }

 private:
  File& file_;
  int64_t header_, pos_ = 0;
  char buffer_[RECORD + 1] = {};
  int64_t columns_ = -1, reflections_ = -1, batches_ = -1;

  bool at_end() const { return pos_ >= file_.size(); }

  void read_record() {
    std::string_view b = file_.at(pos_, RECORD);
    if (!b.empty())
      std::memcpy(buffer_, b.data(), b.size());
    pos_ = b.size() < RECORD ? file_.size() : pos_ + int64_t(RECORD);
  }

  void skip(int64_t bytes) { pos_ = std::min(pos_ + bytes, file_.size()); }

  // Until a record whose keyword is END; nothing stops it at the end of the
  // file.  NCOL gives the columns, reflections and batches.  Past a record
  // whose keyword is not certain, the reading goes on only to learn NCOL.
  Outcome first_pass() {
    bool unsure = false;
    pos_ = header_;
    for (;;) {
      bool stuck = at_end();
      read_record();
      Record r(buffer_);
      if (r.plain && r.is("END"))
        return unsure ? UNSURE : READS;
      if (stuck)
        return unsure ? UNSURE : DAMAGED;
      unsure = unsure || r.may_be("END");
      if (r.may_be("NCOL")) {
        columns_ = r.plain ? r.number(1) : -1;
        reflections_ = r.plain ? r.number(2) : -1;
        batches_ = r.plain ? r.number(3) : -1;
      }
    }
  }

  // The later passes end at the first record that begins with END, and
  // the rest of the header follows it.
  bool find_raw_end() {
    for (pos_ = header_; pos_ + int64_t(RECORD) <= file_.size();) {
      read_record();
      if (std::strncmp(buffer_, "END", 3) == 0) {
        main_bytes = pos_ - header_;
        return true;
      }
    }
    return false;
  }

  // History and batch headers until MTZENDOFHEADERS; nothing stops it at
  // the end of the file either.
  Outcome tail() {
    for (;;) {
      bool stuck = at_end();
      read_record();
      Record r(buffer_);
      if (r.may_be("MTZE"))
        return r.plain ? READS : UNSURE;
      if (!r.plain && (r.may_be("MTZH") || r.may_be("MTZB")))
        return UNSURE;
      if (r.is("MTZB") && batches_ > 0) {
        // Its first batch would find no BH record: the library gives up.
        if (stuck)
          return UNSURE;
        Outcome o = batch_headers();
        if (o != READS)
          return o;
      } else if (stuck) {
        return DAMAGED;
      } else if (r.is("MTZH")) {
        int64_t lines = r.number(1);
        if (lines < 0)
          return UNSURE;
        for (int64_t i = 0; i < lines && !at_end(); ++i)
          read_record();
      }
    }
  }

  // Each: a BH record with the counts of integers and reals, a title
  // record, the numbers, and a record of axis names.
  Outcome batch_headers() {
    for (int64_t b = 0; b < batches_; ++b) {
      // From here on the buffer stays as it is: a BH record passes every
      // batch, and the header never ends; anything else fails there.
      if (at_end()) {
        Record r(buffer_);
        return r.plain && r.is("BH") ? DAMAGED : UNSURE;
      }
      read_record();
      Record r(buffer_);
      if (!r.plain || !r.is("BH"))
        return UNSURE;
      int64_t integers = r.number(3), reals = r.number(4);
      // Beyond the library's batch buffer the outcome is not a read.
      if (integers < 0 || reals < 0 || integers > 185 || reals > 156)
        return UNSURE;
      read_record();
      skip(4 * (integers + reals));
      read_record();
    }
    return READS;
  }
};

[[noreturn]] void mtz_fault() { ERRSTP("HKLIN unable to open file"); }

}  // namespace

int64_t check_mtz_file() {
  File file(logical_file("HKLIN"));
  std::string_view stamp = file.ok() ? file.at(0, 20) : std::string_view();
  if (stamp.size() < 20 || stamp.substr(0, 4) != "MTZ ")
    return 0;
  Order order = byte_order(stamp.substr(8, 4));
  if (order == UNKNOWN)
    return 0;
  bool big_endian = order == BIG;
  int64_t word = word_at(stamp, 4, big_endian);
  if (word == -1)
    word = word_at(stamp, 12, big_endian, 8);
  // A header before the file's start is a failed seek, which the library
  // reports itself.
  if (word < 1)
    return 0;
  int64_t header = word > file.size() ? file.size() : (word - 1) * 4;
  HeaderReading reading(file, header);
  if (reading.read() == DAMAGED)
    mtz_fault();
  return reading.main_bytes;
}
