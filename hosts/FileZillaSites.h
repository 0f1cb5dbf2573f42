#pragma once

#include "hosts/ImportEntry.h"

#include <QByteArray>

// The sites of FileZilla's Site Manager, from its sitemanager.xml or a file exported from it. FTP
// sites are imported, the others left out with the reason; folders come in front of a site's name.
ImportSource ReadFileZillaSites(const QByteArray& xml);
