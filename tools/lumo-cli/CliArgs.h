#pragma once

#include <optional>
#include <string>
#include <vector>

// What a lumo-cli command line asks for. Parsing never throws; a bad line gives an error text and the
// program answers it with the usage and exit status 2.
struct CliArgs {
    enum class Mode { HostDefault, Passive, Active };
    enum class Existing { Fail, Overwrite, Resume, Skip };

    Mode mode = Mode::HostDefault;
    bool ascii = false;
    bool verbose = false;
    Existing existing = Existing::Fail;
    std::optional<int> timeoutSeconds;
    // --parallel: connections for the files of get and put; lumo's setting for the host when unset.
    std::optional<int> parallel;
    // The character set of the server's names (RemoteCharset's number); the host's own when unset.
    std::optional<int> charset;
    // --tls (explicit) or --implicit-tls: HostSecurity, unset for the host's own or the scheme's.
    std::optional<int> security;
    // --accept-fingerprint: the SHA-256 of a certificate to accept although nothing vouches for it
    // (64 upper-case hex digits).
    std::string acceptFingerprint;
    // mirror-up and mirror-down: remove what the source side does not have, only show what would
    // happen, let the source win conflicts and large removals, and names left alone.
    bool mirrorDelete = false;
    bool dryRun = false;
    bool force = false;
    std::vector<std::string> excludes;
    bool help = false;

    // Empty for "import", which takes no host.
    std::string target;
    std::string command;
    std::vector<std::string> args;
};

struct CliParse {
    CliArgs args;
    std::string error; // empty when the line is good
};

CliParse ParseCliArgs(const std::vector<std::string>& argv);

std::string CliUsage();
