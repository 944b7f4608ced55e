#include "session/GenRegist.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <cmath>
#include <optional>

#include "comm/SettingsFile.h"
#include "session/SettingsBounds.h"
#include "text/Codec.h"
#include "text/QtCodec.h"

namespace {

constexpr int kMaxFaceNameBytes = 31;
constexpr TColor kSystemColorFlag = static_cast<TColor>(0x80000000);

// "Software\Zeb\Wombat": organisation "Zeb", application "Wombat".
struct TStoreName {
  QString organization;
  QString application;
};

TStoreName StoreName(const QString& key) {
  const QStringList parts = QString(key).replace('/', '\\').split('\\', Qt::SkipEmptyParts);
  if (parts.isEmpty()) return {};
  if (parts.size() == 1) return {QString(), parts.last()};
  return {parts[parts.size() - 2], parts.last()};
}

QString ValuePath(const QString& section, const QString& ident) {
  QString path = section;
  path.replace('\\', '/');
  return path + '/' + ident;
}

QString FontSection(const QString& section, const QString& ident) {
  return section + "\\Font\\" + ident;
}

[[noreturn]] void ThrowStoreError(const QSettings& settings, const QString& what) {
  throw ERegistryException(QStringLiteral("Cannot %1 the settings file %2")
                               .arg(what, settings.fileName())
                               .toStdString());
}

void ThrowOnReadError(const QSettings& settings) {
  if (settings.status() == QSettings::AccessError) ThrowStoreError(settings, "read");
}

// A file that could not be written whole is left as it was.
void Sync(QSettings& settings) {
  if (!SyncSettings(settings)) ThrowStoreError(settings, "write");
}


// The stored text, or nothing when the value is missing.
std::optional<QString> ReadText(const QString& key, const QString& section, const QString& ident) {
  const TStoreName name = StoreName(key);
  QSettings settings(name.organization, name.application);
  ThrowOnReadError(settings);
  const QVariant value = settings.value(ValuePath(section, ident));
  if (!value.isValid()) return std::nullopt;
  return value.toString();
}

// Decimal text, or "0x" followed by hexadecimal digits (up to 32 bits, so
// that system colours written in hexadecimal come back negative).
std::optional<int> ParseInteger(const QString& text) {
  bool ok = false;
  if (text.size() > 2 && (text.startsWith("0x") || text.startsWith("0X"))) {
    const uint value = text.mid(2).toUInt(&ok, 16);
    if (ok) return static_cast<int>(value);
    return std::nullopt;
  }
  const int value = text.toInt(&ok, 10);
  if (ok) return value;
  return std::nullopt;
}

int ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

int MulDiv(double value, int numerator, int denominator) {
  return static_cast<int>(std::lround(value * numerator / denominator));
}

// Character height in pixels, negative as the platform gives it.
int FontHeight(const QFont& font) {
  if (font.pixelSize() > 0) return -font.pixelSize();
  return -MulDiv(font.pointSizeF(), ScreenDpi(), 72);
}

int FontSize(const QFont& font) {
  if (font.pointSizeF() > 0) return static_cast<int>(std::lround(font.pointSizeF()));
  return MulDiv(font.pixelSize(), 72, ScreenDpi());
}

// 0 default, 1 variable, 2 fixed.
int FontPitch(const QFont& font) {
  if (!(font.resolveMask() & QFont::FixedPitchResolved)) return 0;
  return font.fixedPitch() ? 2 : 1;
}

// A face name cut to the bytes the platform keeps, never inside a character.
QString FaceName(const QString& name) {
  const std::string bytes = FromQString(name);
  if (bytes.size() <= kMaxFaceNameBytes) return name;
  size_t end = 0;
  for (size_t i = 0; i < kMaxFaceNameBytes;) {
    const size_t width = IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    if (i + width > kMaxFaceNameBytes) break;
    i += width;
    end = i;
  }
  return ToQString(std::string_view(bytes).substr(0, end));
}

struct TFontValues {
  int height;
  QString name;
  int pitch;
  int size;
  bool bold;
  bool italic;
};

QFont MakeFont(const TFontValues& values) {
  QFont font;
  font.setFamily(FaceName(values.name));
  if (values.height != 0) font.setPixelSize(std::abs(values.height));
  if (values.pitch == 1 || values.pitch == 2) font.setFixedPitch(values.pitch == 2);
  if (values.size > 0) font.setPointSize(values.size);
  font.setBold(values.bold);
  font.setItalic(values.italic);
  return font;
}

struct TSystemColor {
  int index;
  QPalette::ColorRole role;
};

constexpr TSystemColor kSystemColors[] = {
    {5, QPalette::Base},        {8, QPalette::Text},       {15, QPalette::Button},
    {18, QPalette::ButtonText}, {13, QPalette::Highlight}, {14, QPalette::HighlightedText},
    {4, QPalette::Window},      {7, QPalette::WindowText},
};

// 0xFF0000nn, nn the system colour's number.
const TSystemColor* FindSystemColor(TColor color) {
  if ((static_cast<std::uint32_t>(color) & 0xFFFFFF00u) != 0xFF000000u) return nullptr;
  for (const TSystemColor& system : kSystemColors)
    if (system.index == (color & 0xFF)) return &system;
  return nullptr;
}

}  // namespace

