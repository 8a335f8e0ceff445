// The packaged-viewer builder with a compiler the tests script: templates and their
// messages, placeholders, and what the builder does when the compiler fails, hangs,
// succeeds slowly or is missing.
#include <QCheckBox>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "builder_fixture.h"
#include "host/host_services.h"
#include "maker_links.h"

namespace exportal::testing {
namespace {

TEST(ScriptPlaceholders, AreReplacedInOrderMatchingCase) {
    const auto values = xglPackageRecipe().placeholders("/d/Gear.exe", "/m/Gear.zgl", "/a");
    EXPECT_EQ(substitutePlaceholders(
                  "#EXE_FILENAME|#XGL_FILENAME|#XGL_FILE_ONLY|#XGL_APP_PATH|#xgl_filename", values),
              "/d/Gear.exe|/m/Gear.zgl|Gear.zgl|/a|#xgl_filename");
    // "#XGL_FILENAME" goes first and does not match inside the name alone.
    EXPECT_EQ(substitutePlaceholders("File #XGL_FILE_ONLY", values), "File Gear.zgl");
    EXPECT_EQ(substitutePlaceholders("no placeholder here", values), "no placeholder here");
    // A value is put in once and not searched again for the placeholders after it.
    const auto named = xglPackageRecipe().placeholders("/d/#XGL_FILE_ONLY.exe",
                                                       "/m/#XGL_APP_PATH.zgl", "/a#EXE_FILENAME");
    EXPECT_EQ(substitutePlaceholders("#EXE_FILENAME|#XGL_FILENAME|#XGL_APP_PATH", named),
              "/d/#XGL_FILE_ONLY.exe|/m/#XGL_APP_PATH.zgl|/a#EXE_FILENAME");
}

// Records the addresses the dialogs hand to the desktop instead of opening them.
class OpenedAddresses : public QObject {
    Q_OBJECT
  public:
    QStringList urls;
  public Q_SLOTS:
    void open(const QUrl& url) { urls << url.toString(); }
};

// The link labels of the three packaging dialogs lead to the guide installed with
// the suite, or nowhere: the e-mail label of a build that names no address does
// nothing when clicked and says so when pointed at.
TEST_F(BuilderTest, LinkLabelsOpenTheLocalGuideOrNothing) {
    OpenedAddresses opened;
    for (const char* scheme : {"file", "mailto", "http", "https"})
        QDesktopServices::setUrlHandler(scheme, &opened, "open");
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    const QString guide = makerGuideAddress();
    ASSERT_TRUE(guide.startsWith("file:///")) << guide.toStdString();
    QFile page(QUrl(guide).toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("<title>Tessaro, Exportal and Plotwick: guide</title>"));

    for (int command : {kCompiledXglCommand, kCompiledDwfCommand, kVrmlCommand}) {
        CompilerDialog* dialog = openDialog(*host, command);
        ASSERT_NE(dialog, nullptr) << command;
        QLabel* labels[2] = {};
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text() == "Tessaro documentation") labels[0] = label;
            if (label->text() == "Write to the maker") labels[1] = label;
        }
        ASSERT_TRUE(labels[0] && labels[1]) << command;
        opened.urls.clear();
        for (QLabel* label : labels) {
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QApplication::sendEvent(label, &enter);
            EXPECT_EQ(dialog->lblHint->text(), label->toolTip()) << command;
            QTest::mouseClick(label, Qt::LeftButton);
        }
        EXPECT_EQ(opened.urls, QStringList{guide}) << command;
        EXPECT_EQ(labels[1]->toolTip(), "This copy names no address for the maker");
        dialog->close();
    }
    for (const char* scheme : {"file", "mailto", "http", "https"})
        QDesktopServices::unsetUrlHandler(scheme);
}

