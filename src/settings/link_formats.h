#pragma once

#include "settings/kinds.h"

#include <QString>
#include <QStringList>

namespace skysail {

// Copy-all: one piece per row, first row first, each ending in CR LF; no rows give "".
//   Plain  T\r\n     Html  <img src="T" />\r\n     Ubb  [img]T[/img]\r\n
QString CopyAllText(const QStringList& rows, LinkFormat format);

// Copy-one: a single row, no line end, and deliberately not the copy-all forms:
//   Plain  T         Html  <img src="T"/>          Ubb  [IMG]T.jpg[/IMG]
QString CopyOneText(const QString& row, LinkFormat format);

} // namespace skysail
