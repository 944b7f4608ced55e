#include "session/DefaultSounds.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace {

constexpr int kSampleRate = 11025;
constexpr double kNoteSeconds = 0.14;
constexpr double kVolume = 0.4 * 32767;

void AppendLE(QByteArray& bytes, quint32 value, int size) {
  for (int i = 0; i < size; ++i) bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Mono 16-bit PCM samples of the notes in turn, each fading out.
QByteArray Samples(std::initializer_list<double> notes) {
  QByteArray samples;
  const int length = static_cast<int>(kNoteSeconds * kSampleRate);
  for (double frequency : notes) {
    for (int i = 0; i < length; ++i) {
      const double fade = 1.0 - static_cast<double>(i) / length;
      const double value = std::sin(2 * std::numbers::pi * frequency * i / kSampleRate);
      AppendLE(samples, static_cast<quint16>(static_cast<qint16>(kVolume * fade * value)), 2);
    }
  }
  return samples;
}

QByteArray Wave(const QByteArray& samples) {
  QByteArray wave("RIFF");
  AppendLE(wave, 36 + samples.size(), 4);
  wave.append("WAVEfmt ");
  AppendLE(wave, 16, 4);  // format chunk size
  AppendLE(wave, 1, 2);   // PCM
  AppendLE(wave, 1, 2);   // mono
  AppendLE(wave, kSampleRate, 4);
  AppendLE(wave, kSampleRate * 2, 4);  // bytes per second
  AppendLE(wave, 2, 2);                // bytes per frame
  AppendLE(wave, 16, 2);               // bits per sample
  wave.append("data");
  AppendLE(wave, samples.size(), 4);
  return wave + samples;
}

// Unbuffered, so that a short write shows in write()'s count: a buffered
// QSaveFile commits a file whose last flush fell short.
void WriteIfMissing(const QString& path, std::initializer_list<double> notes) {
  // A dangling symbolic link counts as there: QSaveFile would write its target.
  const QFileInfo existing(path);
  if (existing.exists() || existing.isSymLink()) return;
  const QByteArray wave = Wave(Samples(notes));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
  if (file.write(wave) != wave.size()) file.cancelWriting();
  file.commit();
}

}  // namespace

void InstallDefaultSounds(const QString& folder) {
  const QDir dir(folder);
  WriteIfMissing(dir.filePath(kConnectSoundName), {659.3, 880.0});
  WriteIfMissing(dir.filePath(kDisconnectSoundName), {880.0, 587.3});
}
