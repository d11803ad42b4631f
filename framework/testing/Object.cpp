#include <cstdlib>

#include "ReadableText.hpp"
#include "VyTesting.hpp"

namespace vy {
namespace testing {

Object::Value& Object::slot(const std::string& attr) {
  for (auto& a : attrs_)
    if (a.first == attr) return a.second;
  attrs_.emplace_back(attr, Value());
  return attrs_.back().second;
}

const Object::Value* Object::find(const std::string& attr) const {
  for (const auto& a : attrs_)
    if (a.first == attr) return &a.second;
  return nullptr;
}

Object& Object::set(const std::string& attr, const std::string& text) {
  Value& v = slot(attr);
  v = Value();
  v.kind = Value::kText;
  v.text = text;
  return *this;
}

Object& Object::blank(const std::string& attr) {
  Value& v = slot(attr);
  v = Value();
  v.kind = Value::kBlank;
  return *this;
}

Object& Object::add(const std::string& attr, Object child) {
  Value& v = slot(attr);
  if (v.kind != Value::kChildren) v = Value();
  v.kind = Value::kChildren;
  v.children.push_back(std::move(child));
  return *this;
}

Object& Object::deltaContainer(const std::string& attr) {
  Value& v = slot(attr);
  if (v.kind != Value::kChildren) v = Value();
  v.kind = Value::kChildren;
  v.deltaContainer = true;
  return *this;
}

Object& Object::setVerb(std::string verb) {
  verb_ = std::move(verb);
  return *this;
}

Object& Object::setLocale(std::string locale) {
  locale_ = std::move(locale);
  return *this;
}

Object& Object::setDelta(bool delta) {
  delta_ = delta;
  return *this;
}

namespace {

// One step of a path: "Lines[2]" is attribute "Lines", index 2; a step without an index is 0.
bool splitStep(const std::string& step, std::string& attr, size_t& index) {
  size_t open = step.find('[');
  index = 0;
  if (open == std::string::npos) {
    attr = step;
    return !attr.empty();
  }
  if (step.back() != ']') return false;
  attr = step.substr(0, open);
  std::string digits = step.substr(open + 1, step.size() - open - 2);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  index = static_cast<size_t>(std::strtoul(digits.c_str(), nullptr, 10));
  return !attr.empty();
}

}  // namespace

const Object* Object::child(const std::string& path) const {
  const Object* cur = this;
  size_t start = 0;
  while (cur != nullptr) {
    size_t dot = path.find('.', start);
    std::string step =
        path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    std::string attr;
    size_t index;
    if (!splitStep(step, attr, index)) return nullptr;
    const Value* v = cur->find(attr);
    if (v == nullptr || v->kind != Value::kChildren || index >= v->children.size()) return nullptr;
    cur = &v->children[index];
    if (dot == std::string::npos) return cur;
    start = dot + 1;
  }
  return nullptr;
}

std::optional<std::string> Object::value(const std::string& path) const {
  size_t dot = path.rfind('.');
  const Object* holder = dot == std::string::npos ? this : child(path.substr(0, dot));
  if (holder == nullptr) return std::nullopt;
  const Value* v = holder->find(dot == std::string::npos ? path : path.substr(dot + 1));
  if (v == nullptr) return std::nullopt;
  if (v->kind == Value::kBlank) return std::string();
  if (v->kind == Value::kText) return v->text;
  return std::nullopt;
}

size_t Object::count(const std::string& path) const {
  size_t dot = path.rfind('.');
  const Object* holder = dot == std::string::npos ? this : child(path.substr(0, dot));
  if (holder == nullptr) return 0;
  const Value* v = holder->find(dot == std::string::npos ? path : path.substr(dot + 1));
  return v != nullptr && v->kind == Value::kChildren ? v->children.size() : 0;
}

std::string Object::text() const { return objectToText(*this); }

}  // namespace testing
}  // namespace vy
