// The layout of the program's 32-bit error codes: bits 16 to 23 are the class,
// bits 0 to 15 the number within the class. Class 0 holds the program's own
// general errors (platform/error_numbers.h names those the platform layer
// raises); the other classes are named here.
#pragma once

#include <cstdint>

#include "platform/error_numbers.h"

namespace tidemark::err {

constexpr std::uint32_t ErrorClass(Error error) { return (error.code() >> 16) & 0xFFu; }
constexpr std::uint32_t ErrorNumber(Error error) { return error.code() & 0xFFFFu; }

// Class numbers (what ErrorClass answers), not errors.
inline constexpr std::uint32_t kClassGeneral = 0x00;
inline constexpr std::uint32_t kClassWaveIn = 0x01;
inline constexpr std::uint32_t kClassWaveOut = 0x02;
inline constexpr std::uint32_t kClassScript = 0x03;
inline constexpr std::uint32_t kClassEffectChain = 0x04;
inline constexpr std::uint32_t kClassCdDrive = 0x05;
inline constexpr std::uint32_t kClassOs = 0xFD;
inline constexpr std::uint32_t kClassWorkspaceAccess = 0xFE;
inline constexpr std::uint32_t kClassSilent = 0xFF;

// General errors 0 to 81 have texts (all but 60); this is the first number without one.
inline constexpr std::uint32_t kGeneralCodeCount = 82;

// Recording and playback devices.
inline constexpr Error kWaveInOpenFailed{0x10000};
inline constexpr Error kWaveInFailed{0x10001};
inline constexpr Error kWaveOutOpenFailed{0x20000};
inline constexpr Error kWaveOutFailed{0x20001};

// Automation file writers, CD subsystem, effect dialogs, script host: 0x30000 to 0x3000D.
inline constexpr Error kScriptFirst{0x30000};
inline constexpr std::uint32_t kScriptCount = 14;
inline constexpr Error kScriptHostEnding{0x30000};
inline constexpr Error kScriptEngineStartFailed{0x3000C};
inline constexpr Error kScriptUnexpected{0x3000D};

// Effect chains.
inline constexpr Error kEffectChainFailed{0x40000};
inline constexpr Error kEffectChainUnreadable{0x40001};
inline constexpr Error kEffectChainNotFound{0x40002};

// A file or folder of the workspace cannot be accessed (between the workspace
// functions only; they turn it into 68 before it reaches the user).
inline constexpr Error kWorkspaceAccess{0xFE0000u};

// Quiet outcomes, never shown to the user (negative as signed 32-bit).
// kCancelled (0xFFFFFFFF) lives in platform/error_numbers.h.
inline constexpr Error kNoSelectionRaised{0xFFFFFFFEu};
inline constexpr Error kSilentOther{0xFFFFFFFDu};
inline constexpr Error kNoSelection{0xFFFFFFFBu};

// A code that is 0 or negative as a signed 32-bit value is never shown.
constexpr bool IsShownToUser(Error error) { return static_cast<std::int32_t>(error.code()) > 0; }

}  // namespace tidemark::err
