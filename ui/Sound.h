#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Plays one of the system sounds by file name ("chimes.wav", "chord.wav", "ding.wav",
// "tada.wav"), asynchronously: a file of that name in a sounds/ folder beside the executable if
// there is one, otherwise the program's built-in cue. A new sound replaces the one playing; no
// audio device means silence.
void playSystemSound(const QString& name);

// Where the sound of that name comes from: the file in the sounds/ folder beside the executable
// when there is one, else the built-in cue ("qrc:/sounds/<name>").
[[nodiscard]] QUrl soundSource(const QString& name);

// Replaces the player (tests record the names); an empty function restores the real one.
void setSoundPlayer(std::function<void(const QString&)> player);
