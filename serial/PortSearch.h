#pragma once

#include <QStringList>

#include <functional>

// The ports a search probes, in order, at most 99: the serial ports the system lists, USB and
// ACM adapters first, then the others by name. Names are given without "/dev/".
[[nodiscard]] QStringList PortCandidates();
// Replaces the system's list with one probed exactly as given (tests); an empty function
// restores it.
void setPortCandidateSource(std::function<QStringList()> source);

// Orders port names the way the search probes them.
[[nodiscard]] QStringList OrderPortCandidates(QStringList names);
