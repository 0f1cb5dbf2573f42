#include "CliImport.h"

#include "TerminalText.h"

#include "hosts/HostImport.h"
#include "hosts/PasswordMigration.h"
#include "hosts/QXDoc.h"

#include <QCoreApplication>

void RunCliImport(const std::string& file, std::FILE* out, std::FILE* err,
                  std::function<void(int)> finished) {
    auto* doc = new CQXDoc(QCoreApplication::instance());
    ImportHosts(QString::fromLocal8Bit(file), *doc, ProgramVault(),
                [file, out, err, finished](const ImportReport& report) {
                    for (const ImportEntry& entry : report.source.entries) {
                        std::string line = entry.Imported() ? "imported\t" + TerminalText(entry.host.Name)
                                                            : "skipped\t" + TerminalText(entry.name);
                        std::string said = entry.skipReason;
                        for (const std::string& note : entry.notes)
                            said += (said.empty() ? "" : "; ") + note;
                        if (!said.empty())
                            line += "\t" + TerminalText(said);
                        std::fprintf(out, "%s\n", line.c_str());
                    }
                    if (!report.source.read)
                        std::fprintf(err, "lumo-cli: cannot read %s: %s\n", TerminalText(file).c_str(),
                                     report.problem.c_str());
                    else if (report.stored == 0)
                        std::fprintf(err, "lumo-cli: no host of %s was stored%s%s\n",
                                     TerminalText(file).c_str(), report.problem.empty() ? "" : ": ",
                                     report.problem.c_str());
                    std::fflush(out);
                    finished(report.source.read && report.stored > 0 ? 0 : 1);
                });
}
