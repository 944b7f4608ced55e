#pragma once
// The settings store: single values read and written as text in the per-user
// settings of organisation "Zeb" (QSettings, native format). A key such as
// "Software\Zeb\Wombat" names the application's store, a section is a group
// ("MainWondow\Terminal" is a nested one) and an ident a value in it.
//
// Encodings: integers as decimal text ("0x.." read as hexadecimal), booleans
// as "1" and "0", colours as integers (red in the low byte; system colours
// negative), fonts as a `Font` group below the section holding the seven
// values Color, Height, Name, Pitch, Size, Bold and Italic.

#include <QColor>
#include <QFont>
#include <QString>
#include <QSettings>
#include <cstdint>
#include <memory>
#include <stdexcept>

inline const QString kWombatKey = QStringLiteral("Software\\Zeb\\Wombat");
inline const QString kQuokkaKey = QStringLiteral("Software\\Zeb\\Quokka");

// A colour as stored: 0x00BBGGRR, or a system colour with the top bit set and
// the system colour's number in the low byte.
using TColor = std::int32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
inline constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);

// A stored colour as Qt draws it; system colours come from the palette.
QColor ColorFromTColor(TColor color);
// A negative stored colour that names one of the palette's colours.
bool IsSystemColor(TColor color);
// A colour to store: the palette's window colour is kept as clWindow so that
// the default background follows the desktop's theme; others as 0x00BBGGRR.
TColor TColorFromColor(const QColor& color);

// A font as the settings keep it: Qt's font and the colour of its text.
struct TFontData {
  QFont Font;
  TColor Color = clWindowText;
};

// The store could not be read or written (for example, no permission).
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every operation opens the store, reads or writes one value and closes it
// again. Missing or unreadable values give the default. Between BeginWrites
// and CommitWrites the writes to one store are kept and reach its file
// together, so that saving many values costs one write of the file.
class TGenRegist {
 public:
  TGenRegist();
  ~TGenRegist();
  TGenRegist(const TGenRegist&) = delete;
  TGenRegist& operator=(const TGenRegist&) = delete;

  void BeginWrites(const QString& key);
  // Writes the kept values; ERegistryException when the file could not be
  // written whole, which then stays as it was.
  void CommitWrites();

  void WriteStringData(const QString& key, const QString& section, const QString& ident,
                       const QString& value);
  void WriteIntegerData(const QString& key, const QString& section, const QString& ident,
                        int value);
  void DeleteValue(const QString& key, const QString& section, const QString& ident);
  void WriteBoolData(const QString& key, const QString& section, const QString& ident, bool value);
  // Writes Color, Height, Name, Pitch, Size, Bold and Italic, in this order,
  // into the group section/Font/ident.
  void WriteTFontData(const QString& key, const QString& section, const QString& ident,
                      const TFontData& font);

  void ReadStringData(const QString& key, const QString& section, const QString& ident,
                      const QString& defaultValue, QString& value);
  bool ValueExists(const QString& key, const QString& section, const QString& ident);
  int ReadIntegerData(const QString& key, const QString& section, const QString& ident,
                      int defaultValue);
  bool ReadBoolData(const QString& key, const QString& section, const QString& ident,
                    bool defaultValue);
  // Fills `font`; every missing value is taken from `defaultFont`. The stored
  // size, set after the height, decides the character size; the style is
  // exactly the stored bold and italic flags. Sizes and the colour are kept
  // within the ranges of SettingsBounds.h.
  void ReadTFontData(const QString& key, const QString& section, const QString& ident,
                     const TFontData& defaultFont, TFontData& font);

  // A store whose file cannot be parsed is renamed aside, so that the
  // program starts with its defaults and the user's file is kept. The name
  // it is kept under, or empty when the file was parsed (or is missing).
  // ERegistryException when it cannot be moved.
  QString SetAsideUnparsableStore(const QString& key);

 private:
  void WriteText(const QString& key, const QString& section, const QString& ident,
                 const QString& value);

  QString FBatchKey;
  std::unique_ptr<QSettings> FBatch;
};
