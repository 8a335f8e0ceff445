// The packaged-viewer builder: a script template whose placeholders take the names of
// one build, written beside the add-in and compiled by the NSIS compiler into a
// self-extracting executable that unpacks a viewer with an exported file and runs it.
// A dialog drives it through BuilderDialog; each kind of package (a ZGL with Tessaro,
// a DWF with Plotwick) brings its own PackageRecipe.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "nsis_text.h"

class QWidget;

namespace exportal {

struct Placeholder {
    std::string name;
    std::string value;
    ScriptValueKind kind = ScriptValueKind::localPath;
};

// Replaces every placeholder in one pass over `text`, matching case: where several
// start at the same place the first in the order given wins, and a value put in is
// never searched again, so a name holding "#XGL_APP_PATH" stays as it is.
std::string substitutePlaceholders(const std::string& text,
                                   const std::vector<Placeholder>& placeholders);

// What differs between the kinds of package.
struct PackageRecipe {
    std::string scriptFileName;    // the generated script in the add-in's folder
    std::string packedProgram;     // the program packed from the add-in's folder
    QString compileFailedMessage;  // shown before the compiler's own words
    // The placeholders of one build, in their order of replacement.
    std::function<std::vector<Placeholder>(const std::string& exeName,
                                           const std::string& exportedFile,
                                           const std::string& addInFolder)>
        placeholders;
};

// The ZGL-with-Tessaro package: "XGLScript.nsi", "Tessaro.exe" and its placeholders.
const PackageRecipe& xglPackageRecipe();
// The built-in template of that package: fourteen lines joined by CR LF.
std::string DefaultScriptTemplate();

// What the builder reads from its dialog and tells it.
class BuilderDialog {
  public:
    virtual QWidget* owner() = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual bool useAlternateDirectory() const = 0;
    // Unchecks "Save To Alternate Location" as a click would, so the setting follows.
    virtual void uncheckAlternateDirectory() = 0;
    virtual QString alternateDirectoryText() const = 0;
    virtual bool showScript() const = 0;
    virtual bool viewWhenDone() const = 0;
    virtual bool deleteExported() const = 0;
    // The template text: the template, or the substituted script while compiling.
    virtual std::string& templateText() = 0;
    virtual void LoadScriptTemplate() = 0;

  protected:
    ~BuilderDialog() = default;
};

// Reads the template file at `path` as bytes. A missing, empty or unreadable file
// gives `defaultTemplate` and a message (the one for a missing or empty file only
// while `warnedOnce` is clear, which it then sets).
std::string LoadScriptTemplate(const std::string& path, const std::string& defaultTemplate,
                               bool& warnedOnce, QWidget* owner);

// The NSIS compiler: the add-in folder's MAKENSIS.EXE, else makensis on PATH. `searched`
// names both places; `program` is empty when neither holds it.
struct CompilerSearch {
    QString program;
    QStringList searched;
};
CompilerSearch findScriptCompiler(const QString& addInFolder);

// How a run of the compiler ended.
struct CompilerOutcome {
    enum class Status { succeeded, failed, notStarted, timedOut };
    Status status = Status::notStarted;
    int exitCode = -1;
    QString lastErrorLine;  // the compiler's last line of error output, or why it ended
};

// Runs the compiler with `arguments` in `workingFolder` and waits for it, yielding to
// the host's event loop, at most `limit`; a compiler still running then is killed.
// With `showWindow` its output is shown in a window as it comes.
CompilerOutcome runScriptCompiler(const QString& compiler, const QStringList& arguments,
                                  const QString& workingFolder, bool showWindow,
                                  std::chrono::milliseconds limit, QWidget* owner);

// How long a compilation may take; tests shorten it.
void setCompilerTimeLimit(std::chrono::milliseconds limit);

class ViewerBuilder {
  public:
    ViewerBuilder(const PackageRecipe& recipe, BuilderDialog& dialog)
        : m_recipe(recipe), m_dialog(dialog) {}

    // The executable's path after the dialog's alternate directory rule.
    std::string ResolveOutputDirectory(const std::string& exeName);
    // Builds the executable `exeName` that packs `exportedFile`; true when it was
    // built. An executable already there is replaced only by a successful build. A name
    // the script cannot carry is refused with a message before anything is written.
    bool CompileViewer(std::string exeName, const std::string& exportedFile);

  private:
    bool quoteForScript(std::vector<Placeholder>& placeholders, const std::string& exeName);
    bool writeScript(const std::string& scriptPath, const std::string& script);
    bool compile(const std::string& exeName, const std::string& scriptPath);
    void launch(const std::string& exeName);
    void failed(const QString& reason);

    const PackageRecipe& m_recipe;
    BuilderDialog& m_dialog;
};

}  // namespace exportal
