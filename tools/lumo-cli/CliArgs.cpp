#include "CliArgs.h"

#include "engine/CertificateCheck.h"
#include "engine/FtpAddress.h"
#include "hosts/HostRecord.h"
#include "platform/TextCodec.h"

#include <cctype>
#include <map>

namespace {

// Arguments each command takes: at least, at most.
const std::map<std::string, std::pair<size_t, size_t>>& commandArity() {
    static const std::map<std::string, std::pair<size_t, size_t>> arity = {
        {"ls", {0, 1}}, {"get", {1, 2}},   {"put", {1, 2}}, {"rm", {1, 1}},        {"mkdir", {1, 1}},
        {"mv", {2, 2}}, {"chmod", {2, 2}}, {"pwd", {0, 0}}, {"mirror-up", {2, 2}}, {"mirror-down", {2, 2}},
    };
    return arity;
}

bool isOctalMode(const std::string& s) {
    if (s.size() != 3)
        return false;
    for (char c : s) {
        if (c < '0' || c > '7')
            return false;
    }
    return true;
}

} // namespace

std::string CliUsage() {
    return "usage: lumo-cli [options] TARGET COMMAND [ARGS...]\n"
           "       lumo-cli import FILE\n"
           "\n"
           "TARGET   ftp://[user[:password]@]host[:port], or a host registered in lumo (its name or "
           "Host<n>);\n"
           "         ftpes:// for explicit TLS, ftps:// for implicit TLS (port 990); [::1] for IPv6\n"
           "COMMAND  ls [PATH] | get REMOTE [LOCALDIR] | put LOCAL [REMOTEDIR] | rm REMOTE\n"
           "         | mkdir PATH | mv FROM TO | chmod MODE PATH | pwd\n"
           "         | mirror-up LOCAL REMOTE | mirror-down REMOTE LOCAL\n"
           "import   adds the FTP hosts of FileZilla's sitemanager.xml or WinSCP's WinSCP.ini to lumo's\n"
           "         hosts (a host named \"import\" is reached as Host<n>)\n"
           "\n"
           "options:\n"
           "  --passive, --active     data connection mode (default: the host's setting; passive for a URL)\n"
           "  --ascii, --binary       transfer mode (default binary)\n"
           "  --overwrite, --resume, --skip\n"
           "                          what to do with a file that exists already (default: fail)\n"
           "  --timeout SECONDS       reply time-out, 1 to 999\n"
           "  --parallel N            transfer files over N connections at once, 1 to 10 (default: lumo's\n"
           "                          setting for the host, 4 unless changed); a failed file does not stop\n"
           "                          the others, and the failures are named at the end\n"
           "  --charset NAME          the server's names: auto, utf-8, shift_jis (cp932), euc-jp, jis\n"
           "                          (default: the host's setting; auto for a URL)\n"
           "  --tls                   explicit TLS (AUTH TLS); the session ends when the server refuses\n"
           "  --implicit-tls          implicit TLS (port 990 unless given)\n"
           "  --accept-fingerprint SHA256\n"
           "                          accept the server certificate of this SHA-256 fingerprint although\n"
           "                          nothing vouches for it (otherwise such a certificate is refused)\n"
           "  --delete                mirror: remove what the source side does not have\n"
           "  --dry-run               mirror: print each action (send, mkdir, remove, conflict) and change\n"
           "                          nothing\n"
           "  --exclude PATTERN       mirror: leave names matching this glob alone, besides the folder\n"
           "                          pair's list in lumo (or its host's, for a pair never set up there);\n"
           "                          repeatable\n"
           "  --force                 mirror: the source wins conflicts, and large removals go ahead\n"
           "  -v                      show the protocol log on stderr\n"
           "  -h, --help              show this text\n";
}

