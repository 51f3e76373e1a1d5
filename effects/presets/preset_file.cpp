#include "effects/presets/preset_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include "platform/code_page.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"
#include "platform/safe_replace.h"
#include "platform/utf.h"

namespace tidemark {

namespace {

constexpr std::uint16_t kFormatVersion = 0x0102;
constexpr std::uint16_t kFirstNewerVersion = 0x0103;
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kMaxBackupPath = 255;
constexpr std::uint8_t kProgramVersion[4] = {1, 8, 5, 2};

// The four-character code as it is stored.
using Code = std::array<char, 4>;
constexpr Code C(const char (&s)[5]) { return {s[0], s[1], s[2], s[3]}; }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The case-folded form of a name unit: ASCII and Latin-1 letters.
char16_t FoldUnit(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  return c;
}

std::u16string FoldedName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = FoldUnit(c);
  return folded;
}

// A record's bytes before they go out in one write.
class RecordBytes {
 public:
  explicit RecordBytes(Code code) { bytes_.insert(bytes_.end(), code.begin(), code.end()); }
  RecordBytes& U16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
  }
  RecordBytes& U32(std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
    return *this;
  }
  RecordBytes& Bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
    return *this;
  }
  // The one padding rule of "data" and narrow "text": an odd payload gets a zero byte.
  RecordBytes& PadEven(std::size_t payload) {
    if (payload & 1) bytes_.push_back(0);
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Writes a replacement file beside the target record by record; the target
// is replaced only by Commit, and an abandoned temporary file is removed.
class RecordWriter {
 public:
  ~RecordWriter() {
    if (file_.is_open()) (void)file_.Close();
    if (!temp_.empty()) (void)UnlinkFile(temp_);
  }

  Error Begin(const std::string& path) {
    target_ = path;
    temp_ = HiddenSiblingName(path);
    FileOpenOptions options;
    options.access = FileAccess::kWrite;
    options.disposition = FileDisposition::kCreateNew;
    if (file_.Open(temp_, options)) {
      temp_.clear();
      return err::kCreateFailed;
    }
    return err::kOk;
  }

  std::uint64_t position() const { return position_; }

  Error Write(const void* data, std::size_t n) {
    std::size_t done = 0;
    if (file_.WriteAt(data, n, position_, &done) || done != n) return err::kWriteFailed;
    position_ += n;
    return err::kOk;
  }
  Error Write(const RecordBytes& record) { return Write(record.bytes().data(), record.bytes().size()); }

  Error PatchU32(std::uint64_t at, std::uint32_t value) {
    std::uint8_t le[4];
    for (int i = 0; i < 4; ++i) le[i] = static_cast<std::uint8_t>(value >> (8 * i));
    std::size_t done = 0;
    if (file_.WriteAt(le, 4, at, &done) || done != 4) return err::kWriteFailed;
    return err::kOk;
  }

  Error Commit() {
    if (file_.Sync()) return err::kWriteFailed;
    if (file_.Close()) return err::kWriteFailed;
    if (RenameFile(temp_, target_, /*no_replace=*/false)) return err::kWriteFailed;
    temp_.clear();
    (void)SyncFolder(FolderOf(target_));
    return err::kOk;
  }

 private:
  PosixFile file_;
  std::string target_;
  std::string temp_;
  std::uint64_t position_ = 0;
};

// Reads records with one system read each; every size is checked against
// the bytes that remain before anything is allocated or read.
class RecordReader {
 public:
  // `*missing` when there is no such file; 8 when one is there but cannot
  // be read (it must not pass for empty and be written over).
  Error Open(const std::string& path, bool* missing) {
    *missing = false;
    FileOpenOptions options;
    if (file_.Open(path, options)) {
      *missing = file_.last_errno() == ENOENT || file_.last_errno() == ENOTDIR;
      return *missing ? err::kOk : err::kReadFailed;
    }
    return file_.Size(&size_) ? err::kReadFailed : err::kOk;
  }

  std::uint64_t remaining() const { return size_ - position_; }

  Error Read(void* dst, std::uint64_t n) {
    if (n > remaining()) return err::kReadFailed;
    std::size_t done = 0;
    if (file_.ReadAt(dst, static_cast<std::size_t>(n), position_, &done) || done != n) return err::kReadFailed;
    position_ += n;
    return err::kOk;
  }

  // Reads a record's code and its fixed part of N bytes.
  template <std::size_t N>
  Error Fixed(Code code, std::array<std::uint8_t, N>* fixed) {
    std::uint8_t raw[4 + N];
    if (const Error rc = Read(raw, sizeof raw)) return rc;
    if (std::memcmp(raw, code.data(), 4) != 0) return err::kReadFailed;
    std::memcpy(fixed->data(), raw + 4, N);
    return err::kOk;
  }

  // A "data" record of `size` bytes. With `defaults`, a shorter block is
  // completed from their tail at the same offsets; the block is allocated
  // once at its final size.
  Error Data(std::uint32_t size, const SettingsBlock* defaults, SettingsBlock* out) {
    const std::uint64_t total = 4ull + size + (size & 1u);
    if (total > remaining()) return err::kReadFailed;
    const std::size_t final_size = std::max<std::size_t>(size, defaults ? defaults->bytes.size() : 0);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(std::max<std::size_t>(static_cast<std::size_t>(total), final_size));
    bytes.resize(static_cast<std::size_t>(total));
    if (const Error rc = Read(bytes.data(), total)) return rc;
    if (std::memcmp(bytes.data(), "data", 4) != 0) return err::kReadFailed;
    bytes.erase(bytes.begin(), bytes.begin() + 4);
    bytes.resize(size);
    if (final_size > size) bytes.insert(bytes.end(), defaults->bytes.begin() + size, defaults->bytes.end());
    out->bytes = std::move(bytes);
    return err::kOk;
  }

  // A name of `length` characters: "wtxt" in current files (absent when
  // empty), "text" in the system code page in older ones (always present).
  Error Name(std::uint16_t version, std::uint32_t length, std::u16string* name) {
    name->clear();
    if (version >= kFormatVersion) {
      if (length == 0) return err::kOk;
      const std::uint64_t total = 4ull + 2ull * length;
      if (total > remaining()) return err::kReadFailed;
      std::vector<std::uint8_t> raw(static_cast<std::size_t>(total));
      if (const Error rc = Read(raw.data(), total)) return rc;
      if (std::memcmp(raw.data(), "wtxt", 4) != 0) return err::kReadFailed;
      name->resize(length);
      for (std::uint32_t i = 0; i < length; ++i) (*name)[i] = static_cast<char16_t>(U16(&raw[4 + 2 * i]));
      return err::kOk;
    }
    const std::uint64_t total = 4ull + length + (length & 1u);
    if (total > remaining()) return err::kReadFailed;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(total));
    if (const Error rc = Read(raw.data(), total)) return rc;
    if (std::memcmp(raw.data(), "text", 4) != 0) return err::kReadFailed;
    const std::string_view narrow(reinterpret_cast<const char*>(raw.data() + 4), length);
    *name = Utf8ToUtf16(NarrowToUtf8(narrow));
    return err::kOk;
  }

 private:
  PosixFile file_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

Code KindCode(PresetFileKind kind) { return kind == PresetFileKind::kPresets ? C("pres") : C("chps"); }

Error WriteHeader(RecordWriter& w, PresetFileKind kind) {
  std::uint8_t header[kHeaderSize] = {'t', 'i', 'd', 'e', kFormatVersion >> 8, kFormatVersion & 0xFF};
  std::memcpy(header + 8, kProgramVersion, 4);
  std::memcpy(header + 16, KindCode(kind).data(), 4);
  return w.Write(header, sizeof header);
}

Error WriteData(RecordWriter& w, const SettingsBlock& block) {
  return w.Write(RecordBytes(C("data")).Bytes(block.bytes.data(), block.bytes.size()).PadEven(block.bytes.size()));
}

Error WriteName(RecordWriter& w, std::u16string_view name) {
  if (name.empty()) return err::kOk;
  RecordBytes record(C("wtxt"));
  for (const char16_t unit : name) record.U16(static_cast<std::uint16_t>(unit));
  return w.Write(record);
}

// "mapc" and the four maps in kind order; the slots outside `filled` empty.
Error WriteMaps(RecordWriter& w, const PresetRegistry& registry, std::uint32_t filled) {
  if (const Error rc = w.Write(RecordBytes(C("mapc")).U32(kPresetSlotCount))) return rc;
  for (std::uint32_t slot = 0; slot < kPresetSlotCount; ++slot) {
    SettingsBlock names;
    std::uint16_t count = 0;
    if (filled & (1u << slot)) {
      for (const PresetEntry& entry : registry.slots[slot]) {
        names.bytes.insert(names.bytes.end(), entry.identifier.begin(), entry.identifier.end());
        names.bytes.push_back(0);
        ++count;
      }
    }
    if (const Error rc = w.Write(RecordBytes(C("map ")).U16(PresetKindOfSlot(slot)).U16(count).U32(names.size())))
      return rc;
    if (const Error rc = WriteData(w, names)) return rc;
  }
  return err::kOk;
}

// Per slot, file index -> registry position (-1: not found).
using Translation = std::array<std::vector<int>, kPresetSlotCount>;

Error ReadMaps(RecordReader& r, const PresetRegistry& registry, Translation* tables) {
  std::array<std::uint8_t, 4> count;
  if (const Error rc = r.Fixed(C("mapc"), &count)) return rc;
  for (std::uint32_t m = 0, n = U32(count.data()); m < n; ++m) {
    std::array<std::uint8_t, 8> fixed;
    if (const Error rc = r.Fixed(C("map "), &fixed)) return rc;
    SettingsBlock names;
    if (const Error rc = r.Data(U32(&fixed[4]), nullptr, &names)) return rc;
    const std::uint32_t slot = PresetSlotOfKind(U16(&fixed[0]));
    if (slot >= kPresetSlotCount) continue;
    std::vector<int>& table = (*tables)[slot];
    table.clear();
    const std::vector<PresetEntry>& entries = registry.slots[slot];
    std::size_t begin = 0;
    for (std::size_t i = 0; i < names.bytes.size(); ++i) {
      if (names.bytes[i] != 0) continue;
      std::string id(reinterpret_cast<const char*>(names.bytes.data() + begin), i - begin);
      begin = i + 1;
      if (slot == 2) id = CanonicalClassId(id);
      int found = -1;
      for (std::size_t e = 0; e < entries.size() && found < 0; ++e)
        if ((slot == 2 ? CanonicalClassId(entries[e].identifier) : entries[e].identifier) == id)
          found = static_cast<int>(e);
      table.push_back(found);
    }
  }
  return err::kOk;
}

// The registry entry a file's (kind, index) names; null when none.
template <class Registry>
auto Translate(Registry& registry, const Translation& tables, std::uint16_t kind, std::uint16_t index,
               std::uint16_t* position) -> decltype(&registry.slots[0][0]) {
  const std::uint32_t slot = PresetSlotOfKind(kind);
  if (slot >= kPresetSlotCount || index >= tables[slot].size() || tables[slot][index] < 0) return nullptr;
  *position = static_cast<std::uint16_t>(tables[slot][index]);
  return &registry.slots[slot][*position];
}

void NoteMissing(std::uint16_t kind, std::uint32_t* missing) {
  const std::uint32_t slot = PresetSlotOfKind(kind);
  if (slot < 32) *missing |= 1u << slot;
}

Error CopyToBackup(const std::string& path) {
  const std::string backup = PresetBackupPath(path);
  if (backup.size() > kMaxBackupPath) return err::kOk;
  RecordReader source;
  bool missing = false;
  if (const Error rc = source.Open(path, &missing); rc || missing) return rc;
  RecordWriter w;
  if (const Error rc = w.Begin(backup)) return rc;
  std::vector<std::uint8_t> chunk(std::size_t{1} << 16);
  while (source.remaining() > 0) {
    const std::uint64_t n = std::min<std::uint64_t>(chunk.size(), source.remaining());
    if (const Error rc = source.Read(chunk.data(), n)) return rc;
    if (const Error rc = w.Write(chunk.data(), static_cast<std::size_t>(n))) return rc;
  }
  return w.Commit();
}

// A damaged file is copied to its ".bak" name too; `rc` is kept.
Error KeepDamaged(const std::string& path, Error rc) {
  if (rc == err::kReadFailed) (void)CopyToBackup(path);
  return rc;
}

// Opens and checks the header. `*go` false: nothing to load (missing file,
// foreign header, newer version already backed up).
Error OpenContainer(RecordReader& r, const std::string& path, PresetFileKind kind, std::uint16_t* version,
                    bool* go) {
  *go = false;
  bool missing = false;
  if (const Error rc = r.Open(path, &missing); rc || missing) return rc;
  // A file we cannot use is copied to its ".bak" name before the next save
  // writes over it, so nothing another program or a damaged write left is lost.
  std::uint8_t header[kHeaderSize];
  if (r.remaining() == 0) return err::kOk;
  if (r.Read(header, sizeof header)) return CopyToBackup(path);
  if (std::memcmp(header, "tide", 4) != 0 || std::memcmp(header + 16, KindCode(kind).data(), 4) != 0)
    return CopyToBackup(path);
  *version = static_cast<std::uint16_t>(header[4] << 8 | header[5]);
  if (*version >= kFirstNewerVersion) return CopyToBackup(path);
  *go = true;
  return err::kOk;
}

Error ReadChains(const std::string& path, const PresetRegistry& registry, const std::u16string_view* wanted,
                 std::vector<EffectChainPreset>* chains, std::uint32_t* missing) {
  RecordReader r;
  std::uint16_t version = 0;
  bool go = false;
  if (const Error rc = OpenContainer(r, path, PresetFileKind::kChains, &version, &go); rc || !go) return rc;
  Translation tables;
  if (const Error rc = ReadMaps(r, registry, &tables)) return rc;
  std::array<std::uint8_t, 4> count;
  if (const Error rc = r.Fixed(C("chpc"), &count)) return rc;
  for (std::uint32_t c = 0, n = U32(count.data()); c < n; ++c) {
    std::array<std::uint8_t, 12> fixed;
    if (const Error rc = r.Fixed(C("chps"), &fixed)) return rc;
    EffectChainPreset chain;
    chain.flag = U32(&fixed[0]);
    if (const Error rc = r.Name(version, U32(&fixed[4]), &chain.name)) return rc;
    const bool keep = !wanted || SamePresetName(chain.name, *wanted);
    for (std::uint32_t m = 0, members = U32(&fixed[8]); m < members; ++m) {
      std::array<std::uint8_t, 8> entry_fixed;
      if (const Error rc = r.Fixed(C("chen"), &entry_fixed)) return rc;
      ChainMember member;
      member.kind = U16(&entry_fixed[0]);
      const PresetEntry* entry = Translate(registry, tables, member.kind, U16(&entry_fixed[2]), &member.index);
      const bool usable = keep && entry && entry->available;
      if (const Error rc = r.Data(U32(&entry_fixed[4]), usable ? &entry->defaults : nullptr, &member.block))
        return rc;
      if (!keep) continue;
      if (!usable) {
        NoteMissing(member.kind, missing);
        continue;
      }
      chain.members.push_back(std::move(member));
    }
    if (!keep) continue;
    chains->push_back(std::move(chain));
    if (wanted) return err::kOk;
  }
  return err::kOk;
}

}  // namespace

