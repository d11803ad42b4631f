#include "ReadableText.hpp"

#include <cctype>
#include <cstdint>
#include <sstream>

#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "StringMessage.hpp"
#include "Utf8.hpp"
#include "WireText.hpp"

namespace vy {
namespace testing {
namespace {

const char* const kSimpleTypes[] = {"Boolean", "Integer", "Float",   "Double",
                                    "String",  "Date",    "LongText"};
const char kEmptyMarker[] = "\x05";  // an empty text inside a spec

[[noreturn]] void fail(int line, const std::string& why) {
  throw Error("line " + std::to_string(line) + ": " + why);
}

bool isBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Reads the quoted text starting at text[start] == '"' into `into`; returns the index after it.
// Escapes: \" \\ \n \t \r and \uXXXX (a surrogate pair of two escapes is one character).
size_t unquote(const std::string& text, size_t start, std::string& into, int line) {
  size_t i = start + 1;
  uint32_t pendingHigh = 0;
  while (i < text.size()) {
    char c = text[i++];
    if (c == '"') return i;
    if (c != '\\') {
      into.push_back(c);
      continue;
    }
    if (i >= text.size()) break;
    char e = text[i++];
    switch (e) {
      case 'n':
        into.push_back('\n');
        break;
      case 't':
        into.push_back('\t');
        break;
      case 'r':
        into.push_back('\r');
        break;
      case 'u': {
        if (i + 4 > text.size()) fail(line, "short \\u escape");
        uint32_t unit = 0;
        for (int k = 0; k < 4; ++k) {
          char h = text[i + k];
          if (!std::isxdigit(static_cast<unsigned char>(h))) fail(line, "bad \\u escape");
          unit = unit * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(h))
                                                       ? h - '0'
                                                       : (std::tolower(h) - 'a' + 10));
        }
        i += 4;
        if (unit >= 0xD800 && unit < 0xDC00) {
          pendingHigh = unit;
          continue;
        }
        if (unit >= 0xDC00 && unit < 0xE000 && pendingHigh != 0) {
          unit = 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00);
        }
        pendingHigh = 0;
        appendUtf8(into, unit);
        break;
      }
      default:
        into.push_back(e);
    }
  }
  fail(line, "unterminated quoted text");
}

// Words separated by blanks; a quoted part keeps blanks; an unquoted '#' starting a word ends
// the line.
std::vector<std::string> words(const std::string& line, int lineNo) {
  std::vector<std::string> out;
  size_t i = 0;
  while (true) {
    while (i < line.size() && isBlankChar(line[i])) ++i;
    if (i >= line.size() || line[i] == '#') return out;
    std::string word;
    while (i < line.size() && !isBlankChar(line[i])) {
      if (line[i] == '"') {
        i = unquote(line, i, word, lineNo);
      } else {
        word.push_back(line[i++]);
      }
    }
    out.push_back(word);
  }
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      if (!cur.empty() && cur.back() == '\r') cur.pop_back();
      out.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  out.push_back(cur);
  return out;
}

std::string trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (isBlankChar(s[a]) || s[a] == '\n')) ++a;
  while (b > a && (isBlankChar(s[b - 1]) || s[b - 1] == '\n')) --b;
  return s.substr(a, b - a);
}

bool isVersion(const std::string& v) {
  int parts = 0;
  size_t i = 0;
  while (i <= v.size()) {
    size_t digits = 0;
    while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i, ++digits;
    if (digits == 0) return false;
    ++parts;
    if (i == v.size()) break;
    if (v[i] != '.') return false;
    ++i;
  }
  return parts == 3;
}

bool isSimpleType(const std::string& type) {
  for (const char* t : kSimpleTypes)
    if (type == t) return true;
  return false;
}

struct AttrDef {
  std::string name, type, app, def, aux, relation, card = "1", version;
  bool key = false, foreignKey = false, required = false, serverBound = false;
  int max = 255;
  int line = 0;
};

struct SpecDef {
  std::string name, version = "1.0.0", app;
  std::vector<AttrDef> attrs;
  std::vector<std::pair<std::string, std::string>> verbs;
};

AttrDef parseAttr(const std::vector<std::string>& w, int ln) {
  if (w.size() < 3) fail(ln, "expected \"attr <name> <type> ...\"");
  AttrDef a;
  a.name = w[1];
  a.type = w[2];
  if (!isSimpleType(a.type)) a.relation = "Containment";
  for (size_t k = 3; k < w.size(); ++k) {
    const std::string& word = w[k];
    size_t eq = word.find('=');
    if (eq == std::string::npos) {
      if (word == "key")
        a.key = true;
      else if (word == "foreignkey")
        a.foreignKey = true;
      else if (word == "required")
        a.required = true;
      else if (word == "serverbound")
        a.serverBound = true;
      else
        fail(ln, "unknown attribute flag \"" + word + "\"");
      continue;
    }
    std::string key = word.substr(0, eq), value = word.substr(eq + 1);
    if (key == "card") {
      if (!(value.empty() || value == "1" || value == "n" || value == "N"))
        fail(ln, "card is 1 or n");
      a.card = value;
    } else if (key == "max") {
      char* end = nullptr;
      long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0') fail(ln, "max is a number");
      if (n <= 0 || n > 2147483647L) fail(ln, "max is above 0");
      a.max = static_cast<int>(n);
    } else if (key == "default") {
      a.def = value;
    } else if (key == "app") {
      a.app = value;
    } else if (key == "aux") {
      a.aux = value;
    } else if (key == "relation") {
      a.relation = value;
    } else if (key == "version") {
      if (!isVersion(value)) fail(ln, "version is <n>.<n>.<n>");
      a.version = value;
    } else {
      fail(ln, "unknown attribute option \"" + key + "\"");
    }
  }
  return a;
}