TEST_F(BuilderTest, TemplateFileGivesTheTemplateOrTheDefaultWithItsMessage) {
    const QString path = folder.filePath("addin/Tessaro.nsi");
    const QString missing = "Not Found or Empty file: " + path + "\r\nusing built in default";
    const QString unreadable = "Failed to open: " + path + "\r\nusing build in default";
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string expectedTemplate;
        QStringList messagesPerInstance;
    } cases[] = {
        {"missing", [] {}, DefaultScriptTemplate(), {missing}},
        {"empty", [&] { writeFile(path, ""); }, DefaultScriptTemplate(), {missing}},
        // A folder by that name has a length but cannot be read; this message is not
        // limited to once.
        {"unreadable",
         [&] { QDir(addin).mkdir("Tessaro.nsi"); },
         DefaultScriptTemplate(),
         {unreadable, unreadable}},
        {"own", [&] { writeFile(path, "Name \"Mine\"\r\n"); }, "Name \"Mine\"\r\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        QDir(addin).rmdir("Tessaro.nsi");
        c.make();
        auto host = startHost();
        messages.clear();
        CompilerDialog* dialog = openDialog(*host, kCompiledXglCommand);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->templateText(), c.expectedTemplate);
        // Loading the same instance again warns once more only for an unreadable file.
        dialog->cmdDone->click();
        openDialog(*host, kCompiledXglCommand);
        EXPECT_EQ(messages, c.messagesPerInstance);
        // A new instance warns again.
        messages.clear();
        CompilerDialog* vrml = openDialog(*host, kVrmlCommand);
        EXPECT_EQ(vrml->templateText(), c.expectedTemplate);
        EXPECT_EQ(messages.size(), std::min<qsizetype>(1, c.messagesPerInstance.size()));
    }
}

TEST_F(BuilderTest, DialogsLoadAndStoreTheSharedXglKeys) {
    storeXgl({{"XGLUseAltDir", "0"},
              {"TessaroWhenDone", "0"},
              {"XGLShowScript", "1"},
              {"XGLDelXGL", "1"},
              {"XGLAltDir", "/stored"}});
    auto host = startHost();
    CompilerDialog* xgl = openDialog(*host, kCompiledXglCommand);
    EXPECT_EQ(xgl->windowTitle(), "Compiled XGL");
    EXPECT_EQ(xgl->chkDelete->toolTip(), "Removes intermediate XGL file after compiling");
    EXPECT_EQ(xgl->txtAltDir->text(), "/stored");
    EXPECT_FALSE(xgl->txtAltDir->isEnabled());
    const std::pair<QCheckBox*, const char*> boxes[] = {{xgl->chkAlternate, "XGLUseAltDir"},
                                                        {xgl->chkViewWhenDone, "TessaroWhenDone"},
                                                        {xgl->chkShowScript, "XGLShowScript"},
                                                        {xgl->chkDelete, "XGLDelXGL"}};
    for (const auto& [box, key] : boxes) {
        SCOPED_TRACE(key);
        const bool loaded = box->isChecked();
        EXPECT_EQ(loaded, readSetting(kXglCompilerApplication, key) == "1");
        box->click();
        EXPECT_EQ(readSetting(kXglCompilerApplication, key), loaded ? "0" : "1");
    }
    EXPECT_TRUE(xgl->txtAltDir->isEnabled());
    // Typed text is used, not stored; a chosen folder is stored and checks the box.
    xgl->txtAltDir->setText("/typed");
    xgl->chkAlternate->click();
    EXPECT_EQ(readSetting(kXglCompilerApplication, "XGLAltDir"), "/stored");
    setFolderPicker([](QWidget*, const QString&) { return QString("/chosen"); });
    xgl->cmdBrowse->click();
    EXPECT_EQ(readSetting(kXglCompilerApplication, "XGLAltDir"), "/chosen");
    EXPECT_EQ(readSetting(kXglCompilerApplication, "XGLUseAltDir"), "1");
    // The VRML dialog reads what the other stored.
    CompilerDialog* vrml = openDialog(*host, kVrmlCommand);
    EXPECT_EQ(vrml->txtAltDir->text(), "/chosen");
    EXPECT_TRUE(vrml->chkAlternate->isChecked());
    EXPECT_EQ(vrml->cmdCompile->text(), "Save VRML");
}

TEST_F(BuilderTest, UnsavedDocumentIsRefusedAndNothingIsWritten) {
    auto host = startHost();
    for (int command : {kCompiledXglCommand, kVrmlCommand}) {
        pressCommand(*host, command);
        EXPECT_EQ(messages,
                  QStringList{"You must first save your file before you can Export to XGL"});
    }
    EXPECT_EQ(QDir(addin).entryList({"*.nsi"}, QDir::Files), QStringList{});
}