bool SamePresetName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldUnit(a[i]) != FoldUnit(b[i])) return false;
  return true;
}

void InsertPreset(std::vector<Preset>& list, Preset preset) {
  for (Preset& p : list) {
    if (SamePresetName(p.name, preset.name)) {
      p = std::move(preset);
      return;
    }
  }
  list.insert(list.begin(), std::move(preset));
}

std::string CanonicalClassId(std::string_view text) {
  std::string_view inner = text;
  if (inner.size() == 38 && inner.front() == '{' && inner.back() == '}') inner = inner.substr(1, 36);
  if (inner.size() != 36) return std::string(text);
  std::string out = "{";
  for (std::size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    const bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash_place) {
      if (c != '-') return std::string(text);
      out += c;
      continue;
    }
    if (c >= '0' && c <= '9') out += c;
    else if (c >= 'a' && c <= 'f') out += static_cast<char>(c - 32);
    else if (c >= 'A' && c <= 'F') out += c;
    else return std::string(text);
  }
  return out + "}";
}

std::string PresetBackupPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
    return path + ".bak";
  return path.substr(0, dot) + ".bak" + path.substr(dot);
}

Error WritePresetFile(const std::string& path, const PresetRegistry& registry, std::uint32_t slot_mask) {
  RecordWriter w;
  if (const Error rc = w.Begin(path)) return rc;
  if (const Error rc = WriteHeader(w, PresetFileKind::kPresets)) return rc;
  if (const Error rc = WriteMaps(w, registry, slot_mask)) return rc;
  std::uint32_t lists = 0;
  for (std::uint32_t slot = 0; slot < kPresetSlotCount; ++slot)
    if (slot_mask & (1u << slot)) lists += static_cast<std::uint32_t>(registry.slots[slot].size());
  if (const Error rc = w.Write(RecordBytes(C("pslc")).U32(lists))) return rc;
  for (std::uint32_t slot = 0; slot < kPresetSlotCount; ++slot) {
    if (!(slot_mask & (1u << slot))) continue;
    const std::vector<PresetEntry>& entries = registry.slots[slot];
    for (std::size_t e = 0; e < entries.size(); ++e) {
      // The count goes out as 0 and is patched once the presets are written.
      const std::uint64_t count_at = w.position() + 8;
      if (const Error rc = w.Write(RecordBytes(C("psls")).U16(PresetKindOfSlot(slot)).U16(static_cast<std::uint16_t>(e)).U32(0)))
        return rc;
      std::uint32_t written = 0;
      // Oldest first: the reader adds each at the head, so a file read and
      // written again keeps its order.
      for (auto it = entries[e].presets.rbegin(); it != entries[e].presets.rend(); ++it) {
        const Preset& preset = *it;
        if (preset.removed || preset.block.empty()) continue;
        if (const Error rc = w.Write(RecordBytes(C("pres")).U32(static_cast<std::uint32_t>(preset.name.size())).U32(preset.block.size())))
          return rc;
        if (const Error rc = WriteName(w, preset.name)) return rc;
        if (const Error rc = WriteData(w, preset.block)) return rc;
        ++written;
      }
      if (written > 0)
        if (const Error rc = w.PatchU32(count_at, written)) return rc;
    }
  }
  return w.Commit();
}