std::string specWire(const SpecDef& s) {
  StringMessage m;
  auto text = [&m](const std::string& t) { m.appendField(t.empty() ? kEmptyMarker : t.c_str()); };
  auto field = [&m](const std::string& t) { m.appendField(t.c_str()); };
  auto flag = [&m](bool b) { m.appendField(b ? "true" : "false"); };
  field("BusObjSpec");
  field(vy::wire::kFormatVersion);
  field(s.name);
  field(s.version);
  text(s.app);
  field(std::to_string(s.attrs.size()));
  field(std::to_string(s.verbs.size()));
  for (const AttrDef& a : s.attrs) {
    field(a.name);
    field(a.type);
    flag(a.key);
    flag(a.foreignKey);
    flag(a.required);
    text(a.app);
    field(std::to_string(a.max));
    text(a.def);
    field(a.version.empty() ? s.version : a.version);
    field(a.card);  // empty travels as "null"
    field(a.relation);
    flag(a.serverBound);
    text(a.aux);
  }
  for (const auto& v : s.verbs) {
    field(v.first);
    text(v.second);
  }
  const char* wire = m.toString();
  return wire != nullptr ? wire : "";
}

// ---- objects ----

BusObjSpec* specOf(const std::string& type, int line) {
  BusObjSpec* spec = BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(type.c_str());
  if (spec == nullptr) fail(line, "unknown type " + type + " (announce its spec first)");
  return spec;
}

Object block(const std::string& header, int ln, const std::vector<std::string>& all, size_t& pos) {
  std::vector<std::string> w = words(header, ln);
  if (w.size() < 2 || w[0] != "object") fail(ln, "expected \"object <type> ...\"");
  BusObjSpec* spec = specOf(w[1], ln);
  Object o(w[1], "");
  for (size_t k = 2; k < w.size(); ++k) {
    const std::string& word = w[k];
    if (word == "delta")
      o.setDelta(true);
    else if (word.rfind("verb=", 0) == 0) {
      std::string verb = word.substr(5);
      o.setVerb(verb == "null" ? "" : verb);
    } else if (word.rfind("locale=", 0) == 0) {
      if (word.size() == 7) fail(ln, "empty locale");
      o.setLocale(word.substr(7));
    } else if (word.rfind("version=", 0) == 0) {
      // Objects always carry their spec's version; the option is accepted for the driver's sake.
    } else {
      fail(ln, "unknown object option \"" + word + "\"");
    }
  }
  while (pos < all.size()) {
    int lineNo = static_cast<int>(pos) + 1;
    std::string line = trim(all[pos++]);
    if (line.empty() || line[0] == '#') continue;
    if (line == "end") return o;
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0)
      fail(lineNo, "expected \"<attribute> = <value>\" or \"end\"");
    std::string name = trim(line.substr(0, eq));
    std::string value = trim(line.substr(eq + 1));
    int index = spec->getAttributeIndex(name.c_str());
    if (index < 0) fail(lineNo, w[1] + " has no attribute " + name);
    BOAttrType* attr = spec->getAttribute(index);
    bool simple = attr->getTypeNum() != 0;
    if (value == "<ignore>") continue;
    if (value == "<blank>" || value == "\"\"") {
      o.blank(name);
    } else if (simple) {
      if (o.value(name)) fail(lineNo, name + " is given twice");
      if (!value.empty() && value[0] == '"') {
        std::string text;
        if (unquote(value, 0, text, lineNo) != value.size())
          fail(lineNo, "text after the quoted value");
        value = text;
      }
      o.set(name, value);
    } else if (value == "<delta-container>" && attr->isMultipleCard()) {
      o.deltaContainer(name);
    } else if (value.rfind("object", 0) == 0) {
      Object child = block(value, lineNo, all, pos);
      const char* expected = attr->getTypeName();
      if (expected == nullptr || child.type() != expected)
        fail(lineNo, name + " holds " + (expected ? expected : "?") + ", not " + child.type());
      if (!attr->isMultipleCard() && o.count(name) > 0) fail(lineNo, name + " is given twice");
      o.add(name, std::move(child));
    } else {
      fail(lineNo, name + " holds objects: expected \"object " +
                       std::string(attr->getTypeName() ? attr->getTypeName() : "?") + "\"");
    }
  }
  throw Error("object " + w[1] + " has no \"end\"");
}

