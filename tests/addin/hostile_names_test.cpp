// Names that the NSIS compiler would read as its own syntax: each dangerous character
// in a document's name or its folder's, built by the real compiler through the host's
// "Compiled XGL" and "Compiled DWF" commands. No command may run; a name a package
// can carry is built, one it cannot is refused naming the character.
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>

#include "builder_fixture.h"
#include "nsis_text.h"
#include "shell_open.h"

namespace exportal::testing {
namespace {

// What would run if a name reached the script as it is.
const char kPayload[] = "!system \"touch INJECTED\"";

TEST(ScriptValues, DangerousCharactersAreEscapedOrRefusedByName) {
    using Kind = ScriptValueKind;
    const struct {
        std::string value;
        Kind kind;
        std::string refusedFor;  // empty: accepted
        std::string quoted;
    } cases[] = {
        {"/m/it's `q` \"d\"/a;b #c.zgl", Kind::packedFile, "",
         "/m/it$\\'s $\\`q$\\` $\\\"d$\\\"/a;b #c.zgl"},
        {"/m/d*?<>|:/Gear.zgl", Kind::packedFile, "", "/m/d*?<>|:/Gear.zgl"},
        {"/out/Ge\"ar*.exe", Kind::localPath, "", "/out/Ge$\\\"ar*.exe"},
        {"/m/Ge\"ar.zgl", Kind::packedFile, "the character \"", ""},
        {"/m/Ge*ar.zgl", Kind::packedFile, "the character *", ""},
        {"Ge?ar.zgl", Kind::packedFile, "the character ?", ""},
        {"/m/a\nb", Kind::localPath, "a line feed", ""},
        {"/m/a\rb", Kind::localPath, "a carriage return", ""},
        {std::string("/m/a\0b", 6), Kind::localPath, "a NUL character", ""},
        {"/m/a\x1b"
         "b",
         Kind::localPath, "the control character U+001B", ""},
        {"/m/${NSISDIR}", Kind::localPath, "the dollar sign ($)", ""},
        {"/m/$%HOME%", Kind::localPath, "the dollar sign ($)", ""},
        {"/m/a\\b", Kind::localPath, "the backslash (\\)", ""},
        // Folders the File command would take for its switches.
        {"/xfer/Gear.zgl", Kind::packedFile, "", "/./xfer/Gear.zgl"},
        {"/Oname=a/Gear.zgl", Kind::localPath, "", "/./Oname=a/Gear.zgl"},
        {"/m/xfer/Gear.zgl", Kind::packedFile, "", "/m/xfer/Gear.zgl"},
        // Windows device names, in the unpacked name only.
        {"/m/aux.zgl", Kind::packedFile, "the Windows device name AUX", ""},
        {"/m/Com1 .Gear.zgl", Kind::packedFile, "the Windows device name COM1", ""},
        {"lpt0.DWF", Kind::packedFile, "the Windows device name LPT0", ""},
        {"/con/nul/Gear.zgl", Kind::packedFile, "", "/con/nul/Gear.zgl"},
        {"/m/auxiliary.zgl", Kind::packedFile, "", "/m/auxiliary.zgl"},
        {"/m/nul.zgl", Kind::localPath, "", "/m/nul.zgl"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string refusal = scriptValueRefusal(c.value, c.kind);
        if (c.refusedFor.empty()) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(scriptValueText(c.value), c.quoted);
        } else {
            EXPECT_NE(refusal.find("\"" + c.value + "\" holds " + c.refusedFor + ", "),
                      std::string::npos)
                << refusal;
        }
    }
}

class HostileNames : public BuilderTest {
  protected:
    void SetUp() override {
        BuilderTest::SetUp();
        if (QStandardPaths::findExecutable("makensis").isEmpty())
            GTEST_SKIP() << "makensis (Debian's nsis package) is not installed";
        writeFile(addin + "/RunPlotwick.exe", "MZ a launcher stand-in");
        storeXgl({{"TessaroWhenDone", "0"}, {"XGLDelXGL", "1"}});
        ASSERT_TRUE(writeSetting(kDwfCompilerApplication, "PlotwickWhenDone", "0"));
        ASSERT_TRUE(writeSetting(kDwfCompilerApplication, "DWFDelDWF", "1"));
    }
    // The sample world as `folderName`/`stem`.ipt, open in the host.
    QString openDocument(HostWindow& host, const QString& folderName, const QString& stem) {
        const QString directory = folder.filePath(folderName);
        EXPECT_TRUE(QDir().mkpath(directory));
        const QString path = directory + "/" + stem + ".ipt";
        EXPECT_TRUE(QFile::copy(QStringLiteral(EXPORTAL_SAMPLES "/grid.xgl"), path));
        openAndWait(host, path);
        return path;
    }
    // Anything the payload made, wherever the compiler or the host ran.
    QStringList injected() const {
        QStringList found;
        QDirIterator it(folder.path(), {"INJECTED*"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        if (QFile::exists("INJECTED")) found << QDir::current().filePath("INJECTED");
        return found;
    }
};

struct NameCase {
    const char* name;
    QString text;        // put into the document's name or its folder's
    QString refusedFor;  // in the document's name; empty: built
    QString refusedInFolder;
};

const NameCase kNameCases[] = {
    {"double quote", "\"", "the character \"", ""},
    {"line feed", "\n", "a line feed", "a line feed"},
    {"carriage return", "\r", "a carriage return", "a carriage return"},
    {"dollar", "$", "the dollar sign ($)", "the dollar sign ($)"},
    {"backquote", "`", "", ""},
    {"asterisk", "*", "the character *", ""},
    {"question mark", "?", "the character ?", ""},
    {"single quote", "'", "", ""},
    {"semicolon", ";", "", ""},
    {"odd but legal", " #1 & (\u00fc) {x} %y% !z", "", ""},
    {"a placeholder's name", "#XGL_APP_PATH#EXE_FILENAME", "", ""},
    {"the example", QString("\"\n") + kPayload + "\n;x", "a line feed", "a line feed"},
};

// Both places: the name of the document (so of the ZGL, the executable and the name
// the package unpacks) and the name of the folder they are in.
TEST_F(HostileNames, CompiledXglRunsNoCommandAndBuildsOrRefusesEachName) {
    auto host = startHost();
    int run = 0;
    for (const NameCase& c : kNameCases) {
        for (const bool inFolder : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (inFolder ? " in the folder" : " in the name"));
            const QString where = QString("run%1").arg(++run);
            const QString folderName = inFolder ? where + "/d" + c.text + "x" : where;
            const QString stem = inFolder ? QString("Gear") : "Ge" + c.text + "ar";
            const QString document = openDocument(*host, folderName, stem);
            const QString exe = document.chopped(3) + "exe";
            CompilerDialog* dialog = pressCommand(*host, kCompiledXglCommand);
            const QString refusedFor = inFolder ? c.refusedInFolder : c.refusedFor;
            EXPECT_EQ(injected(), QStringList{});
            if (refusedFor.isEmpty()) {
                EXPECT_EQ(messages, QStringList{});
                EXPECT_EQ(dialog->lblStatus->text(), "Finished");
                EXPECT_EQ(peMachine(contentOf(exe)), kAmd64);
                // The name the viewer is started with, escaped for the quotes around it.
                const QString unpacked = QFileInfo(document).completeBaseName() + ".zgl";
                EXPECT_TRUE(
                    contentOf(addin + "/XGLScript.nsi")
                        .contains("!define XGL_FILE_ONLY \"" +
                                  QString::fromStdString(quotedScriptText(unpacked.toStdString()))
                                      .toUtf8() +
                                  "\"\r\n"));
            } else {
                // Every case runs, so a failure here does not hide a command run later.
                EXPECT_EQ(messages.size(), 1);
                const QString message = messages.value(0);
                EXPECT_TRUE(message.startsWith("Failed to compile the XGL to EXE\r\""))
                    << message.toStdString();
                EXPECT_TRUE(message.contains("\" holds " + refusedFor + ", "))
                    << message.toStdString();
                EXPECT_FALSE(QFile::exists(exe));
            }
            EXPECT_EQ(leftovers(), QStringList{});
            dialog->cmdDone->click();
        }
    }
}

// The DWF script carries the same names in other places: the file name apart from its
// folder, and in the launcher's command line.
TEST_F(HostileNames, CompiledDwfRunsNoCommandAndBuildsOrRefusesEachName) {
    auto host = startHost();
    const struct {
        const char* name;
        QString folderName;
        QString stem;
        QString refusedFor;
    } cases[] = {
        {"the example", "dwf1", QString("Gear\"\n") + kPayload + "\n;x", "a line feed"},
        {"quotes", "dwf2/d\"x", "Ge'a`r;", ""},
        {"dollar", "dwf3", "Ge${NSISDIR}ar", "the dollar sign ($)"},
        {"device", "dwf4", "Aux", "the Windows device name AUX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString document = openDocument(*host, c.folderName, c.stem);
        const QString exe = document.chopped(3) + "exe";
        CompilerDialog* dialog = pressCommand(*host, kCompiledDwfCommand);
        EXPECT_EQ(injected(), QStringList{});
        if (c.refusedFor.isEmpty()) {
            EXPECT_EQ(messages, QStringList{});
            EXPECT_EQ(peMachine(contentOf(exe)), kAmd64);
        } else {
            EXPECT_EQ(messages.size(), 1);
            const QString message = messages.value(0);
            EXPECT_TRUE(message.startsWith("Failed to compile the DWF to EXE\r\""));
            EXPECT_TRUE(message.contains("\" holds " + c.refusedFor + ", "));
            EXPECT_FALSE(QFile::exists(exe));
        }
        EXPECT_EQ(leftovers(), QStringList{});
        dialog->cmdDone->click();
    }
}

// A package in a folder whose name Windows cannot hold is built, but wine cannot start
// it: "View When Done" says so instead of reporting a start that came to nothing.
TEST_F(HostileNames, ViewWhenDoneSaysWhenWineCannotStartThePackage) {
    if (wineLoader().isEmpty()) GTEST_SKIP() << "wine is not installed";
    storeXgl({{"TessaroWhenDone", "1"}});
    auto host = startHost();
    const QString document = openDocument(*host, "view/d\"x", "Gear");
    pressCommand(*host, kCompiledXglCommand);
    EXPECT_EQ(peMachine(contentOf(document.chopped(3) + "exe")), kAmd64);
    EXPECT_EQ(messages, QStringList{"Failed to Launch the Viewer"});
}

}  // namespace
}  // namespace exportal::testing
