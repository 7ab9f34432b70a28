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

}  // namespace

std::vector<std::string> tokens(const std::string& record) {
  std::vector<std::string> t;
  std::string text = record.substr(0, record.find('\0'));
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == ',' || c == '=') {
      ++i;
    } else if (c == '\'' || c == '"') {
      size_t end = text.find(c, i + 1);
      if (end == std::string::npos)
        end = text.size();
      t.push_back(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = text.find_first_of(" \t,='\"", i);
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

bool end_record(const std::string& record) {
  return starts(record, "END") && record.size() > 3 && std::strchr(" \t,=", record[3]);
}

bool syminf_record_ok(const std::string& record) {
  std::vector<std::string> t = tokens(record);
  return (t.size() < 6 || t[5].size() <= 20) && (t.size() < 7 || t[6].size() <= 10);
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
  for (size_t i = 4, end; i < text.size(); i = end) {
    end = i + 1;
    if (std::isdigit(static_cast<unsigned char>(text[i])) && number_at(text, i, end) > 1)
      return false;
  }
  return true;
}

bool DatasetRecords::add(const std::string& record) {
  int kind = starts(record, "PROJ")   ? 0
             : starts(record, "CRYS") ? 1
             : starts(record, "DATA") ? 2
                                      : -1;
  if (kind < 0)
    return true;
  std::vector<std::string> t = tokens(record);
  long id = t.size() > 1 ? std::atol(t[1].c_str()) : 0;
  ids[kind].insert(id);
  // The library looks up dataset 0 by this name and follows what it finds
  // without a test; a crystal record may leave the name out.
  if (kind == 2 || id != 0)
    return true;
  return t.size() == 3 ? t[2] == "HKL_base" : t.size() == 2 && kind == 1;
}

bool DatasetRecords::consistent() const { return ids[0] == ids[1] && ids[1] == ids[2]; }

bool usable_cell(const std::string& record) {
  std::vector<std::string> t = tokens(record);
  size_t at = starts(record, "DCEL") ? 2 : 1;
  return t.size() > at && std::atof(t[at].c_str()) > 0.001;
}

// Mirrors the library's reading: 80-byte records up to one that begins
// "MTZE" (the last may be cut short); MTZHIST and its count of lines; after
// MTZBATS, each record that begins "BH" starts a batch of the title record,
// 185 words and the BHCH record.  Reading on at the end of the file, the
// library finds its stale record again and again and never stops.
bool tail_ok(const char* data, size_t size) {
  bool in_batches = false;
  for (size_t pos = 0;;) {
    if (size - pos < 4)
      return false;
    std::string rec(data + pos, std::min<size_t>(80, size - pos));
    if (starts(rec, "MTZE"))
      return true;
    if (rec.size() < 80)
      return false;
    std::vector<std::string> t = tokens(rec);
    if (in_batches && starts(rec, "BH")) {
      if (t.size() < 5 || std::atol(t[3].c_str()) > 29 || std::atol(t[4].c_str()) > 156 ||
          size - pos < 980)
        return false;
      // Axis names beyond 8 characters overrun the library's fields.
      t = tokens(std::string(data + pos + 900, 80));
      for (size_t i = 1; i < t.size() && i < 4; ++i)
        if (t[i].size() > 8)
          return false;
      pos += 980;
      continue;
    }
    pos += 80;
    if (starts(rec, "MTZHIST")) {
      long lines = t.size() > 1 ? std::atol(t[1].c_str()) : 0;
      if (lines < 0 || uint64_t(lines) > (size - pos) / 80)
        return false;
      pos += size_t(lines) * 80;
    } else if (starts(rec, "MTZBATS")) {
      in_batches = true;
    }
  }
}
