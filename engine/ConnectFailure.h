#pragma once

#include <string>

// Why a connection could not be made, in the words the log and the status bar give after
// "接続エラーです": the reason for a socket error or a failed name lookup (their Windows Sockets
// numbers), e.g. "接続を拒否されました".
std::string ConnectFailureReason(int socketError);

// The line for a connection that could not be made: "接続エラーです（接続を拒否されました）".
std::string ConnectFailureLine(int socketError);
