#pragma once

#include <QString>

// Writes a 16-bit mono PCM WAV file of the given length: a quiet sine tone (or silence).
// Returns false when the file cannot be written.
bool writeWav(const QString &path, int milliseconds, int sampleRate = 8000, bool tone = true);
