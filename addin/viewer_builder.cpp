#include "viewer_builder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "addin_folder.h"
#include "addin_state.h"
#include "save_copy.h"
#include "shell_open.h"
#include "user_prompts.h"

namespace exportal {

namespace {

// Compressing a large viewer and model takes a while; a compiler silent for this long
// is taken as hung.
std::chrono::milliseconds& compilerTimeLimit() {
    static std::chrono::milliseconds limit = std::chrono::minutes(10);
    return limit;
}

// The installer runs on 64-bit Windows and on a 64-bit wine without its 32-bit half;
// the target is given to the compiler so that every template gets it unchanged.
constexpr const char* kInstallerTarget = "-XTarget amd64-unicode";

const char* const kTemplateLines[] = {
    R"(Name "Tessaro")",
    R"(OutFile "#EXE_FILENAME")",
    R"(!define XGL_FILE "#XGL_FILENAME")",
    R"(!define XGL_FILE_ONLY "#XGL_FILE_ONLY")",
    R"(!define XGL_APP_PATH "#XGL_APP_PATH")",
    R"(InstallDir $TEMP\Tessaro)",
    R"(SilentInstall silent)",
    R"(Section "")",
    R"(SetOutPath $INSTDIR)",
    R"(File "${XGL_APP_PATH}\Tessaro.exe")",
    R"(File "${XGL_FILE}")",
    R"(ExecWait '"$INSTDIR\Tessaro.exe" "${XGL_FILE_ONLY}"')",
    R"(Delete "$INSTDIR\*.*")",
    R"(SectionEnd)",
};

// The file name after the last separator.
std::string fileNameOf(const std::string& path) {
    const std::size_t separator = path.rfind('/');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

QString lastLineOf(const QByteArray& output) {
    const QList<QByteArray> lines = output.split('\n');
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const QByteArray trimmed = line->trimmed();
        if (!trimmed.isEmpty()) return QString::fromLocal8Bit(trimmed);
    }
    return {};
}

// The compiler's output as it comes, in a window of its own.
QPlainTextEdit* compilerWindow(QWidget* owner) {
    auto* window = new QPlainTextEdit(owner);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName("compilerOutput");
    window->setWindowTitle("MAKENSIS");
    window->setReadOnly(true);
    window->resize(640, 400);
    window->show();
    return window;
}

bool isWindowsExecutable(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

// A Windows build of the compiler runs through wine.
bool startCompiler(QProcess& process, const QString& compiler, const QStringList& arguments) {
    QString program = compiler;
    QStringList programArguments = arguments;
    if (isWindowsExecutable(compiler)) {
        program = wineLoader();
        if (program.isEmpty()) return false;
        programArguments.prepend(compiler);
    }
    process.start(program, programArguments);
    return process.waitForStarted();
}

}  // namespace

std::string substitutePlaceholders(const std::string& text,
                                   const std::vector<Placeholder>& placeholders) {
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto match = std::find_if(
            placeholders.begin(), placeholders.end(), [&](const Placeholder& placeholder) {
                return !placeholder.name.empty() &&
                       text.compare(at, placeholder.name.size(), placeholder.name) == 0;
            });
        if (match == placeholders.end()) {
            result += text[at++];
        } else {
            result += match->value;
            at += match->name.size();
        }
    }
    return result;
}

std::string DefaultScriptTemplate() {
    std::string text;
    for (const char* line : kTemplateLines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

const PackageRecipe& xglPackageRecipe() {
    static const PackageRecipe recipe{
        "XGLScript.nsi", "Tessaro.exe", "Failed to compile the XGL to EXE",
        [](const std::string& exeName, const std::string& exportedFile,
           const std::string& addInFolder) {
            constexpr ScriptValueKind packed = ScriptValueKind::packedFile;
            return std::vector<Placeholder>{{"#EXE_FILENAME", exeName},
                                            {"#XGL_FILENAME", exportedFile, packed},
                                            {"#XGL_FILE_ONLY", fileNameOf(exportedFile), packed},
                                            {"#XGL_APP_PATH", addInFolder}};
        }};
    return recipe;
}

std::string LoadScriptTemplate(const std::string& path, const std::string& defaultTemplate,
                               bool& warnedOnce, QWidget* owner) {
    const QString shownPath = QString::fromStdString(path);
    if (QFileInfo(shownPath).size() >= 1) {
        QFile file(shownPath);
        if (file.open(QIODevice::ReadOnly)) return file.readAll().toStdString();
        if (!warnedOnce) {
            showCritical(owner, "Failed to open: " + shownPath + "\r\nusing build in default");
        }
        return defaultTemplate;
    }
    if (!warnedOnce) {
        showCritical(owner, "Not Found or Empty file: " + shownPath + "\r\nusing built in default");
    }
    warnedOnce = true;
    return defaultTemplate;
}

CompilerSearch findScriptCompiler(const QString& addInFolder) {
    CompilerSearch search;
    const QString own = QDir(addInFolder).filePath("MAKENSIS.EXE");
    search.searched << own << "makensis on PATH (" + qEnvironmentVariable("PATH") + ")";
    if (QFileInfo(own).isFile()) {
        search.program = own;
    } else {
        search.program = QStandardPaths::findExecutable("makensis");
    }
    return search;
}

void setCompilerTimeLimit(std::chrono::milliseconds limit) {
    compilerTimeLimit() = limit;
}

CompilerOutcome runScriptCompiler(const QString& compiler, const QStringList& arguments,
                                  const QString& workingFolder, bool showWindow,
                                  std::chrono::milliseconds limit, QWidget* owner) {
    CompilerOutcome outcome;
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    if (!startCompiler(process, compiler, arguments)) {
        outcome.lastErrorLine = process.errorString();
        return outcome;
    }
    QPointer<QPlainTextEdit> window = showWindow ? compilerWindow(owner) : nullptr;
    QByteArray errors;
    const auto collect = [&] {
        const QByteArray output = process.readAllStandardOutput();
        const QByteArray errorOutput = process.readAllStandardError();
        errors += errorOutput;
        if (window) window->insertPlainText(QString::fromLocal8Bit(output + errorOutput));
    };
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(50)) {
        collect();
        yieldToHost();
        if (clock.hasExpired(limit.count())) {
            process.kill();
            process.waitForFinished();
            outcome.status = CompilerOutcome::Status::timedOut;
            outcome.lastErrorLine = QString("The compiler did not finish within %1 s.")
                                        .arg(static_cast<double>(limit.count()) / 1000.0);
            return outcome;
        }
    }
    collect();
    outcome.exitCode = process.exitCode();
    const bool clean = process.exitStatus() == QProcess::NormalExit && outcome.exitCode == 0;
    outcome.status = clean ? CompilerOutcome::Status::succeeded : CompilerOutcome::Status::failed;
    outcome.lastErrorLine = lastLineOf(errors);
    if (!clean && outcome.lastErrorLine.isEmpty())
        outcome.lastErrorLine =
            QString("The compiler ended with exit code %1.").arg(outcome.exitCode);
    return outcome;
}

std::string ViewerBuilder::ResolveOutputDirectory(const std::string& exeName) {
    if (!m_dialog.useAlternateDirectory()) return exeName;
    const std::size_t separator = exeName.rfind('/');
    if (separator == std::string::npos) {
        showMessage(m_dialog.owner(), "Alternate directory value missing or incorrect");
        m_dialog.uncheckAlternateDirectory();
        return exeName;
    }
    std::string directory = m_dialog.alternateDirectoryText().toStdString();
    if (directory.empty()) {
        showMessage(m_dialog.owner(), "Alternate directory value missing or incorrect");
        return exeName;
    }
    if (directory.back() != '/') directory += '/';
    return directory + exeName.substr(separator + 1);
}

bool ViewerBuilder::CompileViewer(std::string exeName, const std::string& exportedFile) {
    if (!exeName.ends_with(".exe")) exeName += ".exe";
    exeName = ResolveOutputDirectory(exeName);
    if (CadHost* host = hostApplication(); host != nullptr && isTheDocument(*host, exeName)) {
        failed(QString::fromStdString(exeName + " is the document itself; it is not replaced."));
        return false;
    }
    const std::string folder = addInFolder();
    std::vector<Placeholder> values = m_recipe.placeholders(exeName, exportedFile, folder);
    if (!quoteForScript(values, exeName)) return false;
    const std::string script = substitutePlaceholders(m_dialog.templateText(), values);
    m_dialog.templateText() = script;
    const std::string scriptPath = folder + "/" + m_recipe.scriptFileName;
    const bool written = writeScript(scriptPath, script);
    // The next run starts from the template again, whatever happened to this one.
    m_dialog.LoadScriptTemplate();
    if (!written) return false;
    // The compiler would only say which script line failed.
    const QString packed = QDir(QString::fromStdString(folder))
                               .filePath(QString::fromStdString(m_recipe.packedProgram));
    if (script.find(m_recipe.packedProgram) != std::string::npos && !QFileInfo::exists(packed)) {
        failed("The program to pack is missing: " + packed);
        return false;
    }

    m_dialog.setStatus("Changing Dir to:" + QString::fromStdString(folder));
    yieldToHost();
    m_dialog.setStatus("Compiling Viewer");
    yieldToHost();
    if (!compile(exeName, scriptPath)) return false;

    if (m_dialog.viewWhenDone()) launch(exeName);
    // The compiler has finished with the exported file: it is packed.
    if (m_dialog.deleteExported()) QFile::remove(QString::fromStdString(exportedFile));
    m_dialog.setStatus("Finished");
    return true;
}

// Every value is checked, also one the template does not use: the executable's name
// goes onto the compiler's command line as well.
bool ViewerBuilder::quoteForScript(std::vector<Placeholder>& placeholders,
                                   const std::string& exeName) {
    std::string refused = scriptValueRefusal(exeName, ScriptValueKind::localPath);
    for (auto value = placeholders.begin(); refused.empty() && value != placeholders.end();
         ++value) {
        refused = scriptValueRefusal(value->value, value->kind);
        value->value = scriptValueText(value->value);
    }
    if (refused.empty()) return true;
    failed(QString::fromStdString(refused));
    return false;
}

// The script as bytes, without any length prefix.
bool ViewerBuilder::writeScript(const std::string& scriptPath, const std::string& script) {
    std::remove(scriptPath.c_str());
    std::ofstream file(scriptPath, std::ios::binary | std::ios::trunc);
    if (file) file.write(script.data(), static_cast<std::streamsize>(script.size()));
    if (file) file.close();
    if (!file) {
        showMessage(m_dialog.owner(), "Failed to open: " + QString::fromStdString(scriptPath));
        return false;
    }
    return true;
}

// The compiler writes a private file beside the executable, which replaces the
// executable only when the compilation succeeded; a failure leaves nothing behind.
bool ViewerBuilder::compile(const std::string& exeName, const std::string& scriptPath) {
    const QString folder = QString::fromStdString(addInFolder());
    const CompilerSearch search = findScriptCompiler(folder);
    if (search.program.isEmpty()) {
        failed("The NSIS compiler was not found. Looked for " + search.searched.join(" and ") +
               ".");
        return false;
    }
    const QString target = QString::fromStdString(exeName);
    QTemporaryFile partial(target + ".XXXXXX");
    if (!partial.open()) {
        failed("Cannot write " + target + ": " + partial.errorString());
        return false;
    }
    partial.close();
    // The compiler reads this option as a line of script.
    const QString outFile =
        QString::fromStdString(quotedScriptText(partial.fileName().toStdString()));
    const QStringList arguments{kInstallerTarget, QString::fromStdString(scriptPath),
                                "-XOutFile \"" + outFile + "\""};
    const CompilerOutcome outcome =
        runScriptCompiler(search.program, arguments, folder, m_dialog.showScript(),
                          compilerTimeLimit(), m_dialog.owner());
    if (outcome.status != CompilerOutcome::Status::succeeded) {
        failed(outcome.lastErrorLine);
        return false;
    }
    if (std::rename(partial.fileName().toLocal8Bit().constData(), exeName.c_str()) != 0) {
        failed("Cannot replace " + target + ".");
        return false;
    }
    partial.setAutoRemove(false);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther);
    return true;
}

void ViewerBuilder::launch(const std::string& exeName) {
    m_dialog.setStatus("Launching Viewer");
    yieldToHost();
    constexpr int kNormalWithFocus = 1;
    if (!ShellOpen(exeName, "Open", "", "", kNormalWithFocus))
        showMessage(m_dialog.owner(), "Failed to Launch the Viewer");
}

void ViewerBuilder::failed(const QString& reason) {
    m_dialog.setStatus(m_recipe.compileFailedMessage);
    showMessage(m_dialog.owner(), m_recipe.compileFailedMessage + "\r" + reason);
}

}  // namespace exportal