// A compiler in the add-in's folder that the test writes: it notes its arguments and
// working folder, then does what the case says with the OutFile it was given ($out)
// and the exported file the script packs ($zgl).
void writeCompiler(const QString& addin, const QByteArray& body) {
    QFile file(addin + "/MAKENSIS.EXE");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > args.txt; pwd >> args.txt\n"
        "out=${3#-XOutFile \\\"}; out=${out%\\\"}\n"
        "zgl=$(sed -n 's/^!define XGL_FILE \"\\(.*\\)\"\\r$/\\1/p' \"$2\")\n" +
        body + "\n");
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
}

TEST_F(BuilderTest, ExecutableIsReplacedOnlyWhenTheCompilerSucceeds) {
    const QByteArray failed = "Failed to compile the XGL to EXE";
    struct Case {
        const char* name;
        QByteArray compiler;
        bool built;
        QString message;
        std::chrono::milliseconds limit = std::chrono::seconds(20);
    } cases[] = {
        {"fails", "echo 'File: \"x\" -> no files found.' >&2; echo 'Error on line 4' >&2; exit 1",
         false, failed + "\rError on line 4"},
        {"crashes", "kill -SEGV $$", false, failed + "\rThe compiler ended with exit code 11."},
        {"hangs", "exec sleep 20", false, failed + "\rThe compiler did not finish within 1 s.",
         std::chrono::seconds(1)},
        // Still reading the exported file a second after it started.
        {"slow", "sleep 1; cat \"$zgl\" > \"$out\" || exit 4", true, {}},
    };
    auto host = hostWithGear();
    storeXgl({{"TessaroWhenDone", "0"}, {"XGLDelXGL", "1"}, {"XGLShowScript", "1"}});
    const QString exe = folder.filePath("m/Gear.exe");
    const QString zgl = folder.filePath("m/Gear.zgl");
    const QString reference = folder.filePath("reference.zgl");
    ASSERT_TRUE(writeZglCopy(contentOf(gear), reference.toStdString()));
    const QByteArray expectedZgl = contentOf(reference);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeCompiler(addin, c.compiler);
        setCompilerTimeLimit(c.limit);
        writeFile(exe, "the executable of an earlier build");
        QFile::remove(zgl);  // kept by a failed case, it would be kept again
        CompilerDialog* dialog = pressCommand(*host, kCompiledXglCommand);
        // The scripted compiler packs the exported file as it is.
        EXPECT_EQ(contentOf(exe),
                  c.built ? expectedZgl : QByteArray("the executable of an earlier build"));
        EXPECT_EQ(messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        EXPECT_EQ(dialog->lblStatus->text(), c.built ? "Finished" : QString(failed));
        // Deleted only after a compiler that finished with it; kept after a failure.
        EXPECT_EQ(QFile::exists(zgl), !c.built);
        EXPECT_EQ(leftovers(), QStringList{});
        EXPECT_TRUE(dialog->cmdCompile->isEnabled());
        const QStringList args = QString(contentOf(addin + "/args.txt")).split('\n');
        ASSERT_GE(args.size(), 4);
        EXPECT_EQ(args[0], "-XTarget amd64-unicode");
        EXPECT_EQ(args[1], addin + "/XGLScript.nsi");
        EXPECT_EQ(args[3], addin);
        // "Show Script" shows the compiler's words in a window of its own.
        EXPECT_NE(dialog->findChild<QWidget*>("compilerOutput"), nullptr);
    }
}

