// The registry of an offline volume, read from its hive files through libhivex. The hives are
// mounted where Windows loads them: SYSTEM and SOFTWARE under HKEY_LOCAL_MACHINE (with
// CurrentControlSet the set Select names), each profile's NTUSER.DAT and UsrClass.dat under
// HKEY_USERS, the current user's under HKEY_CURRENT_USER, and HKEY_CLASSES_ROOT as the user's
// classes over the machine's. Every write is refused.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {

struct Layer {
  hive_h* hive;
  hive_node_h node;
};

struct ValueRef {
  std::string name;  // ANSI
  hive_h* hive;
  hive_value_h value;
};

// An open key: where it is, the hive nodes it shows (the first one wins a value name), and
// the names the mounts add below it.
struct KeyView {
  RegKey root = 0;
  std::vector<std::string> path;
  std::vector<Layer> layers;
  std::vector<std::string> mounts;
  std::optional<std::vector<std::string>> subKeys;  // sorted, filled on first use
  std::optional<std::vector<ValueRef>> values;      // in hive order, filled on first use
};

constexpr size_t kMaxDepth = 512;

bool IsStringType(hive_type type) {
  return type == hive_t_REG_SZ || type == hive_t_REG_EXPAND_SZ || type == hive_t_REG_MULTI_SZ;
}

class HiveRegistry final : public Registry {
 public:
  explicit HiveRegistry(VolumeState& state) : s_(state) {}

