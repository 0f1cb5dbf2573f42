#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What the status bar shows about a running transfer: the progress bar, pane 2 (speed and time
// left) and pane 3 (byte count and percentage). Plain logic; the status bar widget shows it.
class CTransferProgress {
public:
    // Seconds on any fixed scale; the transfer rate only needs differences.
    using Clock = std::function<std::int64_t()>;

    explicit CTransferProgress(Clock clock = {});

    // A transfer of `total` bytes starts at `position` (the resume offset).
    void BeginProgress(std::uint64_t position, std::uint64_t total);
    // The transfer has grown to `total` bytes (a queue that learns of more files).
    void SetTotal(std::uint64_t total) { m_total = total; }
    // The data connection of the transfer is up: the rate counts from now.
    void MarkTransferStart();
    // A block of `bytes` went through.
    void AdvanceProgress(std::uint64_t bytes);
    // Hides the bar and empties panes 2 and 3.
    void ResetProgress();
    void ClearSpeedText() { m_speedText.clear(); }

    bool BarVisible() const { return m_barVisible; }
    // The bar's range and position, scaled down to fit a 32-bit bar.
    int BarMaximum() const;
    int BarValue() const;

    std::uint64_t Done() const { return m_done; }
    std::uint64_t Total() const { return m_total; }
    int Percent() const;
    const std::string& SpeedText() const { return m_speedText; }
    const std::string& CountText() const { return m_countText; }

private:
    int Scale() const;

    Clock m_clock;
    bool m_barVisible = false;
    std::uint64_t m_barPos = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_total = 0;
    std::int64_t m_start = 0;
    std::string m_speedText;
    std::string m_countText;
};