// A ZGL of the document's name that is already there may be the user's own, or the
// document itself: it stays as it is, and the package gets a fresh copy made elsewhere.
TEST_F(BuilderTest, AZglAlreadyThereIsKeptAndAFreshCopyIsPacked) {
    writeCompiler(addin, "cat \"$zgl\" > \"$out\"");
    const QByteArray own = "the user's own ZGL";
    const struct {
        const char* name;
        QString document;  // in m/
        bool deleteXgl;
        bool ownZgl;
    } cases[] = {
        {"the user's ZGL, Delete XGL checked", "Gear.ipt", true, true},
        {"the user's ZGL, Delete XGL clear", "Gear.ipt", false, true},
        {"the document is the ZGL", "Gear.zgl", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString zgl = folder.filePath("m/Gear.zgl");
        const QString document = folder.filePath("m/" + c.document);
        for (const QString& name : QDir(folder.filePath("m")).entryList(QDir::Files))
            QFile::remove(folder.filePath("m/" + name));
        ASSERT_TRUE(QFile::copy(EXPORTAL_SAMPLES "/grid.xgl", document));
        if (c.ownZgl) writeFile(zgl, own);
        const QByteArray kept = contentOf(zgl);
        const QString reference = folder.filePath("reference.zgl");
        QFile::remove(reference);
        ASSERT_TRUE(writeZglCopy(contentOf(document), reference.toStdString()));
        storeXgl({{"TessaroWhenDone", "0"}, {"XGLDelXGL", c.deleteXgl ? "1" : "0"}});
        auto host = startHost();
        openAndWait(*host, document);
        CompilerDialog* dialog = pressCommand(*host, kCompiledXglCommand);
        EXPECT_EQ(dialog->lblStatus->text(), "Finished");
        EXPECT_EQ(contentOf(folder.filePath("m/Gear.exe")), contentOf(reference));
        EXPECT_EQ(contentOf(zgl), kept);
        EXPECT_EQ(messages, c.deleteXgl ? QStringList{}
                                        : QStringList{zgl + " is already there and is kept as "
                                                            "it is; the copy packed into the "
                                                            "executable is not kept beside it."});
        // The script packs the copy under the document's name.
        EXPECT_TRUE(
            contentOf(addin + "/XGLScript.nsi").contains("!define XGL_FILE_ONLY \"Gear.zgl\"\r\n"));
        QStringList expected{"Gear.exe", c.document, "Gear.zgl"};
        expected.removeDuplicates();
        expected.sort();
        EXPECT_EQ(QDir(folder.filePath("m")).entryList(QDir::Files, QDir::Name), expected);
    }
}

// A document named like the command's product is never replaced by it.
TEST_F(BuilderTest, TheDocumentIsNotReplacedByTheProductNamedAfterIt) {
    writeCompiler(addin, "cat \"$zgl\" > \"$out\"");
    storeXgl({{"TessaroWhenDone", "0"}});
    const struct {
        QString document;
        int command;
        QString message;
    } cases[] = {
        {"Gear.exe", kCompiledXglCommand, "Failed to compile the XGL to EXE\r"},
        {"Gear.wrl", kVrmlCommand, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document.toStdString());
        const QString document = folder.filePath("m/" + c.document);
        ASSERT_TRUE(QFile::copy(EXPORTAL_SAMPLES "/grid.xgl", document));
        const QByteArray before = contentOf(document);
        auto host = startHost();
        openAndWait(*host, document);
        pressCommand(*host, c.command);
        EXPECT_EQ(contentOf(document), before);
        EXPECT_EQ(messages, QStringList{c.message + document +
                                        " is the document itself; it is not replaced."});
    }
}

TEST_F(BuilderTest, MissingCompilerIsNamedWithWhereItWasLookedFor) {
    auto host = hostWithGear();
    storeXgl({{"TessaroWhenDone", "0"}, {"XGLDelXGL", "1"}});
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.filePath("m").toUtf8());
    pressCommand(*host, kCompiledXglCommand);
    qputenv("PATH", path);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(
        messages[0].startsWith("Failed to compile the XGL to EXE\rThe NSIS compiler was "
                               "not found. Looked for " +
                               addin + "/MAKENSIS.EXE and makensis on PATH"))
        << messages[0].toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.exe")));
    EXPECT_TRUE(QFile::exists(folder.filePath("m/Gear.zgl")));
    EXPECT_EQ(leftovers(), QStringList{});
}

// A folder in the script's place cannot be opened as a file; the template is whole for
// the next run.
TEST_F(BuilderTest, ScriptThatCannotBeWrittenStopsBeforeCompiling) {
    ASSERT_TRUE(QDir(addin).mkpath("XGLScript.nsi/kept"));
    auto host = hostWithGear();
    CompilerDialog* dialog = pressCommand(*host, kCompiledXglCommand);
    EXPECT_EQ(messages, QStringList{"Failed to open: " + addin + "/XGLScript.nsi"});
    EXPECT_EQ(dialog->templateText(), DefaultScriptTemplate());
    EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.exe")));
    EXPECT_EQ(dialog->lblStatus->text(), "Saving:" + folder.filePath("m/Gear.zgl"));
}

}  // namespace
}  // namespace exportal::testing

#include "viewer_builder_test.moc"
