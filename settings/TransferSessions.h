#pragma once

// How many sessions of one host transfer a run of many files at once. The options hold the count
// every host uses unless it names its own (TransferSessionsFor in hosts/HostSessions.h).
namespace TransferSessions {
inline constexpr int Min = 1;
inline constexpr int Max = 10;
inline constexpr int Default = 4;
} // namespace TransferSessions

// The options' count, read from the store now: 0 (as a missing or unreadable value reads) is the
// default, a count above the most is the most.
int DefaultTransferSessions();
// Stores the options' count, corrected into its range; creates the option key when it is missing.
void SaveDefaultTransferSessions(int sessions);
