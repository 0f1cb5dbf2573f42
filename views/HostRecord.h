#pragma once

#include <string>
#include <vector>

// One registered host. Field names are the names of the stored values; texts are kept as bytes.
struct HostRecord {
    std::string Name;
    std::string Adr;
    int Port = 21;
    int Hide = 0;
    std::string User;
    std::string Pass;
    int anonymous = 0;
    int Firewall = 0;
    int Pasv = 0;
    std::string UpPath;
    std::string DownPath;
    std::string Indexhtml = "index.html";
    int icon = 0;
    // The character set of the server's names (RemoteCharset; 0 is 自動).
    int charset = 0;

    bool operator==(const HostRecord&) const = default;
};

using HostList = std::vector<HostRecord>;

// "Host%d": the key name of host number n.
std::string HostKeyName(int number);