namespace {

Error ReadPresets(const std::string& path, PresetRegistry& registry, std::uint32_t* missing) {
  RecordReader r;
  std::uint16_t version = 0;
  bool go = false;
  if (const Error rc = OpenContainer(r, path, PresetFileKind::kPresets, &version, &go); rc || !go) return rc;
  Translation tables;
  if (const Error rc = ReadMaps(r, registry, &tables)) return rc;
  std::array<std::uint8_t, 4> count;
  if (const Error rc = r.Fixed(C("pslc"), &count)) return rc;
  for (std::uint32_t l = 0, lists = U32(count.data()); l < lists; ++l) {
    std::array<std::uint8_t, 8> fixed;
    if (const Error rc = r.Fixed(C("psls"), &fixed)) return rc;
    const std::uint16_t kind = U16(&fixed[0]);
    std::uint16_t position = 0;
    PresetEntry* entry = Translate(registry, tables, kind, U16(&fixed[2]), &position);
    if (!entry) NoteMissing(kind, missing);
    // The list's presets in file order, one per name (a later one replaces
    // an earlier in place), found through a hash: a list of many names must
    // not cost a scan per preset.
    std::vector<Preset> fresh;
    std::unordered_map<std::u16string, std::size_t> at;
    const auto read_list = [&]() -> Error {
      for (std::uint32_t p = 0, presets = U32(&fixed[4]); p < presets; ++p) {
        std::array<std::uint8_t, 8> pres;
        if (const Error rc = r.Fixed(C("pres"), &pres)) return rc;
        Preset preset;
        if (const Error rc = r.Name(version, U32(&pres[0]), &preset.name)) return rc;
        if (const Error rc = r.Data(U32(&pres[4]), entry ? &entry->defaults : nullptr, &preset.block)) return rc;
        if (!entry) continue;
        const auto [it, added] = at.emplace(FoldedName(preset.name), fresh.size());
        if (added) fresh.push_back(std::move(preset));
        else fresh[it->second] = std::move(preset);
      }
      return err::kOk;
    };
    const Error rc = read_list();
    // Each preset goes to the head: the list ends up in reverse file order.
    if (entry && entry->presets.empty()) {
      entry->presets.assign(std::make_move_iterator(fresh.rbegin()), std::make_move_iterator(fresh.rend()));
    } else if (entry) {
      for (Preset& preset : fresh) InsertPreset(entry->presets, std::move(preset));
    }
    if (rc) return rc;
  }
  return err::kOk;
}

}  // namespace

