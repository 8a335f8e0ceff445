// What the packaging tests share: an add-in folder of their own, a document saved as
// m/Gear.ipt, and the two dialogs opened through the host's commands.
#pragma once

#include <QDir>
#include <QFile>

#include "addin_dialog.h"
#include "addin_fixture.h"
#include "addin_folder.h"
#include "addin_state.h"
#include "compiler_dialog.h"
#include "image_settings.h"
#include "viewer_builder.h"

namespace exportal::testing {

class BuilderTest : public AddInTest {
  protected:
    void SetUp() override {
        AddInTest::SetUp();
        ASSERT_TRUE(QDir(folder.path()).mkpath("addin"));
        ASSERT_TRUE(QDir(folder.path()).mkpath("m"));
        addin = folder.filePath("addin");
        setAddInFolder(addin.toStdString());
        // The viewer the package carries; the compiler needs only a file.
        writeFile(addin + "/Tessaro.exe", "MZ a viewer stand-in");
    }
    void TearDown() override {
        setAddInFolder({});
        setCompilerTimeLimit(std::chrono::minutes(10));
        AddInTest::TearDown();
    }

    // The host with m/Gear.ipt open: a sample world (the grid's object moved to
    // `position` when given).
    std::unique_ptr<HostWindow> hostWithGear(const QByteArray& position = {},
                                             const QString& sampleName = "grid.xgl") {
        gear = folder.filePath("m/Gear.ipt");
        QFile sample(QStringLiteral(EXPORTAL_SAMPLES "/") + sampleName);
        EXPECT_TRUE(sample.open(QIODevice::ReadOnly));
        QByteArray content = sample.readAll();
        if (!position.isEmpty())
            content.replace("<POSITION>0.000,0,0</POSITION>",
                            "<POSITION>" + position + "</POSITION>");
        QFile document(gear);
        EXPECT_TRUE(document.open(QIODevice::WriteOnly));
        document.write(content);
        document.close();
        auto host = startHost();
        openAndWait(*host, gear);
        return host;
    }

    CompilerDialog* openDialog(HostWindow& host, int commandId) {
        host.addInServer()->executeCommand(commandId);
        return dynamic_cast<CompilerDialog*>(dialogInSlot(commandId));
    }

    // Opens the dialog (a missing template's message goes) and presses its command.
    CompilerDialog* pressCommand(HostWindow& host, int commandId) {
        CompilerDialog* dialog = openDialog(host, commandId);
        messages.clear();
        dialog->cmdCompile->click();
        return dialog;
    }

    void storeXgl(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(writeSetting(kXglCompilerApplication, key, value));
    }

    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // Files in m/ and addin/ that no step should leave: the compiler's private output.
    QStringList leftovers() const {
        QStringList found;
        for (const char* sub : {"m", "addin"})
            for (const QString& name :
                 QDir(folder.filePath(sub)).entryList({"*.exe.*"}, QDir::Files))
                found << name;
        return found;
    }

    QString addin;
    QString gear;
};

}  // namespace exportal::testing
