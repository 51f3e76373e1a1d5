// An effect's settings in their persistent form: a packed little-endian
// byte block (presets and chain members store it byte for byte), the
// description of its fields, and the store that keeps an effect's last-used
// block while the program runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tidemark {

// The bytes of one block. The reserved word of the stored form is always
// written as 0 and so is not kept.
struct SettingsBlock {
  std::vector<std::uint8_t> bytes;

  bool empty() const { return bytes.empty(); }
  std::uint32_t size() const { return static_cast<std::uint32_t>(bytes.size()); }
  bool operator==(const SettingsBlock&) const = default;
};

// How a field is stored.
enum class FieldType : std::uint8_t {
  kI16,  // signed 16-bit, little-endian
  kU8,   // one byte
  kF32,  // IEEE single, little-endian
};

// How the console shows a field: the stored value divided by `scale`,
// printed with `decimals` decimals, followed by nothing (the unit is named
// in help). Words replace numbers for modes: word i stands for stored i.
struct FieldUnit {
  std::string_view name;  // "dB", "Hz", "ms", "%", "degrees", "m", "" ...
  double scale = 1.0;     // stored = display x scale
  int decimals = 0;
  // A frequency stored as a pitch: cents relative to 1 kHz, so stored =
  // 1200 log2(display / 1000) (scale unused).
  bool cents_re_1khz = false;
};

inline constexpr FieldUnit kUnitCentiDb{"dB", 100.0, 2};
inline constexpr FieldUnit kUnitHz{"Hz", 1.0, 0};
inline constexpr FieldUnit kUnitPitchHz{"Hz", 1.0, 2, true};
inline constexpr FieldUnit kUnitCents{"cents", 1.0, 0};
inline constexpr FieldUnit kUnitMs{"ms", 1.0, 0};
inline constexpr FieldUnit kUnitPercent{"%", 1.0, 0};
inline constexpr FieldUnit kUnitDegrees{"degrees", 1.0, 0};
inline constexpr FieldUnit kUnitCentiMetres{"m", 100.0, 2};
inline constexpr FieldUnit kUnitNumber{"", 1.0, 0};

// One field of a block. Ranges are in stored units. A field whose range
// depends on the document's rate names a function for its upper end.
struct SettingsField {
  std::string_view name;  // the console's short lower-case name
  FieldType type = FieldType::kI16;
  std::uint16_t offset = 0;  // bytes from the block's start
  double min = 0;
  double max = 0;
  double def = 0;
  FieldUnit unit = kUnitNumber;
  std::span<const std::string_view> words = {};  // mode words, stored 0, 1, ...
  double (*max_for_rate)(std::uint32_t rate) = nullptr;
  // A byte flag: any non-zero value means set, and loading keeps it as is.
  bool flag = false;
  // The dialog's step in stored units (0: any): the console takes only
  // whole multiples, and loading rounds to the nearest one.
  double step = 0;
};

// A text that fills a block from the layout's size to the block's end (a
// filter description). The u8 at `wide_flag_offset` chooses its form: 0 the
// narrow code page, non-zero UTF-16LE. The text has no terminator; a NUL
// ends it early.
struct SettingsText {
  std::string_view name;  // the console's name for it
  std::uint16_t wide_flag_offset = 0;
};

// A block's layout: its size and fields in block order. Bytes no field
// covers are reserved and kept 0. With a text, `size` is the block's
// smallest size and the text follows.
struct SettingsLayout {
  std::uint32_t size = 0;
  std::span<const SettingsField> fields;
  const SettingsText* text = nullptr;
};

// The block's text in UTF-8 (empty for a layout without one).
std::string GetBlockText(const SettingsLayout& layout, const SettingsBlock& block);
// Replaces the block's text by `utf8` in the form its flag chooses (the
// block is first completed to the layout's size).
void PutBlockText(const SettingsLayout& layout, std::string_view utf8, SettingsBlock& block);

// The upper end of `field` for a document of `rate` Hz.
double FieldMax(const SettingsField& field, std::uint32_t rate);

// Reads and writes a field's stored value (no clamping). The block must hold
// the field's bytes.
double GetField(const SettingsField& field, std::span<const std::uint8_t> block);
void PutField(const SettingsField& field, double value, std::span<std::uint8_t> block);

// The block built from the fields' defaults (reserved bytes 0).
SettingsBlock DefaultBlock(const SettingsLayout& layout);

// Loads `stored` as a preset is loaded: an empty block gives the defaults; a
// shorter one is completed from the defaults; a longer one keeps its extra
// bytes unused; every field is rounded to its step and clamped to its range
// for `rate` (a float that is not a number takes its default); reserved
// bytes become 0.
SettingsBlock LoadBlock(const SettingsLayout& layout, const SettingsBlock& stored, std::uint32_t rate);

// The field named `name` (ASCII case ignored); none when unknown.
const SettingsField* FindField(const SettingsLayout& layout, std::string_view name);

// The console form of a stored value: a word for a field with words, else
// stored / scale with the unit's decimals ("-3.00", "440", "0.25").
std::string FormatFieldValue(const SettingsField& field, double stored);

// Parses the console form into the stored value. The rule: display x scale
// rounded half away from zero for integer fields (floats are kept as
// given); a word (any case) for a field with words; a flag takes 0/1,
// on/off, yes/no. The result must lie in the field's range for `rate`, else
// err::kSizeLimit (77) with `*why` naming the field and its range.
[[nodiscard]] Error ParseFieldValue(const SettingsField& field, std::string_view text, std::uint32_t rate,
                                    double* stored, std::string* why);

// The last-used block of one effect, empty until the effect has been set up
// once. Lives as long as the program.
class SettingsStore {
 public:
  const SettingsBlock& block() const { return block_; }
  SettingsBlock& block() { return block_; }
  void Set(SettingsBlock block) { block_ = std::move(block); }
  void Clear() { block_.bytes.clear(); }

 private:
  SettingsBlock block_;
};

}  // namespace tidemark
