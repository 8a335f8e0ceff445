// The add-in's stored keys with their defaults, and the image-export options that live
// in memory while the add-in is loaded (the automatic export on save runs with no
// dialog open).
#pragma once

#include <cstdint>
#include <string>

namespace exportal {

inline constexpr const char* kExportalApplication = "Exportal";
inline constexpr const char* kXglCompilerApplication = "Inventor XGL Compiler";
inline constexpr const char* kDwfCompilerApplication = "Inventor DWF Compiler";
inline constexpr const char* kSettingsSection = "Settings";

// The stored value of a known key of one of the three applications, or its default
// (the add-in's folder for the directory keys that default to it).
std::string readSetting(const std::string& application, const std::string& key);
bool writeSetting(const std::string& application, const std::string& key, const std::string& value);

// Auto-save types.
inline constexpr std::int16_t kAutoSaveJpeg = 0;
inline constexpr std::int16_t kAutoSaveDwf = 1;

struct ImageSettings {
    std::int32_t PixelWidth = 0;
    std::int16_t DoIPT = 0;
    std::int16_t DoIAM = 0;
    std::int16_t DoIDW = 0;
    std::int16_t DoIPN = 0;
    std::int16_t DoAllSheets = 0;
    std::int16_t MakePrecise = 0;
    std::int16_t AutoSave = 0;
    std::int16_t AutoSaveType = 0;
    std::int16_t AutoFit = 0;
    std::int16_t AutoNumber = 0;
    std::int16_t AutoNumStyle = 0;
    std::int16_t AutoSheet = 0;
    std::int16_t AlternatePath = 0;
    std::string JPEGTargetDir;
    std::int32_t StoredQuality = 0;
    // The JPEG writer's quality: 0 until an image dialog loads.
    std::int32_t CurrentQuality = 0;
};

// The add-in's one copy.
ImageSettings& imageSettings();

// Reads the sixteen image-export keys. A key whose text is not a number in the range
// of its item takes the key's default.
void LoadSettings(ImageSettings& settings);

// What the JPEG dialog stores: the texts of its controls.
struct JpegDialogValues {
    std::string pixelWidth;
    bool autoNumber = false;
    bool alternatePath = false;
    std::string targetDir;
    std::string quality;
};
void StoreJpegDialogSettings(const JpegDialogValues& values);

// Text to number as the dialogs read their fields: leading and trailing blanks are
// allowed, a fraction is cut off. False for text that is not a number.
bool numericValue(const std::string& text, double& value);

}  // namespace exportal
