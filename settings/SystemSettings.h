#pragma once

#include <cstdint>
#include <string>

// The engine's reply time-out in milliseconds: 0 when time-outs are switched off (any nonzero
// `untimeout`); a stored time-out outside 1..999 seconds counts as 30.
std::uint32_t ReadEngineTimeoutMs();

// The upload block size in bytes; a stored size outside 1..24 KB counts as 4.
std::uint32_t ReadSendBufferBytes();

// The clamps on their own, for the settings pages that show and correct the stored values.
std::uint32_t ClampTimeoutSeconds(std::uint32_t stored);
std::uint32_t ClampSendBufferKb(std::uint32_t stored);

// The system page's values, as the page shows them: the time-out and the send size corrected into
// their ranges, the system folder chosen unless `systemp` says otherwise.
struct SystemPageSettings {
    std::uint32_t timeout = 30;
    bool untimeout = false;
    std::uint32_t sendbuf = 4;
    bool systemp = true;
    std::string temp;

    static SystemPageSettings Load();
    // Creates the system key when it is missing; the time-out and send size are corrected again.
    void Save() const;
};
