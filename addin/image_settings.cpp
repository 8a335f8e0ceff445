#include "image_settings.h"

#include <QString>

#include <array>
#include <cmath>
#include <limits>

#include "addin_folder.h"
#include "settings_store.h"

namespace exportal {

namespace {

// Stands for the add-in's folder in the defaults table.
constexpr const char* kAddInFolder = nullptr;

struct KeyDefault {
    const char* application;
    const char* key;
    const char* defaultValue;
};

constexpr std::array kKeys = {
    KeyDefault{kExportalApplication, "PixelWidth", "2048"},
    KeyDefault{kExportalApplication, "DoIPT", "0"},
    KeyDefault{kExportalApplication, "DoIAM", "0"},
    KeyDefault{kExportalApplication, "DoIDW", "0"},
    KeyDefault{kExportalApplication, "DoIPN", "0"},
    KeyDefault{kExportalApplication, "DoAllSheets", "0"},
    KeyDefault{kExportalApplication, "MakePrecise", "0"},
    KeyDefault{kExportalApplication, "AutoSave", "0"},
    KeyDefault{kExportalApplication, "AutoSaveType", "1"},
    KeyDefault{kExportalApplication, "AutoFit", "0"},
    KeyDefault{kExportalApplication, "AutoNumber", "0"},
    KeyDefault{kExportalApplication, "AutoNumStyle", "0"},
    KeyDefault{kExportalApplication, "AutoSheet", "0"},
    KeyDefault{kExportalApplication, "AlternatePath", "0"},
    KeyDefault{kExportalApplication, "JPEGTargetDir", kAddInFolder},
    KeyDefault{kExportalApplication, "JPEGQuality", "100"},
    KeyDefault{kExportalApplication, "AlternateStereoPath", "0"},
    KeyDefault{kExportalApplication, "SterioTargetDir", ""},
    KeyDefault{kExportalApplication, "RunCompiler", "0"},
    KeyDefault{kExportalApplication, "CompilerPath", ""},
    KeyDefault{kExportalApplication, "BitmapType", "BMP"},
    KeyDefault{kExportalApplication, "SterioPixelIndex", "1"},
    KeyDefault{kExportalApplication, "SterioPixelUser", "512"},
    KeyDefault{kExportalApplication, "SterioViewDist", "0"},
    KeyDefault{kExportalApplication, "SterioVDistUser", "32"},
    KeyDefault{kXglCompilerApplication, "XGLAltDir", kAddInFolder},
    KeyDefault{kXglCompilerApplication, "XGLUseAltDir", "0"},
    KeyDefault{kXglCompilerApplication, "TessaroWhenDone", "1"},
    KeyDefault{kXglCompilerApplication, "XGLShowScript", "0"},
    KeyDefault{kXglCompilerApplication, "XGLDelXGL", "0"},
    KeyDefault{kDwfCompilerApplication, "DWFAltDir", kAddInFolder},
    KeyDefault{kDwfCompilerApplication, "DWFUseAltDir", "0"},
    KeyDefault{kDwfCompilerApplication, "PlotwickWhenDone", "1"},
    KeyDefault{kDwfCompilerApplication, "DWFShowScript", "0"},
    KeyDefault{kDwfCompilerApplication, "DWFDelDWF", "0"},
    KeyDefault{kDwfCompilerApplication, "DWFPublish3D", "0"},
};

std::string defaultOf(const std::string& application, const std::string& key) {
    for (const KeyDefault& entry : kKeys) {
        if (QString::fromStdString(application).compare(entry.application, Qt::CaseInsensitive) ||
            QString::fromStdString(key).compare(entry.key, Qt::CaseInsensitive)) {
            continue;
        }
        return entry.defaultValue == kAddInFolder ? addInFolder() : entry.defaultValue;
    }
    return {};
}

// The stored number when it fits the item; the key's default otherwise.
template <typename Item>
Item numberSetting(const char* key) {
    double value = 0;
    if (!numericValue(readSetting(kExportalApplication, key), value) ||
        value < std::numeric_limits<Item>::min() || value > std::numeric_limits<Item>::max()) {
        numericValue(defaultOf(kExportalApplication, key), value);
    }
    return static_cast<Item>(value);
}

// Booleans as the settings hold them: "True"/"False" or a number, non-zero being true.
bool booleanSetting(const char* key) {
    const QString text = QString::fromStdString(readSetting(kExportalApplication, key)).trimmed();
    if (text.compare("True", Qt::CaseInsensitive) == 0) return true;
    if (text.compare("False", Qt::CaseInsensitive) == 0) return false;
    double value = 0;
    if (numericValue(text.toStdString(), value)) return value != 0;
    return defaultOf(kExportalApplication, key) != "0";
}

}  // namespace

std::string readSetting(const std::string& application, const std::string& key) {
    return getSetting(application, kSettingsSection, key, defaultOf(application, key));
}

bool writeSetting(const std::string& application, const std::string& key,
                  const std::string& value) {
    return saveSetting(application, kSettingsSection, key, value);
}

ImageSettings& imageSettings() {
    static ImageSettings instance;
    return instance;
}

bool numericValue(const std::string& text, double& value) {
    bool ok = false;
    const double number = QString::fromStdString(text).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) return false;
    value = std::trunc(number);
    return true;
}

void LoadSettings(ImageSettings& settings) {
    settings.PixelWidth = numberSetting<std::int32_t>("PixelWidth");
    settings.DoIPT = numberSetting<std::int16_t>("DoIPT");
    settings.DoIAM = numberSetting<std::int16_t>("DoIAM");
    settings.DoIDW = numberSetting<std::int16_t>("DoIDW");
    settings.DoIPN = numberSetting<std::int16_t>("DoIPN");
    settings.DoAllSheets = numberSetting<std::int16_t>("DoAllSheets");
    settings.MakePrecise = numberSetting<std::int16_t>("MakePrecise");
    settings.AutoSave = numberSetting<std::int16_t>("AutoSave");
    settings.AutoSaveType = booleanSetting("AutoSaveType") ? kAutoSaveDwf : kAutoSaveJpeg;
    settings.AutoFit = numberSetting<std::int16_t>("AutoFit");
    settings.AutoNumber = numberSetting<std::int16_t>("AutoNumber");
    settings.AutoNumStyle = numberSetting<std::int16_t>("AutoNumStyle");
    settings.AutoSheet = numberSetting<std::int16_t>("AutoSheet");
    settings.AlternatePath = numberSetting<std::int16_t>("AlternatePath");
    settings.JPEGTargetDir = readSetting(kExportalApplication, "JPEGTargetDir");
    settings.StoredQuality = numberSetting<std::int32_t>("JPEGQuality");
}

void StoreJpegDialogSettings(const JpegDialogValues& values) {
    writeSetting(kExportalApplication, "PixelWidth", values.pixelWidth);
    writeSetting(kExportalApplication, "AutoNumber", values.autoNumber ? "1" : "0");
    writeSetting(kExportalApplication, "AlternatePath", values.alternatePath ? "1" : "0");
    writeSetting(kExportalApplication, "JPEGTargetDir", values.targetDir);
    writeSetting(kExportalApplication, "JPEGQuality", values.quality);
}

}  // namespace exportal
