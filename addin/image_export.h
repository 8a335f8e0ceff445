// Image export: the active view written as a JPEG (or a bitmap, or a DWF copy) named
// after the document. The host writes a bitmap of the view; the add-in encodes it
// and deletes the bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QString;
class QWidget;

namespace exportal {

// `ExportViewImage`: the view of the active document, for a saved document named
// `fileName`. The output goes beside it or into the target directory; the in-memory
// settings choose the name and the kind.
void ExportViewImage(const std::string& fileName, std::int32_t pixelWidth);

// Where the automatic export and the dialogs send ExportViewImage; tests observe the
// calls here. Null restores the pipeline.
using ImageExport = std::function<void(const std::string& fileName, std::int32_t pixelWidth)>;
void setImageExport(ImageExport exporter);

// The host writes `baseName`.bmp of the active view at that width (height from the
// view's aspect), or publishes `baseName`.dwf when the automatic export makes DWF.
// False, with a message, when nothing was asked of the host or it refused.
bool SaveViewBitmap(const std::string& baseName, std::int32_t pixelWidth);

// `bitmap` to `jpeg` at CurrentQuality, then the bitmap is deleted. The bitmap is
// waited for a few seconds at most, letting the host's events run; when it does not
// arrive, a message says so. False when no JPEG was written. (The bitmap is made in a
// folder of the add-in's own, never as NAME.bmp beside the document.)
bool convertBitmapFile(const std::string& bitmap, const std::string& jpeg);

// `name`'s last part inside `folder`. A bitmap that only becomes a JPEG is made in a
// temporary folder of the add-in's own: a bitmap beside the document may be the
// user's, and would be overwritten and deleted.
std::string pathInside(const QString& folder, const std::string& name);

// The output name for a document: extension replaced by ".jpg" (".dwf" for DWF), with
// the sheet number of a drawing and a free sequence number as the settings ask. Empty,
// after a message, when every numbered name is taken.
std::string BuildOutputName(const std::string& fullFileName);

// The document's file name in the Settings dialog's target directory; with no
// directory part or no target the name is kept and a message says so.
std::string ApplyAlternatePath(const std::string& fullFileName);
// The same rule for another dialog's target directory.
std::string alternatePathIn(const std::string& fullFileName, const std::string& targetDir,
                            QWidget* owner);

}  // namespace exportal