  // Any access opens a key (readers ask for all of it, as a key of the running system allows);
  // the writes themselves are refused.
  uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t, RegKey* out) override {
    std::lock_guard lock(s_.hiveMutex);
    const KeyView* from = Find(parent);
    if (!from) return Fail(win::kErrorInvalidHandle);
    std::vector<std::string> path = from->path;
    for (auto& part : SplitPath(subKey)) path.push_back(std::move(part));
    std::optional<KeyView> view = Resolve(from->root, path);
    if (!view) return Fail(win::kErrorFileNotFound);
    *out = nextKey_++;
    keys_[*out] = std::move(*view);
    return 0;
  }

  uint32_t CreateKey(RegKey, const std::string&, uint32_t, RegKey*) override { return Fail(win::kErrorAccessDenied); }

  uint32_t CloseKey(RegKey key) override {
    std::lock_guard lock(s_.hiveMutex);
    if (IsRoot(key)) return 0;
    return keys_.erase(key) ? 0 : Fail(win::kErrorInvalidHandle);
  }

  uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.hiveMutex);
    const KeyView* view = Find(key);
    if (!view) return Fail(win::kErrorInvalidHandle);
    const std::string utf8 = Utf8Of(name);
    for (const Layer& layer : view->layers) {
      const hive_value_h value = hivex_node_get_value(layer.hive, layer.node, utf8.c_str());
      if (value != 0) return Read(layer.hive, value, type, data);
    }
    return Fail(win::kErrorFileNotFound);
  }

  uint32_t SetValue(RegKey, const std::string&, uint32_t, const void*, uint32_t) override {
    return Fail(win::kErrorAccessDenied);
  }

  uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) override {
    return EnumValueData(key, index, name, nullptr, nullptr);
  }

  uint32_t EnumValueData(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                         std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.hiveMutex);
    KeyView* view = Find(key);
    if (!view) return Fail(win::kErrorInvalidHandle);
    const std::vector<ValueRef>& values = Values(*view);
    if (index >= values.size()) return Fail(win::kErrorNoMoreItems);
    const ValueRef& v = values[index];
    *name = v.name;
    if (!type && !data) return 0;
    return Read(v.hive, v.value, type, data);
  }

  uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) override {
    std::lock_guard lock(s_.hiveMutex);
    KeyView* view = Find(key);
    if (!view) return Fail(win::kErrorInvalidHandle);
    const std::vector<std::string>& names = SubKeys(*view);
    if (index >= names.size()) return Fail(win::kErrorNoMoreItems);
    *name = names[index];
    return 0;
  }

  uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) override {
    std::lock_guard lock(s_.hiveMutex);
    KeyView* view = Find(key);
    if (!view) return Fail(win::kErrorInvalidHandle);
    if (subKeys) *subKeys = static_cast<uint32_t>(SubKeys(*view).size());
    if (values) *values = static_cast<uint32_t>(Values(*view).size());
    return 0;
  }

  uint32_t DeleteValue(RegKey, const std::string&) override { return Fail(win::kErrorAccessDenied); }
  uint32_t DeleteKey(RegKey, const std::string&) override { return Fail(win::kErrorAccessDenied); }

  // A hive at rest holds no live links to follow: a key opens as itself either way.
  uint32_t OpenKeyEx(RegKey parent, const std::string& subKey, uint32_t, uint32_t access, RegKey* out) override {
    return OpenKey(parent, subKey, access, out);
  }
  uint32_t DeleteOpenKey(RegKey) override { return Fail(win::kErrorAccessDenied); }

  // Names and string data as the hive stores them, in UTF-16.
  uint32_t QueryValueW(RegKey key, const std::u16string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    std::lock_guard lock(s_.hiveMutex);
    const KeyView* view = Find(key);
    if (!view) return Fail(win::kErrorInvalidHandle);
    const std::string utf8 =
        Utf16ToUtf8(reinterpret_cast<const uint8_t*>(name.data()), name.size() * sizeof(char16_t));
    for (const Layer& layer : view->layers) {
      const hive_value_h value = hivex_node_get_value(layer.hive, layer.node, utf8.c_str());
      if (value == 0) continue;
      hive_type t{};
      size_t length = 0;
      char* raw = hivex_value_value(layer.hive, value, &t, &length);
      if (!raw) return Fail(win::kErrorInvalidData);
      if (type) *type = static_cast<uint32_t>(t);
      if (data) data->assign(reinterpret_cast<const uint8_t*>(raw), reinterpret_cast<const uint8_t*>(raw) + length);
      std::free(raw);
      return 0;
    }
    return Fail(win::kErrorFileNotFound);
  }
  uint32_t SetValueW(RegKey, const std::u16string&, uint32_t, const void*, uint32_t) override {
    return Fail(win::kErrorAccessDenied);
  }

 private:
  static uint32_t Fail(uint32_t code) {
    SetThreadLastError(code);
    return code;
  }

  static bool IsRoot(RegKey key) { return key >= kHkeyClassesRoot && key <= kHkeyDynData; }

  KeyView* Find(RegKey key) {
    if (IsRoot(key)) {
      auto it = roots_.find(key);
      if (it == roots_.end()) {
        std::optional<KeyView> view = Resolve(key, {});
        if (!view) return nullptr;
        it = roots_.emplace(key, std::move(*view)).first;
      }
      return &it->second;
    }
    auto it = keys_.find(key);
    return it == keys_.end() ? nullptr : &it->second;
  }

  // Where a root and path land: a mount point with its hive nodes below it, walked part by part.
  std::optional<KeyView> Resolve(RegKey root, const std::vector<std::string>& path) {
    KeyView view;
    view.root = root;
    view.path = path;
    std::vector<std::string> rest = path;
    auto take = [&](size_t n) { rest.erase(rest.begin(), rest.begin() + static_cast<long>(std::min(n, rest.size()))); };
    auto mount = [&](const std::shared_ptr<Hive>& hive) {
      if (hive && hive->handle) view.layers.push_back({hive->handle, hivex_root(hive->handle)});
    };
    auto is = [&](size_t i, const char* name) { return rest.size() > i && EqualNoCase(rest[i], name); };
    const Profile* user = s_.CurrentProfile();

    if (root == kHkeyCurrentConfig) {
      root = kHkeyLocalMachine;
      rest.insert(rest.begin(), {"SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current"});
    }
    if (root == kHkeyLocalMachine) {
      if (rest.empty()) {
        if (s_.software && s_.software->handle) view.mounts.push_back("SOFTWARE");
        if (s_.system && s_.system->handle) view.mounts.push_back("SYSTEM");
        return view;
      }
      if (is(0, "SYSTEM")) {
        mount(s_.system);
        take(1);
        if (is(0, "CurrentControlSet")) {
          if (s_.controlSet.empty()) return std::nullopt;
          rest[0] = s_.controlSet;
        }
      } else if (is(0, "SOFTWARE")) {
        mount(s_.software);
        take(1);
      }
    } else if (root == kHkeyUsers) {
      if (rest.empty()) {
        for (const Profile& p : s_.profiles) {
          if (p.user && p.user->handle) view.mounts.push_back(p.key);
          if (p.classes && p.classes->handle) view.mounts.push_back(p.key + "_Classes");
        }
        return view;
      }
      for (const Profile& p : s_.profiles) {
        if (EqualNoCase(rest[0], p.key)) mount(p.user);
        if (EqualNoCase(rest[0], p.key + "_Classes")) mount(p.classes);
      }
      take(1);
    } else if (root == kHkeyCurrentUser) {
      if (!user) return std::nullopt;
      if (is(0, "Software") && is(1, "Classes") && user->classes && user->classes->handle) {
        mount(user->classes);
        take(2);
      } else {
        mount(user->user);
      }
    } else if (root == kHkeyClassesRoot) {
      if (user) mount(user->classes);
      if (s_.software && s_.software->handle) {
        hive_h* h = s_.software->handle;
        if (const hive_node_h classes = hivex_node_get_child(h, hivex_root(h), "Classes")) {
          view.layers.push_back({h, classes});
        }
      }
    }
    // A damaged hive may lead a key back to one above it: such a key is missing, so that no walk
    // of the tree goes round for ever. Windows nests keys 512 deep at most.
    if (rest.size() > kMaxDepth) return std::nullopt;
    std::vector<std::vector<hive_node_h>> above(view.layers.size());
    for (const std::string& part : rest) {
      const std::string utf8 = Utf8Of(part);
      std::vector<Layer> below;
      std::vector<std::vector<hive_node_h>> belowAbove;
      for (size_t i = 0; i < view.layers.size(); ++i) {
        const Layer& layer = view.layers[i];
        const hive_node_h child = hivex_node_get_child(layer.hive, layer.node, utf8.c_str());
        if (child == 0 || child == layer.node || std::count(above[i].begin(), above[i].end(), child)) continue;
        below.push_back({layer.hive, child});
        belowAbove.push_back(std::move(above[i]));
        belowAbove.back().push_back(layer.node);
      }
      view.layers = std::move(below);
      above = std::move(belowAbove);
      if (view.layers.empty()) return std::nullopt;
    }
    if (view.layers.empty()) return std::nullopt;
    return view;
  }

  const std::vector<std::string>& SubKeys(KeyView& view) {
    if (view.subKeys) return *view.subKeys;
    std::map<std::string, std::string> byUpper;  // the first spelling of a name wins
    for (const std::string& m : view.mounts) byUpper.emplace(UpperAscii(m), m);
    for (const Layer& layer : view.layers) {
      hive_node_h* children = hivex_node_children(layer.hive, layer.node);
      if (!children) continue;
      for (hive_node_h* c = children; *c; ++c) {
        char* name = hivex_node_name(layer.hive, *c);
        if (!name) continue;
        const std::string ansi = AnsiOf(name);
        std::free(name);
        byUpper.emplace(UpperAscii(ansi), ansi);
      }
      std::free(children);
    }
    view.subKeys.emplace();
    for (auto& [upper, name] : byUpper) view.subKeys->push_back(name);
    return *view.subKeys;
  }

  const std::vector<ValueRef>& Values(KeyView& view) {
    if (view.values) return *view.values;
    view.values.emplace();
    std::map<std::string, bool> seen;
    for (const Layer& layer : view.layers) {
      hive_value_h* values = hivex_node_values(layer.hive, layer.node);
      if (!values) continue;
      for (hive_value_h* v = values; *v; ++v) {
        char* key = hivex_value_key(layer.hive, *v);
        if (!key) continue;
        std::string ansi = AnsiOf(key);
        std::free(key);
        if (seen.emplace(UpperAscii(ansi), true).second) view.values->push_back({std::move(ansi), layer.hive, *v});
      }
      std::free(values);
    }
    return *view.values;
  }

  // The value's type and bytes as RegQueryValueExA gives them: strings in the ANSI code page.
  static uint32_t Read(hive_h* hive, hive_value_h value, uint32_t* type, std::vector<uint8_t>* data) {
    hive_type t{};
    size_t length = 0;
    char* raw = hivex_value_value(hive, value, &t, &length);
    if (!raw) return Fail(win::kErrorInvalidData);
    if (type) *type = static_cast<uint32_t>(t);
    if (data) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(raw);
      if (IsStringType(t)) {
        const std::string ansi = AnsiOf(Utf16ToUtf8(bytes, length));
        data->assign(ansi.begin(), ansi.end());
      } else {
        data->assign(bytes, bytes + length);
      }
    }
    std::free(raw);
    return 0;
  }

  VolumeState& s_;
  std::map<RegKey, KeyView> roots_;
  std::map<RegKey, KeyView> keys_;
  RegKey nextKey_ = 0x1000;
};

}  // namespace

std::unique_ptr<Registry> MakeRegistry(VolumeState& state) { return std::make_unique<HiveRegistry>(state); }

}  // namespace platform::offline
