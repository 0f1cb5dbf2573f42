#pragma once

#include <cstdio>
#include <functional>
#include <string>

// "lumo-cli import FILE": adds the hosts of another program's file to lumo's and prints a line for
// each, "imported" or "skipped", a tab and the name, then a tab and what was not carried over or why
// the host was skipped. `finished` gets the exit status once the keyring has taken the passwords:
// 0 when hosts were stored (skips are no failure), 1 when the file could not be read or no host
// could be stored.
void RunCliImport(const std::string& file, std::FILE* out, std::FILE* err, std::function<void(int)> finished);
