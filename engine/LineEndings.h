#pragma once

#include <cstddef>
#include <string>

// ASCII transfers: the network writes lines with CR LF, this platform with LF. Both converters work
// on data as it arrives in pieces, so a CR LF split across two pieces is still one line end.

// Network to local: CR LF becomes LF; a CR not followed by LF stays.
class CrLfToLf {
public:
    void Convert(const char* data, std::size_t size, std::string& out);
    // The end of the data: a CR held back at the end of the last piece is written out.
    void Finish(std::string& out);

private:
    bool m_pendingCr = false;
};

// Local to network: a LF without a CR before it becomes CR LF; an existing CR LF stays as it is.
class LfToCrLf {
public:
    void Convert(const char* data, std::size_t size, std::string& out);

private:
    bool m_lastWasCr = false;
};
