#include "system/JournalFormat.h"

#include <cstdint>
#include <cstdlib>

namespace journal {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kHashDigits = 8;
constexpr std::uint32_t kFnvOffset = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;

std::uint32_t Fnv1a(const std::string& text) {
  std::uint32_t hash = kFnvOffset;
  for (const char c : text) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= kFnvPrime;
  }
  return hash;
}

std::string HashText(std::uint32_t hash) {
  std::string text(kHashDigits, '0');
  for (std::size_t i = 0; i < kHashDigits; ++i) text[kHashDigits - 1 - i] = kHexDigits[(hash >> (4 * i)) & 0xF];
  return text;
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '%' || c == 0x7F; }

std::string Escape(const std::string& field) {
  std::string out;
  for (const char c : field) {
    const auto b = static_cast<unsigned char>(c);
    if (NeedsEscape(b)) {
      out += '%';
      out += kHexDigits[b >> 4];
      out += kHexDigits[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool IsKind(char c) {
  switch (static_cast<Kind>(c)) {
    case Kind::Header: case Kind::MovedAside: case Kind::CreatedFile: case Kind::CreatedFolder:
    case Kind::ProfileValue: case Kind::RegistryKey: case Kind::RegistryValue:
    case Kind::Committed: case Kind::Undone:
      return true;
  }
  return false;
}

// How many fields each kind carries; a line with another count is damaged.
std::size_t FieldCount(Kind kind) {
  switch (kind) {
    case Kind::Header: return 2;
    case Kind::MovedAside: return 2;
    case Kind::CreatedFile: return 2;
    case Kind::CreatedFolder: return 1;
    case Kind::ProfileValue: return 5;
    case Kind::RegistryKey: return 3;
    case Kind::RegistryValue: return 5;
    case Kind::Committed: return 0;
    case Kind::Undone: return 1;
  }
  return 0;
}

bool ParseLine(const std::string& line, Record& record) {
  const std::size_t seal = line.rfind('\t');
  if (seal == std::string::npos || line.size() != seal + 2 + kHashDigits || line[seal + 1] != '#') return false;
  const std::string body = line.substr(0, seal);
  if (HashText(Fnv1a(body)) != line.substr(seal + 2)) return false;
  if (body.empty() || !IsKind(body[0])) return false;
  record.kind = static_cast<Kind>(body[0]);
  record.fields.clear();
  std::size_t at = 1;
  while (at < body.size()) {
    if (body[at] != '\t') return false;
    const std::size_t next = body.find('\t', at + 1);
    const std::size_t end = next == std::string::npos ? body.size() : next;
    std::string field;
    if (!Unescape(body.substr(at + 1, end - at - 1), field)) return false;
    record.fields.push_back(field);
    at = end;
  }
  return record.fields.size() == FieldCount(record.kind);
}

}  // namespace

std::string SerializeRecord(const Record& record) {
  std::string body(1, static_cast<char>(record.kind));
  for (const auto& field : record.fields) body += '\t' + Escape(field);
  return body + "\t#" + HashText(Fnv1a(body)) + '\n';
}

Contents ParseJournal(const std::string& bytes) {
  Contents contents;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find('\n', at);
    Record record;
    if (end == std::string::npos || !ParseLine(bytes.substr(at, end - at), record)) {
      contents.damaged = true;
      break;
    }
    contents.records.push_back(record);
    at = end + 1;
    contents.soundBytes = at;
  }
  if (!contents.records.empty() && contents.records[0].kind == Kind::Header &&
      contents.records[0].fields[0] == kVersion) {
    contents.ours = true;
    contents.saverName = contents.records[0].fields[1];
  }
  return contents;
}

Plan PlanRecovery(const Contents& contents) {
  Plan plan;
  if (!contents.ours) return plan;
  std::vector<bool> undone(contents.records.size());  // by record number
  for (const auto& record : contents.records) {
    if (record.kind == Kind::Committed) plan.committed = true;
    if (record.kind == Kind::Undone) {
      char* end = nullptr;
      const unsigned long index = std::strtoul(record.fields[0].c_str(), &end, 10);
      if (end != record.fields[0].c_str() && *end == '\0' && index < undone.size()) undone[index] = true;
    }
  }
  if (plan.committed) {
    for (std::size_t i = 0; i < contents.records.size(); ++i)
      if (contents.records[i].kind == Kind::MovedAside) plan.steps.push_back(i);
    return plan;
  }
  for (std::size_t i = contents.records.size(); i-- > 1;) {
    const Kind kind = contents.records[i].kind;
    if (kind == Kind::Undone || kind == Kind::Header || undone[i]) continue;
    plan.steps.push_back(i);
  }
  return plan;
}

}  // namespace journal
