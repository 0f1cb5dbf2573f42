#pragma once

#include <cstdint>

// The engine's reply time-out in milliseconds: 0 when time-outs are switched off (any nonzero
// `untimeout`); a stored time-out outside 1..999 seconds counts as 30.
std::uint32_t ReadEngineTimeoutMs();

// The upload block size in bytes; a stored size outside 1..24 KB counts as 4.
std::uint32_t ReadSendBufferBytes();

// The clamps on their own, for the settings pages that show and correct the stored values.
std::uint32_t ClampTimeoutSeconds(std::uint32_t stored);
std::uint32_t ClampSendBufferKb(std::uint32_t stored);
