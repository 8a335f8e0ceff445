// What the packaging tests share: an add-in folder of their own, a document saved as
// m/Gear.ipt, and the two dialogs opened through the host's commands.
#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QtEndian>

#include "addin_dialog.h"
#include "addin_fixture.h"
#include "addin_folder.h"
#include "addin_state.h"
#include "compiler_dialog.h"
#include "image_settings.h"
#include "shell_open.h"
#include "viewer_builder.h"

namespace exportal::testing {

// The machine type of a Windows executable's PE header; 0 when it is none.
inline std::uint16_t peMachine(const QByteArray& exe) {
    if (exe.size() < 0x40 || !exe.startsWith("MZ")) return 0;
    const auto header = qFromLittleEndian<std::uint32_t>(exe.constData() + 0x3c);
    if (exe.size() < header + 6 || exe.mid(header, 4) != QByteArray("PE\0\0", 4)) return 0;
    return qFromLittleEndian<std::uint16_t>(exe.constData() + header + 4);
}

constexpr std::uint16_t kAmd64 = 0x8664;

// Why packaged executables cannot run under wine here; empty when they can.
inline QString wineSkipReason() {
    if (wineLoader().isEmpty()) return "wine (Debian's wine64) is not installed";
    if (QByteArray(EXPORTAL_RECORDING_VIEWER).isEmpty())
        return "no mingw-w64 cross compiler built the recording program";
    return {};
}

// One prefix for every run: the first start of wine fills it, which is slow. The
// recording program writes to `record`.
inline void prepareWine(const QString& record) {
    qputenv("WINEPREFIX", EXPORTAL_WINE_PREFIX);
    qputenv("WINEDEBUG", "-all");
    qputenv("WINEDLLOVERRIDES", "mscoree,mshtml=");
    qputenv("TESSARO_START_RECORD", "Z:" + QString(record).replace('/', '\\').toUtf8());
}

inline void stopWine() {
    if (wineLoader().isEmpty()) return;
    const QString server = QFileInfo(wineLoader()).dir().filePath("wineserver");
    QProcess::execute(QFile::exists(server) ? server : "wineserver", {"-k"});
}

// X windows whose name contains `title`, found by xdotool.
inline QStringList windowsTitled(const QString& title) {
    QProcess search;
    search.start("xdotool", {"search", "--name", title});
    if (!search.waitForFinished(5000)) search.kill();
    return QString(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// The first X window whose name contains `title`, waited for up to `timeoutMs`; empty
// when none appeared.
inline QString waitForWindowTitled(const QString& title, int timeoutMs) {
    QStringList found;
    const bool appeared =
        QTest::qWaitFor([&] { return !(found = windowsTitled(title)).isEmpty(); }, timeoutMs);
    return appeared ? found.first() : QString();
}

// What an X window of another program shows, raised first so nothing covers it.
inline QImage grabXWindow(const QString& window) {
    QProcess::execute("xdotool", {"windowraise", window});
    QProcess::execute("xdotool", {"sleep", "0.5"});
    return QGuiApplication::primaryScreen()->grabWindow(window.toULongLong()).toImage();
}

// Pixels within `tolerance` of `colour` in every channel.
inline long pixelsNear(const QImage& image, QRgb colour, int tolerance) {
    long found = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            found += std::abs(qRed(p) - qRed(colour)) <= tolerance &&
                     std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                     std::abs(qBlue(p) - qBlue(colour)) <= tolerance;
        }
    }
    return found;
}

// Every file a package unpacked into `folderName` of the prefix user's Temp folder.
inline QStringList unpackedFiles(const QString& folderName) {
    QStringList found;
    QDirIterator it(EXPORTAL_WINE_PREFIX "/drive_c/users", QDir::Files | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains("/Temp/" + folderName + "/", Qt::CaseInsensitive)) found << path;
    }
    return found;
}

// Asks a program in the prefix to close its windows, as their close boxes do.
inline void closeWindowsProgram(const QString& image) {
    QProcess::execute(wineLoader(), {"taskkill", "/im", image});
}

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
