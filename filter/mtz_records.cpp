#include "filter/mtz_records.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool starts(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

bool all_digits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::vector<std::string> tokens(const std::string& record) {
  std::vector<std::string> t;
  std::string text = record.substr(0, record.find('\0'));
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '!' || c == '#') {
      break;
    } else if (c == ' ' || c == '\t' || c == ',' || c == '=') {
      ++i;
    } else if (c == '\'' || c == '"') {
      size_t end = text.find(c, i + 1);
      if (end == std::string::npos)
        end = text.size();
      t.push_back(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = text.find_first_of(" \t,=!#", i);
      if (end == std::string::npos)
        end = text.size();
      t.push_back(text.substr(i, end - i));
      i = end;
    }
  }
  return t;
}

namespace {

// The value of the number (digits, point, one fraction bar) at text[i].
double number_at(const std::string& text, size_t i, size_t& end) {
  end = text.find_first_not_of("0123456789./", i);
  if (end == std::string::npos)
    end = text.size();
  std::string n = text.substr(i, end - i);
  size_t bar = n.find('/');
  double value = std::atof(n.substr(0, bar).c_str());
  if (bar != std::string::npos) {
    double d = std::atof(n.substr(bar + 1).c_str());
    value = d != 0 ? value / d : value;
  }
  return value;
}

}  // namespace

bool continued(const std::string& record) {
  std::vector<std::string> t = tokens(record);
  return !t.empty() && (t.back() == "-" || t.back() == "&");
}

std::string record_key(const std::string& record) {
  std::vector<std::string> t = tokens(record);
  std::string key = t.empty() ? std::string() : t[0].substr(0, 4);
  for (char& c : key)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

bool end_record(const std::string& record) {
  return tokens(record) == std::vector<std::string>{"END"};
}

bool syminf_record_ok(const std::string& record) {
  std::vector<std::string> t = tokens(record);
  return (t.size() == 7 || t.size() == 8) && all_digits(t[1]) && all_digits(t[2]) &&
         t[3].size() == 1 && all_digits(t[4]) && t[5].size() <= 20 && t[6].size() <= 10;
}

bool starts_end(const std::string& key) { return key.compare(0, 3, "END") == 0; }

bool sort_record_ok(const std::string& record, int64_t columns) {
  std::vector<std::string> t = tokens(record);
  for (size_t i = 1; i < t.size(); ++i)
    if (!all_digits(t[i]) || t[i].size() > 9 || std::atol(t[i].c_str()) > columns)
      return false;
  return true;
}

bool control_bytes(const std::string& record) {
  std::string text = record.substr(0, record.find('\0'));
  return std::any_of(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f;
  });
}

bool symm_record_ok(const std::string& record) {
  std::string text = record.substr(0, record.find('\0'));
  // A point with no digit on either side sends the number parser round for ever.
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '.' && !(i > 0 && std::isdigit(static_cast<unsigned char>(text[i - 1]))) &&
        !(i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))))
      return false;
  // Operators of the space groups have coefficients of -1, 0 or 1 and
  // translations below 1.  A larger number, wherever it stands among the
  // characters that the parser skips, can end up in the rotation part, and
  // the library indexes past its tables when it writes the operator back.
  size_t word = text.find_first_not_of(" \t,=");
  for (size_t i = text.find_first_of(" \t,=", word), end; i < text.size(); i = end) {
    end = i + 1;
    if (std::isdigit(static_cast<unsigned char>(text[i])) && number_at(text, i, end) > 1)
      return false;
  }
  return true;
}

bool DatasetRecords::add(const std::string& record) {
  static const char* const words[3] = {"PROJECT ", "CRYSTAL ", "DATASET "};
  std::string key = record_key(record);
  int kind = key == "PROJ" ? 0 : key == "CRYS" ? 1 : key == "DATA" ? 2 : -1;
  if (kind < 0)
    return true;
  // The library takes the id and the name from fixed columns, as files
  // write them: the word, the id in columns 9 to 15, the name from 17.
  std::string text = record.substr(0, record.find('\0'));
  if (!starts(text, words[kind]) || text.size() < 16 || text[15] != ' ')
    return false;
  std::string id_text = text.substr(8, 7);
  size_t first = id_text.find_first_not_of(' ');
  if (first == std::string::npos || !all_digits(id_text.substr(first)))
    return false;
  long id = std::atol(id_text.c_str());
  ids[kind].insert(id);
  last[kind] = id;
  // A dataset joins the project and crystal read last.
  if (kind == 2 && (last[0] != id || last[1] != id))
    return false;
  std::string name = text.substr(16);
  name.erase(name.find_last_not_of(' ') + 1);
  // The library looks up dataset 0 by this name and follows what it finds
  // without a test; a crystal record may leave the name out.
  return kind == 2 || id != 0 || name == "HKL_base" || (kind == 1 && name.empty());
}

bool DatasetRecords::consistent() const { return ids[0] == ids[1] && ids[1] == ids[2]; }

bool usable_cell(const std::string& record) {
  std::vector<std::string> t = tokens(record);
  size_t at = record_key(record) == "DCEL" ? 2 : 1;
  return t.size() > at && std::atof(t[at].c_str()) > 0.001;
}

// Follows the library's reading: 80-byte records whose first word decides.
// MTZE... ends the header; MTZHIST is followed by its count of lines;
// MTZBATS by the batches that NCOL counts, each a BH record, a title
// record, its words and a BHCH record.  At the end of the file the library
// reads its last record again and again, and what a short last read leaves
// behind is not always what it seems: only whole records are accepted.
bool tail_ok(const char* data, size_t size, int64_t batches) {
  size_t pos = 0;
  std::vector<std::string> t;
  // A continued record joins the next, out of step with the rest.
  auto read = [&](bool title = false) {
    if (size - pos < 80)
      return false;
    std::string rec(data + pos, 80);
    t = tokens(rec);
    pos += 80;
    return title || !continued(rec);
  };
  auto key = [&](const char* word) { return !t.empty() && record_key(t[0]) == word; };
  for (;;) {
    if (!read())
      return false;
    if (key("MTZE"))
      return true;
    if (key("MTZH")) {
      long lines = t.size() > 1 ? std::atol(t[1].c_str()) : 0;
      if (lines < 0 || uint64_t(lines) > (size - pos) / 80)
        return false;
      pos += size_t(lines) * 80;
    } else if (key("MTZB")) {
      for (int64_t b = 0; b < batches; ++b) {
        // Counts that are not plain numbers, or beyond the library's
        // buffers, put its reading out of step.
        if (!read() || t.size() < 5 || t[0] != "BH" || !all_digits(t[1]) || !all_digits(t[2]) ||
            !all_digits(t[3]) || !all_digits(t[4]))
          return false;
        long ints = std::atol(t[3].c_str()), reals = std::atol(t[4].c_str());
        if (ints < 1 || ints > 29 || reals > 156 || !read(true))
          return false;
        size_t words = size_t(ints + reals) * 4;
        if (words > size - pos)
          return false;
        pos += words;
        // Axis names beyond 8 characters overrun the library's fields.
        if (!read() || !key("BHCH"))
          return false;
        for (size_t i = 1; i < t.size() && i < 4; ++i)
          if (t[i].size() > 8)
            return false;
      }
    }
  }
}
