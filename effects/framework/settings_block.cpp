#include "effects/framework/settings_block.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/code_page.h"
#include "platform/utf.h"
#include "platform/error_numbers.h"

namespace tidemark {

namespace {

std::size_t FieldBytes(FieldType type) {
  switch (type) {
    case FieldType::kI16: return 2;
    case FieldType::kU8: return 1;
    case FieldType::kF32: return 4;
  }
  return 0;
}

bool IsFlagWord(std::string_view text, bool* value) {
  for (std::string_view on : {"1", "on", "yes", "true"})
    if (EqualsIgnoreAsciiCase(text, on)) return *value = true, true;
  for (std::string_view off : {"0", "off", "no", "false"})
    if (EqualsIgnoreAsciiCase(text, off)) return *value = false, true;
  return false;
}

bool ParseDouble(std::string_view text, double* value) {
  if (text.empty() || text.front() == '+') text.remove_prefix(text.empty() ? 0 : 1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(*value);
}

// The console's number for a stored value and back (before rounding).
double ToDisplay(const FieldUnit& unit, double stored) {
  // + 0.0: a negative scale must not show stored 0 as "-0".
  return unit.cents_re_1khz ? 1000.0 * std::exp2(stored / 1200.0) : stored / unit.scale + 0.0;
}
double ToStored(const FieldUnit& unit, double display) {
  if (!unit.cents_re_1khz) return display * unit.scale;
  return display > 0 ? 1200.0 * std::log2(display / 1000.0) : -HUGE_VAL;
}

std::string RangeText(const SettingsField& field, std::uint32_t rate) {
  std::string text(field.name);
  if (field.flag) {
    text += " takes on or off";
    return text;
  }
  if (!field.words.empty()) {
    text += " takes ";
    for (std::size_t i = 0; i < field.words.size(); ++i) {
      if (i) text += i + 1 == field.words.size() ? " or " : ", ";
      text += field.words[i];
    }
    return text;
  }
  text += " lies in ";
  // A negative scale shows the stored ends the other way round.
  const bool reversed = field.unit.scale < 0 && !field.unit.cents_re_1khz;
  text += FormatFieldValue(field, reversed ? FieldMax(field, rate) : field.min);
  text += " ... ";
  text += FormatFieldValue(field, reversed ? field.min : FieldMax(field, rate));
  if (!field.unit.name.empty()) {
    text += ' ';
    text += field.unit.name;
  }
  if (field.step > 0) {
    text += " in steps of ";
    text += FormatFieldValue(field, reversed ? -field.step : field.step);
  }
  return text;
}

}  // namespace

double FieldMax(const SettingsField& field, std::uint32_t rate) {
  return field.max_for_rate ? field.max_for_rate(rate) : field.max;
}

double GetField(const SettingsField& field, std::span<const std::uint8_t> block) {
  const std::uint8_t* p = block.data() + field.offset;
  switch (field.type) {
    case FieldType::kI16:
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    case FieldType::kU8:
      return p[0];
    case FieldType::kF32: {
      const std::uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
      return std::bit_cast<float>(bits);
    }
  }
  return 0;
}

void PutField(const SettingsField& field, double value, std::span<std::uint8_t> block) {
  std::uint8_t* p = block.data() + field.offset;
  switch (field.type) {
    case FieldType::kI16: {
      const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
      p[0] = static_cast<std::uint8_t>(bits);
      p[1] = static_cast<std::uint8_t>(bits >> 8);
      return;
    }
    case FieldType::kU8:
      p[0] = static_cast<std::uint8_t>(value);
      return;
    case FieldType::kF32: {
      const std::uint32_t bits = std::bit_cast<std::uint32_t>(static_cast<float>(value));
      for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
      return;
    }
  }
}

SettingsBlock DefaultBlock(const SettingsLayout& layout) {
  SettingsBlock block;
  block.bytes.assign(layout.size, 0);
  for (const SettingsField& field : layout.fields) PutField(field, field.def, block.bytes);
  return block;
}

SettingsBlock LoadBlock(const SettingsLayout& layout, const SettingsBlock& stored, std::uint32_t rate) {
  SettingsBlock block = DefaultBlock(layout);
  if (stored.size() > layout.size) block.bytes.resize(stored.size(), 0);
  // Only the fields a short block holds whole come from it.
  for (const SettingsField& field : layout.fields) {
    if (field.offset + FieldBytes(field.type) > stored.size()) continue;
    double value = GetField(field, stored.bytes);
    if (std::isnan(value)) {
      value = field.def;
    } else if (!field.flag) {
      // To the nearest step (half away from zero), as the dialog shows it.
      if (field.step > 0) value = std::round(value / field.step) * field.step;
      value = std::clamp(value, field.min, FieldMax(field, rate));
    }
    PutField(field, value, block.bytes);
  }
  // Extra bytes of a longer block are kept whole and unused.
  if (stored.size() > layout.size)
    std::copy(stored.bytes.begin() + layout.size, stored.bytes.end(), block.bytes.begin() + layout.size);
  return block;
}

namespace {

bool WideText(const SettingsLayout& layout, const SettingsBlock& block) {
  const std::size_t flag = layout.text->wide_flag_offset;
  return flag < block.bytes.size() && block.bytes[flag] != 0;
}

}  // namespace

std::string GetBlockText(const SettingsLayout& layout, const SettingsBlock& block) {
  if (!layout.text || block.size() <= layout.size) return {};
  const std::uint8_t* tail = block.bytes.data() + layout.size;
  const std::size_t bytes = block.size() - layout.size;
  if (!WideText(layout, block)) {
    const std::string_view narrow(reinterpret_cast<const char*>(tail), bytes);
    return NarrowToUtf8(narrow.substr(0, narrow.find('\0')));
  }
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    const auto unit = static_cast<char16_t>(tail[i] | tail[i + 1] << 8);
    if (unit == 0) break;
    wide += unit;
  }
  return Utf16ToUtf8(wide);
}

void PutBlockText(const SettingsLayout& layout, std::string_view utf8, SettingsBlock& block) {
  if (!layout.text) return;
  block.bytes.resize(layout.size, 0);
  if (!WideText(layout, block)) {
    const std::string narrow = Utf8ToNarrow(utf8);
    block.bytes.insert(block.bytes.end(), narrow.begin(), narrow.end());
    return;
  }
  for (const char16_t unit : Utf8ToUtf16(utf8)) {
    block.bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    block.bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

const SettingsField* FindField(const SettingsLayout& layout, std::string_view name) {
  for (const SettingsField& field : layout.fields)
    if (EqualsIgnoreAsciiCase(field.name, name)) return &field;
  return nullptr;
}

std::string FormatFieldValue(const SettingsField& field, double stored) {
  if (field.flag) return stored != 0 ? "on" : "off";
  if (!field.words.empty()) {
    const auto index = static_cast<std::size_t>(stored);
    if (stored >= 0 && index < field.words.size()) return std::string(field.words[index]);
  }
  char text[64];
  if (field.type == FieldType::kF32) {
    std::snprintf(text, sizeof text, "%.9g", ToDisplay(field.unit, stored));
  } else {
    std::snprintf(text, sizeof text, "%.*f", field.unit.decimals, ToDisplay(field.unit, stored));
  }
  return text;
}

Error ParseFieldValue(const SettingsField& field, std::string_view text, std::uint32_t rate, double* stored,
                      std::string* why) {
  if (field.flag) {
    bool on = false;
    if (!IsFlagWord(text, &on)) return *why = RangeText(field, rate), err::kSizeLimit;
    *stored = on ? 1 : 0;
    return err::kOk;
  }
  for (std::size_t i = 0; i < field.words.size(); ++i) {
    if (EqualsIgnoreAsciiCase(field.words[i], text)) {
      *stored = static_cast<double>(i);
      return err::kOk;
    }
  }
  double display = 0;
  if (!ParseDouble(text, &display)) return *why = RangeText(field, rate), err::kSizeLimit;
  double value = ToStored(field.unit, display);
  if (field.type != FieldType::kF32) value = std::round(value);  // half away from zero
  if (value < field.min || value > FieldMax(field, rate)) return *why = RangeText(field, rate), err::kSizeLimit;
  if (field.step > 0 && std::fmod(value, field.step) != 0) return *why = RangeText(field, rate), err::kSizeLimit;
  *stored = value;
  return err::kOk;
}

}  // namespace tidemark
