#include "CliArgs.h"

#include "platform/HexDigits.h"

#include <cctype>
#include <map>

namespace {

// Arguments each command takes: at least, at most.
const std::map<std::string, std::pair<size_t, size_t>>& commandArity() {
    static const std::map<std::string, std::pair<size_t, size_t>> arity = {
        {"ls", {0, 1}},    {"get", {1, 2}}, {"put", {1, 2}},   {"rm", {1, 1}},
        {"mkdir", {1, 1}}, {"mv", {2, 2}},  {"chmod", {2, 2}}, {"pwd", {0, 0}},
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

// A whole number of decimal digits only, from `low` to `high`.
std::optional<int> parseNumberIn(const std::string& s, int low, int high) {
    if (s.empty() || s.size() > 6)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high)
        return std::nullopt;
    return v;
}

std::optional<std::string> percentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size() || HexDigitValue(s[i + 1]) < 0 || HexDigitValue(s[i + 2]) < 0)
            return std::nullopt;
        out += static_cast<char>(HexDigitValue(s[i + 1]) * 16 + HexDigitValue(s[i + 2]));
        i += 2;
    }
    // A NUL or a line break would end or split the FTP command it goes into.
    if (out.find_first_of(std::string("\0\r\n", 3)) != std::string::npos)
        return std::nullopt;
    return out;
}

} // namespace

std::string CliUsage() {
    return "usage: lumo-cli [options] TARGET COMMAND [ARGS...]\n"
           "\n"
           "TARGET   ftp://[user[:password]@]host[:port], or a host registered in lumo (its name or "
           "Host<n>)\n"
           "COMMAND  ls [PATH] | get REMOTE [LOCALDIR] | put LOCAL [REMOTEDIR] | rm REMOTE\n"
           "         | mkdir PATH | mv FROM TO | chmod MODE PATH | pwd\n"
           "\n"
           "options:\n"
           "  --passive, --active     data connection mode (default: the host's setting; passive for a URL)\n"
           "  --ascii, --binary       transfer mode (default binary)\n"
           "  --overwrite, --resume, --skip\n"
           "                          what to do with a file that exists already (default: fail)\n"
           "  --timeout SECONDS       reply time-out, 1 to 999\n"
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
        } else if (arg == "--timeout" || arg.rfind("--timeout=", 0) == 0) {
            std::string value;
            if (arg == "--timeout") {
                if (i + 1 >= argv.size()) {
                    r.error = "--timeout needs a number of seconds";
                    return r;
                }
                value = argv[++i];
            } else {
                value = arg.substr(10);
            }
            a.timeoutSeconds = parseNumberIn(value, 1, 999);
            if (!a.timeoutSeconds) {
                r.error = "--timeout takes whole seconds from 1 to 999, not '" + value + "'";
                return r;
            }
        } else {
            r.error = "unknown option '" + arg + "'";
            return r;
        }
    }
    if (a.help)
        return r;
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
    if (LooksLikeUrl(a.target) && !ParseFtpUrl(a.target)) {
        r.error = "'" + a.target + "' is not an ftp://[user[:password]@]host[:port] address";
        return r;
    }
    return r;
}

bool LooksLikeUrl(const std::string& target) {
    return target.find("://") != std::string::npos;
}

std::optional<FtpUrl> ParseFtpUrl(const std::string& target) {
    const std::string scheme = "ftp://";
    if (target.size() <= scheme.size())
        return std::nullopt;
    for (size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(target[i])) != scheme[i])
            return std::nullopt;
    }
    std::string rest = target.substr(scheme.size());
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.find('/') != std::string::npos)
        return std::nullopt;
    FtpUrl url;
    size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        std::string userinfo = rest.substr(0, at);
        rest = rest.substr(at + 1);
        size_t colon = userinfo.find(':');
        auto user = percentDecode(userinfo.substr(0, colon));
        if (!user || user->empty())
            return std::nullopt;
        url.user = *user;
        url.hasUser = true;
        if (colon != std::string::npos) {
            auto pass = percentDecode(userinfo.substr(colon + 1));
            if (!pass)
                return std::nullopt;
            url.password = *pass;
        }
    }
    size_t colon = rest.rfind(':');
    std::string host = rest.substr(0, colon);
    if (colon != std::string::npos) {
        const std::optional<int> port = parseNumberIn(rest.substr(colon + 1), 1, 65535);
        if (!port)
            return std::nullopt;
        url.port = *port;
    }
    if (host.empty())
        return std::nullopt;
    for (char c : host) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'))
            return std::nullopt;
    }
    url.host = host;
    if (!url.hasUser) {
        url.user = "anonymous";
        url.password = "lumo@";
    }
    return url;
}
