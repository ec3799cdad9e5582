#pragma once

#include <QString>

// The program's title: the main window's caption starts with it, and the general error display and
// the line-error message carry it as their caption. It is no application display name: the
// platform would append that to every window's caption.
inline const QString kProgramTitle = QStringLiteral("ZelvoTerm for 920MHz");
