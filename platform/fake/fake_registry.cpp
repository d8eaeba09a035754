// The fake registry: a tree of keys with values in creation order, names without letter case.
#include <algorithm>
#include <mutex>

#include "platform/fake/code_page.h"
#include "platform/fake/facilities.h"

namespace platform::fake {

std::shared_ptr<RegNode> RegNode::Child(const std::string& n) const {
  for (auto& c : children) {
    if (EqualNoCase(c->name, n)) return c;
  }
  return nullptr;
}

RegValue* RegNode::Value(const std::string& n) {
  for (auto& v : values) {
    if (EqualNoCase(v.first, n)) return &v.second;
  }
  return nullptr;
}

void RegNode::SetValue(const std::string& n, RegValue value) {
  if (RegValue* v = Value(n)) {
    *v = std::move(value);
  } else {
    values.emplace_back(n, std::move(value));
  }
}

bool RegNode::RemoveValue(const std::string& n) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualNoCase(it->first, n)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

void RegNode::RemoveChild(const std::shared_ptr<RegNode>& child) {
  child->deleted = true;
  children.erase(std::find(children.begin(), children.end(), child));
}

RegistryTree::RegistryTree() {
  for (RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig, kHkeyPerformanceData,
                      kHkeyDynData}) {
    roots[root] = std::make_shared<RegNode>();
  }
  roots[kHkeyClassesRoot] = Walk(roots[kHkeyLocalMachine], "SOFTWARE\\Classes", true);
}

std::shared_ptr<RegNode> RegistryTree::Walk(std::shared_ptr<RegNode> from, const std::string& path, bool create,
                                            bool openLink) {
  auto node = from;
  const auto parts = SplitPath(path);
  for (size_t i = 0; i < parts.size(); ++i) {
    auto child = node->Child(parts[i]);
    if (!child) {
      if (!create) return nullptr;
      child = std::make_shared<RegNode>();
      child->name = parts[i];
      node->children.push_back(child);
    }
    if (child->isLink && !(openLink && i + 1 == parts.size())) {
      child = child->linkTarget.lock();
      if (!child || child->deleted) return nullptr;
    }
    node = child;
  }
  return node;
}

std::shared_ptr<RegNode> RegistryTree::ParentOf(const std::shared_ptr<RegNode>& node) const {
  std::vector<std::shared_ptr<RegNode>> pending;
  for (auto& [root, top] : roots) pending.push_back(top);
  while (!pending.empty()) {
    auto holder = pending.back();
    pending.pop_back();
    for (auto& child : holder->children) {
      if (child == node) return holder;
      pending.push_back(child);
    }
  }
  return nullptr;
}

std::shared_ptr<RegNode> RegistryTree::NodeOf(RegKey key) const {
  auto r = roots.find(key);
  if (r != roots.end()) return r->second;
  auto k = keys.find(key);
  if (k == keys.end() || k->second->deleted) return nullptr;
  return k->second;
}

uint32_t RegistryTree::HandleError(RegKey key) const {
  auto k = keys.find(key);
  return k != keys.end() && k->second->deleted ? win::kErrorKeyDeleted : win::kErrorInvalidHandle;
}

void RegistryTree::RemoveTree(RegKey root, const std::string& path) {
  auto parts = SplitPath(path);
  if (parts.empty()) return;
  const std::string last = parts.back();
  parts.pop_back();
  auto holder = NodeOf(root);
  for (auto& p : parts) {
    if (holder) holder = holder->Child(p);
  }
  if (!holder) return;
  if (auto node = holder->Child(last)) holder->RemoveChild(node);
}

namespace {

class FakeRegistry final : public Registry {
 public:
  explicit FakeRegistry(MachineState& state) : s_(state), tree_(state.registry) {}

  uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t, RegKey* out) override {
    std::lock_guard lock(s_.mutex);
    auto from = tree_.NodeOf(parent);
    if (!from) return Fail(tree_.HandleError(parent));
    auto node = RegistryTree::Walk(from, subKey, false);
    if (!node) return Fail(win::kErrorFileNotFound);
    return Open(node, out);
  }

  uint32_t CreateKey(RegKey parent, const std::string& subKey, uint32_t, RegKey* out) override {
    std::lock_guard lock(s_.mutex);
    auto from = tree_.NodeOf(parent);
    if (!from) return Fail(tree_.HandleError(parent));
    return Open(RegistryTree::Walk(from, subKey, true), out);
  }

  uint32_t CloseKey(RegKey key) override {
    std::lock_guard lock(s_.mutex);
    if (tree_.roots.count(key)) return 0;
    return tree_.keys.erase(key) ? 0 : Fail(win::kErrorInvalidHandle);
  }

  uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.mutex);
    if (HoldsNul(name)) return Fail(win::kErrorInvalidParameter);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    RegValue* v = node->Value(name);
    if (!v) return Fail(win::kErrorFileNotFound);
    if (type) *type = v->type;
    if (data) *data = AnsiData(*v);
    return 0;
  }

  uint32_t QueryValueW(RegKey key, const std::u16string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.mutex);
    if (name.find(u'\0') != std::u16string::npos) return Fail(win::kErrorInvalidParameter);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    RegValue* v = node->Value(Utf16ToCp1252(name));
    if (!v) return Fail(win::kErrorFileNotFound);
    if (type) *type = v->type;
    if (data) {
      if (v->wide || !IsStringType(v->type)) {
        *data = v->data;
      } else {
        const std::u16string text = Cp1252ToUtf16(std::string(v->data.begin(), v->data.end()));
        data->clear();
        for (size_t i = 0; i < text.size(); ++i) {
          data->push_back(static_cast<uint8_t>(text[i] & 0xFF));
          data->push_back(static_cast<uint8_t>(text[i] >> 8));
        }
      }
    }
    return 0;
  }

  uint32_t SetValueW(RegKey key, const std::u16string& name, uint32_t type, const void* data, uint32_t size) override {
    std::lock_guard lock(s_.mutex);
    if (name.find(u'\0') != std::u16string::npos) return Fail(win::kErrorInvalidParameter);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    const auto* bytes = static_cast<const uint8_t*>(data);
    node->SetValue(Utf16ToCp1252(name), RegValue{type, std::vector<uint8_t>(bytes, bytes + size), IsStringType(type)});
    return 0;
  }

  uint32_t OpenKeyEx(RegKey parent, const std::string& subKey, uint32_t options, uint32_t, RegKey* out) override {
    std::lock_guard lock(s_.mutex);
    auto from = tree_.NodeOf(parent);
    if (!from) return Fail(tree_.HandleError(parent));
    auto node = RegistryTree::Walk(from, subKey, false, (options & win::kRegOptionOpenLink) != 0);
    if (!node) return Fail(win::kErrorFileNotFound);
    return Open(node, out);
  }

  uint32_t DeleteOpenKey(RegKey key) override {
    std::lock_guard lock(s_.mutex);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    auto holder = tree_.ParentOf(node);
    if (!holder || tree_.roots.count(key)) return Fail(win::kErrorAccessDenied);
    if (node->denied || !node->children.empty()) return Fail(win::kErrorAccessDenied);
    holder->RemoveChild(node);
    return 0;
  }

  uint32_t SetValue(RegKey key, const std::string& name, uint32_t type, const void* data, uint32_t size) override {
    std::lock_guard lock(s_.mutex);
    if (HoldsNul(name)) return Fail(win::kErrorInvalidParameter);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    const auto* bytes = static_cast<const uint8_t*>(data);
    node->SetValue(name, RegValue{type, std::vector<uint8_t>(bytes, bytes + size)});
    return 0;
  }

  uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) override {
    std::lock_guard lock(s_.mutex);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    if (index >= node->values.size()) return Fail(win::kErrorNoMoreItems);
    *name = node->values[index].first;
    return 0;
  }

  uint32_t EnumValueData(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                         std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.mutex);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    if (index >= node->values.size()) return Fail(win::kErrorNoMoreItems);
    *name = node->values[index].first;
    if (type) *type = node->values[index].second.type;
    if (data) *data = AnsiData(node->values[index].second);
    return 0;
  }

  // Subkeys come sorted by name, as Windows keeps them.
  uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) override {
    std::lock_guard lock(s_.mutex);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    auto sorted = node->children;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](auto& a, auto& b) { return UpperAscii(a->name) < UpperAscii(b->name); });
    if (index >= sorted.size()) return Fail(win::kErrorNoMoreItems);
    *name = sorted[index]->name;
    return 0;
  }

  uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) override {
    std::lock_guard lock(s_.mutex);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    if (subKeys) *subKeys = static_cast<uint32_t>(node->children.size());
    if (values) *values = static_cast<uint32_t>(node->values.size());
    return 0;
  }

  uint32_t DeleteValue(RegKey key, const std::string& name) override {
    std::lock_guard lock(s_.mutex);
    auto node = tree_.NodeOf(key);
    if (!node) return Fail(tree_.HandleError(key));
    return node->RemoveValue(name) ? 0 : Fail(win::kErrorFileNotFound);
  }

  uint32_t DeleteKey(RegKey parent, const std::string& subKey) override {
    std::lock_guard lock(s_.mutex);
    auto from = tree_.NodeOf(parent);
    if (!from) return Fail(tree_.HandleError(parent));
    auto parts = SplitPath(subKey);
    if (parts.empty()) return Fail(win::kErrorAccessDenied);
    const std::string last = parts.back();
    parts.pop_back();
    auto holder = from;
    for (auto& p : parts) {
      holder = holder->Child(p);
      if (!holder) return Fail(win::kErrorFileNotFound);
    }
    auto node = holder->Child(last);
    if (!node) return Fail(win::kErrorFileNotFound);
    // RegDeleteKeyA opens the key it deletes: a link leads to its target.
    if (node->isLink) {
      node = node->linkTarget.lock();
      holder = node ? tree_.ParentOf(node) : nullptr;
      if (!holder) return Fail(win::kErrorFileNotFound);
    }
    if (node->denied || !node->children.empty()) return Fail(win::kErrorAccessDenied);
    holder->RemoveChild(node);
    return 0;
  }

 private:
  static bool HoldsNul(const std::string& name) { return name.find('\0') != std::string::npos; }
  static bool IsStringType(uint32_t type) {
    return type == win::kRegSz || type == win::kRegExpandSz || type == win::kRegMultiSz;
  }
  // What the ...A calls read: string data written in UTF-16 comes back in the code page.
  static std::vector<uint8_t> AnsiData(const RegValue& v) {
    if (!v.wide || !IsStringType(v.type)) return v.data;
    std::u16string text;
    for (size_t i = 0; i + 1 < v.data.size(); i += 2) text += static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
    const std::string ansi = Utf16ToCp1252(text);
    return std::vector<uint8_t>(ansi.begin(), ansi.end());
  }

  static uint32_t Fail(uint32_t code) {
    SetThreadLastError(code);
    return code;
  }

  uint32_t Open(const std::shared_ptr<RegNode>& node, RegKey* out) {
    if (node->denied) return Fail(win::kErrorAccessDenied);
    *out = tree_.nextKey++;
    tree_.keys[*out] = node;
    return 0;
  }

  MachineState& s_;
  RegistryTree& tree_;
};

}  // namespace

std::unique_ptr<Registry> MakeRegistry(MachineState& state) { return std::make_unique<FakeRegistry>(state); }

}  // namespace platform::fake