CliParse ParseCliArgs(const std::vector<std::string>& argv) {
    CliParse r;
    CliArgs& a = r.args;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        // The value of an option that takes one, as "--name VALUE" or "--name=VALUE"; none (and
        // r.error set when the value is missing) for another option.
        const auto valueOf = [&](const std::string& name, const char* what) -> std::optional<std::string> {
            if (arg == name) {
                if (i + 1 >= argv.size()) {
                    r.error = name + " needs " + what;
                    return std::nullopt;
                }
                return argv[++i];
            }
            if (arg.rfind(name + "=", 0) == 0)
                return arg.substr(name.size() + 1);
            return std::nullopt;
        };
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--passive") {
            a.mode = CliArgs::Mode::Passive;
        } else if (arg == "--active") {
            a.mode = CliArgs::Mode::Active;
        } else if (arg == "--ascii") {
            a.ascii = true;
        } else if (arg == "--binary") {
            a.ascii = false;
        } else if (arg == "-v" || arg == "--verbose") {
            a.verbose = true;
        } else if (arg == "--overwrite") {
            a.existing = CliArgs::Existing::Overwrite;
        } else if (arg == "--resume") {
            a.existing = CliArgs::Existing::Resume;
        } else if (arg == "--skip") {
            a.existing = CliArgs::Existing::Skip;
        } else if (arg == "-h" || arg == "--help") {
            a.help = true;
        } else if (arg == "--delete") {
            a.mirrorDelete = true;
        } else if (arg == "--dry-run") {
            a.dryRun = true;
        } else if (arg == "--force") {
            a.force = true;
        } else if (const auto value = valueOf("--exclude", "a pattern"); value || !r.error.empty()) {
            if (!value)
                return r;
            a.excludes.push_back(*value);
        } else if (arg == "--tls") {
            a.security = HostSecurity::Explicit;
        } else if (arg == "--implicit-tls") {
            a.security = HostSecurity::Implicit;
        } else if (const auto value = valueOf("--accept-fingerprint", "a SHA-256 fingerprint");
                   value || !r.error.empty()) {
            if (!value)
                return r;
            a.acceptFingerprint = NormaliseFingerprint(*value);
            if (a.acceptFingerprint.empty()) {
                r.error =
                    "--accept-fingerprint takes a SHA-256 fingerprint of 64 hex digits, not '" + *value + "'";
                return r;
            }
        } else if (const auto value = valueOf("--timeout", "a number of seconds");
                   value || !r.error.empty()) {
            if (!value)
                return r;
            a.timeoutSeconds = ParseNumberIn(*value, 1, 999);
            if (!a.timeoutSeconds) {
                r.error = "--timeout takes whole seconds from 1 to 999, not '" + *value + "'";
                return r;
            }
        } else if (const auto value = valueOf("--parallel", "a number of connections");
                   value || !r.error.empty()) {
            if (!value)
                return r;
            a.parallel = ParseNumberIn(*value, 1, 10);
            if (!a.parallel) {
                r.error = "--parallel takes a number of connections from 1 to 10, not '" + *value + "'";
                return r;
            }
        } else if (const auto value = valueOf("--charset", "a character set"); value || !r.error.empty()) {
            if (!value)
                return r;
            RemoteCharset set;
            if (!RemoteCharsetFromName(*value, set)) {
                r.error =
                    "--charset takes auto, utf-8, shift_jis, cp932, euc-jp or jis, not '" + *value + "'";
                return r;
            }
            a.charset = static_cast<int>(set);
        } else {
            r.error = "unknown option '" + arg + "'";
            return r;
        }
    }
    if (a.help)
        return r;
    // Importing works on the store alone: no TARGET.
    if (!positional.empty() && positional[0] == "import") {
        a.command = positional[0];
        a.args.assign(positional.begin() + 1, positional.end());
        if (a.args.size() != 1 || a.args[0].empty())
            r.error = "import takes one FILE: FileZilla's sitemanager.xml or WinSCP's WinSCP.ini";
        return r;
    }
    if (positional.size() < 2) {
        r.error = positional.empty() ? "no TARGET and COMMAND given" : "no COMMAND given";
        return r;
    }
    a.target = positional[0];
    a.command = positional[1];
    a.args.assign(positional.begin() + 2, positional.end());
    auto it = commandArity().find(a.command);
    if (it == commandArity().end()) {
        r.error = "unknown command '" + a.command + "'";
        return r;
    }
    if (a.args.size() < it->second.first || a.args.size() > it->second.second) {
        r.error = "wrong number of arguments for '" + a.command + "'";
        return r;
    }
    for (const std::string& s : a.args) {
        if (s.empty() || s.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
            r.error = "an empty path, or one with a line break, cannot be sent";
            return r;
        }
    }
    if (a.command == "chmod" && !isOctalMode(a.args[0])) {
        r.error = "chmod MODE is three octal digits, such as 644";
        return r;
    }
    if (a.target.empty()) {
        r.error = "empty TARGET";
        return r;
    }
    if (LooksLikeUrl(a.target)) {
        const std::optional<FtpUrl> url = ParseFtpUrl(a.target);
        if (!url) {
            r.error = "'" + AddressWithoutPassword(a.target) +
                      "' is not an ftp://[user[:password]@]host[:port] address (or ftpes://, ftps://)";
            return r;
        }
        // The command's own paths say where it works; a folder in the address would be a second say.
        if (!url->path.empty()) {
            r.error = "the address names a folder; give the path to the command instead";
            return r;
        }
    }
    return r;
}
