// CadHost: everything the add-in may ask of the CAD application that loads it. The
// add-in reaches the host only through this interface, so the stand-in host and any
// other host implement the same contract.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class QWidget;

namespace exportal {

// The host's document type values.
enum class DocumentType : std::int32_t {
    unknown = 0,
    part = 12290,
    assembly = 12291,
    drawing = 12292,
    presentation = 12293,
};

// Timing values of the save notification: before and after the document is written.
inline constexpr std::int32_t kBeforeSave = 4097;
inline constexpr std::int32_t kAfterSave = 4098;

// The view operation of camera mouse input that rotates the view.
inline constexpr std::int32_t kRotateViewOperation = 30209;

// Save-a-copy is a private event carrying the file name followed by this command.
inline constexpr int kSaveCopyEvent = 6657;
inline constexpr int kSaveCopyCommand = 2056;

// Add-ins collection: the type value of a translator and the DWF translator's class.
inline constexpr std::int32_t kApplicationAddInType = 1793;
inline constexpr std::int32_t kTranslatorAddInType = 1795;
inline constexpr const char* kDwfTranslatorClassId = "{0AC6FD95-2F4D-42CE-8BE0-8AEA580399E4}";

class CadDocument {
  public:
    // The saved file's full path; empty for a document that was never saved.
    virtual std::string fullFileName() const = 0;
    virtual DocumentType type() const = 0;
    // A drawing's sheets, counted from 1; other documents have none.
    virtual int sheetCount() const = 0;
    virtual std::string sheetName(int position) const = 0;
    virtual std::string activeSheetName() const = 0;

  protected:
    ~CadDocument() = default;
};

struct Point2d {
    double x = 0, y = 0;
};

class CadCamera {
  public:
    // Computes the change a mouse drag from `start` to `end` would make; false for a
    // view operation the host does not know. Nothing moves until apply().
    virtual bool mouseInput(Point2d start, Point2d end, std::int32_t wheel,
                            std::int32_t viewOperation) = 0;
    virtual void apply() = 0;

  protected:
    ~CadCamera() = default;
};

class CadView {
  public:
    virtual void fit() = 0;
    virtual void redraw() = 0;
    // Writes a Windows bitmap of the view. A width of 0 takes the view's own width, a
    // height of 0 keeps the view's aspect; both are written back with the size used.
    // False when nothing could be written.
    virtual bool saveBitmap(const std::string& fileName, std::int32_t& width,
                            std::int32_t& height) = 0;
    virtual CadCamera& camera() = 0;

  protected:
    ~CadView() = default;
};

// Transient objects of a translation: what kind of translation, its options as named
// values in the order they were written, and where the result goes.
struct TranslationContext {
    std::int32_t type = 0;
};
using OptionValue = std::variant<bool, std::int16_t, std::int32_t, std::string>;
using NameValueMap = std::vector<std::pair<std::string, OptionValue>>;
struct DataMedium {
    std::string fileName;
};

// A translator add-in of the host (its DWF publisher, say).
class CadTranslator {
  public:
    // True when the translator takes save-copy options for this document.
    virtual bool hasSaveCopyAsOptions(CadDocument& document, const TranslationContext& context,
                                      NameValueMap& options) = 0;
    virtual bool saveCopyAs(CadDocument& document, const TranslationContext& context,
                            const NameValueMap& options, const DataMedium& medium) = 0;

  protected:
    ~CadTranslator() = default;
};

struct AddInEntry {
    std::int32_t type = 0;
    std::string classId;
    CadTranslator* translator = nullptr;  // set for translator add-ins
};

// A command the add-in created; choosing it in the host runs the add-in's command.
class CadCommand {
  public:
    virtual ~CadCommand() = default;
    virtual int id() const = 0;
    virtual std::string displayText() const = 0;
};

// Receives the application's save notification.
class SaveEventSink {
  public:
    virtual void onSaveDocument(CadDocument* document, std::int32_t beforeOrAfter) = 0;

  protected:
    ~SaveEventSink() = default;
};

class CadHost {
  public:
    virtual CadDocument* activeDocument() = 0;
    virtual DocumentType activeDocumentType() = 0;
    virtual CadView* activeView() = 0;
    virtual Point2d createPoint2d(double x, double y) = 0;

    virtual void setStatusText(const std::string& text) = 0;
    // While on, host commands run without showing dialogs or message boxes.
    virtual void setSilentOperation(bool silent) = 0;
    virtual bool silentOperation() const = 0;
    // The window that owns every dialog of the add-in.
    virtual QWidget* mainWindow() = 0;

    // The command manager: a private event posted to the host's queue, and a command
    // started by its number. Both act once the add-in yields to the event loop.
    virtual void postPrivateEvent(int eventType, const std::string& data) = 0;
    virtual bool startCommand(int commandId) = 0;

    virtual int softwareVersionMajor() const = 0;
    virtual int addInCount() const = 0;
    // One-based, as the host counts.
    virtual AddInEntry addIn(int index) const = 0;

    // Transient objects.
    virtual TranslationContext createTranslationContext() = 0;
    virtual NameValueMap createNameValueMap() = 0;
    virtual DataMedium createDataMedium() = 0;

    // A length expression (number and optional unit: in, ft, mm, cm, m; else
    // `defaultUnit`) in centimetres; false when the text cannot be read.
    virtual bool evaluateLength(const std::string& expression, const std::string& defaultUnit,
                                double& centimetres) const = 0;
    // True when the application can take an image export now.
    virtual bool ready() const = 0;

    virtual void subscribe(SaveEventSink* sink) = 0;
    virtual void unsubscribe(SaveEventSink* sink) = 0;

    // The add-in site: the caller owns the command; its entry in the Add-Ins menu
    // and toolbar goes when the command is destroyed.
    virtual std::unique_ptr<CadCommand> createCommand(const std::string& displayText, int commandId,
                                                      bool flag) = 0;

  protected:
    ~CadHost() = default;
};

}  // namespace exportal