Error WriteChainFile(const std::string& path, const PresetRegistry& registry,
                     const std::vector<EffectChainPreset>& chains) {
  RecordWriter w;
  if (const Error rc = w.Begin(path)) return rc;
  if (const Error rc = WriteHeader(w, PresetFileKind::kChains)) return rc;
  if (const Error rc = WriteMaps(w, registry, 0b0111)) return rc;
  if (const Error rc = w.Write(RecordBytes(C("chpc")).U32(static_cast<std::uint32_t>(chains.size())))) return rc;
  for (const EffectChainPreset& chain : chains) {
    if (const Error rc = w.Write(RecordBytes(C("chps"))
                                     .U32(chain.flag)
                                     .U32(static_cast<std::uint32_t>(chain.name.size()))
                                     .U32(static_cast<std::uint32_t>(chain.members.size()))))
      return rc;
    if (const Error rc = WriteName(w, chain.name)) return rc;
    for (const ChainMember& member : chain.members) {
      if (const Error rc = w.Write(RecordBytes(C("chen")).U16(member.kind).U16(member.index).U32(member.block.size())))
        return rc;
      if (const Error rc = WriteData(w, member.block)) return rc;
    }
  }
  return w.Commit();
}

Error ReadPresetFile(const std::string& path, PresetRegistry& registry, std::uint32_t* missing) {
  *missing = 0;
  return KeepDamaged(path, ReadPresets(path, registry, missing));
}

Error ReadChainFile(const std::string& path, const PresetRegistry& registry, std::vector<EffectChainPreset>* chains,
                    std::uint32_t* missing) {
  *missing = 0;
  chains->clear();
  return KeepDamaged(path, ReadChains(path, registry, nullptr, chains, missing));
}

Error ReadOneChain(const std::string& path, const PresetRegistry& registry, std::u16string_view name,
                   EffectChainPreset* chain, bool* found, std::uint32_t* missing) {
  *missing = 0;
  std::vector<EffectChainPreset> one;
  const Error rc = KeepDamaged(path, ReadChains(path, registry, &name, &one, missing));
  *found = !one.empty();
  if (*found) *chain = std::move(one.front());
  return rc;
}

}  // namespace tidemark
