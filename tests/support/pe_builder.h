// Small hand-built 32-bit PE images for the parser tests. File alignment equals section
// alignment, so the same bytes serve as the file on disk and as the image mapped in memory.
// Layout: headers at 0, code at 0x1000, the export directory at 0x2000, imports at 0x3000.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bs_test {

struct PeExport {
  std::string name = {};           // empty: exported by ordinal only
  std::vector<uint8_t> code = {};  // placed in the code section, unless `forwarder` or `rva` is set
  std::string forwarder = {};      // "MODULE.Function": the entry points into the export directory
  uint32_t rva = 0;                // a fixed function-table entry
};

struct PeImport {
  std::string module;
  std::vector<std::string> functions;
  std::vector<uint32_t> iat;  // the import address table's values (defaults: 0x11110000 + i)
  bool lookupTable = true;
};

struct PeImage {
  std::string dllName = "TEST.dll";
  uint32_t ordinalBase = 1;
  std::vector<PeExport> exports;
  std::vector<PeImport> imports;
  uint32_t sectionAlignment = 0x1000;
  uint32_t imageSize = 0x4000;  // the optional header's value
  uint32_t exportSectionRawSize = 0x1000;

  static constexpr uint32_t kCode = 0x1000, kExports = 0x2000, kImports = 0x3000, kSize = 0x4000;

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> b(kSize);
    auto put16 = [&](uint32_t at, uint32_t v) { uint16_t x = static_cast<uint16_t>(v); std::memcpy(&b[at], &x, 2); };
    auto put32 = [&](uint32_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    auto putText = [&](uint32_t at, const std::string& t) { std::memcpy(&b[at], t.c_str(), t.size() + 1); };
    b[0] = 'M';
    b[1] = 'Z';
    put32(0x3C, 0x40);
    std::memcpy(&b[0x40], "PE\0\0", 4);
    const uint32_t fh = 0x44, oh = 0x58;
    put16(fh, 0x14C);
    put16(fh + 2, 3);
    put16(fh + 16, 224);
    put16(fh + 18, 0x2102);
    put16(oh, 0x10B);
    put32(oh + 28, 0x400000);
    put32(oh + 32, sectionAlignment);
    put32(oh + 36, 0x1000);
    put32(oh + 56, imageSize);
    put32(oh + 60, 0x1000);
    put32(oh + 92, 16);
    const uint32_t sections = oh + 224;
    const char* names[3] = {".text", ".edata", ".idata"};
    const uint32_t starts[3] = {kCode, kExports, kImports};
    for (int i = 0; i < 3; ++i) {
      const uint32_t s = sections + 40 * i;
      std::memcpy(&b[s], names[i], std::strlen(names[i]));
      put32(s + 8, 0x1000);
      put32(s + 12, starts[i]);
      put32(s + 16, i == 1 ? exportSectionRawSize : 0x1000);
      put32(s + 20, starts[i]);
    }

    // Code.
    uint32_t code = kCode;
    std::vector<uint32_t> rvas;
    for (const PeExport& e : exports) {
      uint32_t rva = e.rva;
      if (!rva && e.forwarder.empty()) {
        rva = code;
        std::vector<uint8_t> bytes = e.code.empty() ? std::vector<uint8_t>{0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0xC3} : e.code;
        std::memcpy(&b[code], bytes.data(), bytes.size());
        code += static_cast<uint32_t>(bytes.size() + 16) & ~15u;
      }
      rvas.push_back(rva);
    }

    // Exports: directory, function table, name table (sorted as given), ordinals, texts.
    const uint32_t n = static_cast<uint32_t>(exports.size());
    const uint32_t functions = kExports + 40, namesTable = functions + 4 * n, ordinals = namesTable + 4 * n;
    uint32_t text = ordinals + 2 * n + 2;
    putText(text, dllName);
    put32(kExports + 12, text);
    text += static_cast<uint32_t>(dllName.size() + 1);
    put32(kExports + 16, ordinalBase);
    put32(kExports + 20, n);
    put32(kExports + 28, functions);
    put32(kExports + 32, namesTable);
    put32(kExports + 36, ordinals);
    uint32_t named = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const PeExport& e = exports[i];
      if (!e.forwarder.empty()) {
        rvas[i] = text;
        putText(text, e.forwarder);
        text += static_cast<uint32_t>(e.forwarder.size() + 1);
      }
      put32(functions + 4 * i, rvas[i]);
      if (e.name.empty()) continue;
      put32(namesTable + 4 * named, text);
      put16(ordinals + 2 * named, i);
      putText(text, e.name);
      text += static_cast<uint32_t>(e.name.size() + 1);
      ++named;
    }
    put32(kExports + 24, named);
    put32(oh + 96, kExports);
    put32(oh + 100, text - kExports);

    // Imports: descriptors, then per module its lookup table, address table, hint/name entries.
    if (!imports.empty()) {
      const uint32_t descriptors = kImports;
      uint32_t at = descriptors + 20 * static_cast<uint32_t>(imports.size() + 1);
      for (size_t m = 0; m < imports.size(); ++m) {
        const PeImport& imp = imports[m];
        const uint32_t count = static_cast<uint32_t>(imp.functions.size());
        const uint32_t lookup = at, iat = lookup + 4 * (count + 1);
        at = iat + 4 * (count + 1);
        const uint32_t moduleName = at;
        putText(at, imp.module);
        at += static_cast<uint32_t>(imp.module.size() + 1);
        // Without a lookup table each name follows the previous text: after its terminator, padding
        // to an even address and a 2-byte hint.
        uint32_t previous = moduleName, previousLength = static_cast<uint32_t>(imp.module.size());
        for (uint32_t i = 0; i < count; ++i) {
          uint32_t name = at + 2;
          if (!imp.lookupTable) name = previous + previousLength + (previousLength % 2 ? 3 : 4);
          if (imp.lookupTable) put32(lookup + 4 * i, name - 2);
          put32(iat + 4 * i, i < imp.iat.size() ? imp.iat[i] : 0x11110000 + i);
          putText(name, imp.functions[i]);
          previous = name;
          previousLength = static_cast<uint32_t>(imp.functions[i].size());
          at = name + previousLength + 1;
        }
        at = (at + 3) & ~3u;
        const uint32_t d = descriptors + 20 * static_cast<uint32_t>(m);
        put32(d, imp.lookupTable ? lookup : 0);
        put32(d + 12, moduleName);
        put32(d + 16, iat);
      }
      put32(oh + 104, descriptors);
      put32(oh + 108, 20 * static_cast<uint32_t>(imports.size() + 1));
    }
    return b;
  }
};

}  // namespace bs_test