bool bareWord(const std::string& s) {
  if (s.empty() || s[0] == '#' || s[0] == '<') return false;
  for (unsigned char c : s)
    if (c <= ' ' || c == '"' || c == '\\' || c == 0x7f) return false;
  return true;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

std::string word(const std::string& s) { return bareWord(s) ? s : quoted(s); }

std::string valueText(const std::string& v) {
  bool bare = !v.empty() && v == trim(v) && v[0] != '"' && v[0] != '<' && v[0] != '#' &&
              v.rfind("object", 0) != 0;
  for (unsigned char c : v)
    if (c < ' ' || c == 0x7f) bare = false;
  return bare ? v : quoted(v);
}

void format(const Object& o, const std::string& indent, const std::string& head, std::string& out) {
  out += head + word(o.type());
  if (!o.verb().empty()) out += " verb=" + word(o.verb());
  if (o.locale() != "en_US") out += " locale=" + word(o.locale());
  if (o.isDelta()) out += " delta";
  out += '\n';
  std::string in = indent + "  ";
  for (const auto& a : o.attrs()) {
    const Object::Value& v = a.second;
    switch (v.kind) {
      case Object::Value::kIgnored:
        break;
      case Object::Value::kBlank:
        out += in + a.first + " = <blank>\n";
        break;
      case Object::Value::kText:
        out += in + a.first + " = " + valueText(v.text) + "\n";
        break;
      case Object::Value::kChildren:
        if (v.deltaContainer) out += in + a.first + " = <delta-container>\n";
        for (const Object& child : v.children) format(child, in, in + a.first + " = object ", out);
        break;
    }
  }
  out += indent + "end\n";
}

}  // namespace

std::vector<std::string> specWiresFromText(const std::string& text) {
  std::vector<std::string> all = lines(text);
  std::vector<std::string> out;
  std::vector<SpecDef> specs;
  SpecDef cur;
  bool open = false;
  for (size_t i = 0; i < all.size(); ++i) {
    int ln = static_cast<int>(i) + 1;
    std::vector<std::string> w = words(all[i], ln);
    if (w.empty()) continue;
    const std::string& head = w[0];
    if (!open) {
      if (head != "type" || w.size() < 2 || w.size() > 3)
        fail(ln, "expected \"type <name> [<version>]\"");
      cur = SpecDef();
      cur.name = w[1];
      if (w.size() == 3) {
        if (!isVersion(w[2])) fail(ln, "version is <n>.<n>.<n>");
        cur.version = w[2];
      }
      open = true;
    } else if (head == "end") {
      if (w.size() != 1) fail(ln, "\"end\" takes nothing");
      out.push_back(specWire(cur));
      specs.push_back(cur);
      open = false;
    } else if (head == "text") {
      std::string t;
      for (size_t k = 1; k < w.size(); ++k) t += (k > 1 ? " " : "") + w[k];
      cur.app = t;
    } else if (head == "verb") {
      if (w.size() < 2 || w.size() > 3) fail(ln, "expected \"verb <verb> [<text>]\"");
      cur.verbs.emplace_back(w[1], w.size() == 3 ? w[2] : "");
    } else if (head == "attr") {
      cur.attrs.push_back(parseAttr(w, ln));
      cur.attrs.back().line = ln;
    } else {
      fail(ln, "unknown line \"" + head + "\" (attr, verb, text or end)");
    }
  }
  if (open) throw Error("type " + cur.name + " has no \"end\"");
  // A child type must be announced too, here or before: a typo in a type name is caught where
  // it is written, not at the first request that needs it.
  for (const SpecDef& spec : specs) {
    for (const AttrDef& a : spec.attrs) {
      if (isSimpleType(a.type)) continue;
      bool here = false;
      for (const SpecDef& other : specs) here = here || other.name == a.type;
      if (here || BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(a.type.c_str())) continue;
      fail(a.line, "attribute " + a.name + " of " + spec.name + ": unknown type " + a.type +
                       " (a simple type: Boolean, Integer, Float, Double, String, Date, LongText; "
                       "or a type announced before or in the same text)");
    }
  }
  return out;
}

Object objectFromText(const std::string& text) {
  std::vector<std::string> all = lines(text);
  size_t pos = 0;
  bool found = false;
  Object top;
  while (pos < all.size()) {
    int ln = static_cast<int>(pos) + 1;
    std::string line = trim(all[pos++]);
    if (line.empty() || line[0] == '#') continue;
    if (found) fail(ln, "text after the object");
    if (line.rfind("object", 0) != 0) fail(ln, "expected \"object <type> ...\"");
    top = block(line, ln, all, pos);
    found = true;
  }
  if (!found) throw Error("no object in the text");
  return top;
}

std::string objectToText(const Object& object) {
  std::string out;
  format(object, "", "object ", out);
  return out;
}

}  // namespace testing
}  // namespace vy