bool IsSystemColor(TColor color) {
  return FindSystemColor(color) != nullptr;
}

QColor ColorFromTColor(TColor color) {
  if (color & kSystemColorFlag) {
    const TSystemColor* system = FindSystemColor(color);
    return QGuiApplication::palette().color(system ? system->role : QPalette::Base);
  }
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor TColorFromColor(const QColor& color) {
  if (color.rgb() == QGuiApplication::palette().color(QPalette::Base).rgb()) return clWindow;
  return color.red() | (color.green() << 8) | (color.blue() << 16);
}

TGenRegist::TGenRegist() = default;
TGenRegist::~TGenRegist() = default;

void TGenRegist::BeginWrites(const QString& key) {
  const TStoreName name = StoreName(key);
  FBatchKey = key;
  FBatch = std::make_unique<QSettings>(name.organization, name.application);
}

void TGenRegist::CommitWrites() {
  const std::unique_ptr<QSettings> batch = std::move(FBatch);
  FBatchKey.clear();
  if (batch) Sync(*batch);
}

void TGenRegist::WriteText(const QString& key, const QString& section, const QString& ident,
                           const QString& value) {
  if (FBatch && key == FBatchKey) {
    FBatch->setValue(ValuePath(section, ident), value);
    return;
  }
  const TStoreName name = StoreName(key);
  QSettings settings(name.organization, name.application);
  settings.setValue(ValuePath(section, ident), value);
  Sync(settings);
}

void TGenRegist::WriteStringData(const QString& key, const QString& section, const QString& ident,
                                 const QString& value) {
  WriteText(key, section, ident, value);
}

void TGenRegist::DeleteValue(const QString& key, const QString& section, const QString& ident) {
  const TStoreName name = StoreName(key);
  QSettings settings(name.organization, name.application);
  settings.remove(ValuePath(section, ident));
  Sync(settings);
}

void TGenRegist::WriteIntegerData(const QString& key, const QString& section, const QString& ident,
                                  int value) {
  WriteText(key, section, ident, QString::number(value));
}

void TGenRegist::WriteBoolData(const QString& key, const QString& section, const QString& ident,
                               bool value) {
  WriteText(key, section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TGenRegist::WriteTFontData(const QString& key, const QString& section, const QString& ident,
                                const TFontData& font) {
  const QString group = FontSection(section, ident);
  WriteIntegerData(key, group, "Color", font.Color);
  WriteIntegerData(key, group, "Height", FontHeight(font.Font));
  WriteStringData(key, group, "Name", font.Font.family());
  WriteIntegerData(key, group, "Pitch", FontPitch(font.Font));
  WriteIntegerData(key, group, "Size", FontSize(font.Font));
  WriteBoolData(key, group, "Bold", font.Font.bold());
  WriteBoolData(key, group, "Italic", font.Font.italic());
}

void TGenRegist::ReadStringData(const QString& key, const QString& section, const QString& ident,
                                const QString& defaultValue, QString& value) {
  value = ReadText(key, section, ident).value_or(defaultValue);
}

bool TGenRegist::ValueExists(const QString& key, const QString& section, const QString& ident) {
  return ReadText(key, section, ident).has_value();
}

int TGenRegist::ReadIntegerData(const QString& key, const QString& section, const QString& ident,
                                int defaultValue) {
  const std::optional<QString> text = ReadText(key, section, ident);
  if (!text) return defaultValue;
  return ParseInteger(*text).value_or(defaultValue);
}

bool TGenRegist::ReadBoolData(const QString& key, const QString& section, const QString& ident,
                              bool defaultValue) {
  const std::optional<QString> text = ReadText(key, section, ident);
  if (!text) return defaultValue;
  const std::optional<int> value = ParseInteger(*text);
  return value ? *value != 0 : defaultValue;
}

void TGenRegist::ReadTFontData(const QString& key, const QString& section, const QString& ident,
                               const TFontData& defaultFont, TFontData& font) {
  const QString group = FontSection(section, ident);
  const TColor color =
      BoundColor(ReadIntegerData(key, group, "Color", defaultFont.Color), defaultFont.Color);
  TFontValues values;
  values.height = BoundFontHeight(
      ReadIntegerData(key, group, "Height", FontHeight(defaultFont.Font)), ScreenDpi());
  ReadStringData(key, group, "Name", defaultFont.Font.family(), values.name);
  values.pitch = ReadIntegerData(key, group, "Pitch", FontPitch(defaultFont.Font));
  values.size = BoundFontSize(ReadIntegerData(key, group, "Size", FontSize(defaultFont.Font)));
  values.bold = ReadBoolData(key, group, "Bold", false);
  values.italic = ReadBoolData(key, group, "Italic", false);
  font = {MakeFont(values), color};
}

QString TGenRegist::SetAsideUnparsableStore(const QString& key) {
  const TStoreName name = StoreName(key);
  QSettings settings(name.organization, name.application);
  if (!SettingsFileUnparsable(settings.fileName())) return {};
  const QString keptAs = MoveAside(settings.fileName());
  if (keptAs.isEmpty()) ThrowStoreError(settings, "set aside");
  return keptAs;
}
